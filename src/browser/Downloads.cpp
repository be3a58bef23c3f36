#include "browser/Downloads.h"

#include "browser/DownloadName.h"
#include "browser/DownloadPanel.h"
#include "browser/WebBrowser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QMainWindow>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <deque>

namespace
{

constexpr char DownloadsName[] = "Downloads";

constexpr char QuestionsName[] = "DownloadQuestions";

// The Save As questions of one window, one dialog at a time in the order the downloads came: a
// burst of downloads waits behind one dialog instead of stacking dialogs over (and past) the window.
// Each dialog blocks only its window while the downloads run. Owned by the window.
class TSaveQuestions : public QObject
{
public:
  static TSaveQuestions *Of(QWidget *window)
  {
    if (auto *questions = window->findChild<TSaveQuestions *>(QuestionsName, Qt::FindDirectChildrenOnly))
      return questions;
    return new TSaveQuestions(window);
  }

  void Ask(TDownloadPanel *panel, const QString &name, bool savePage)
  {
    waiting.push_back({panel, name, savePage});
    AskNext();
  }

private:
  explicit TSaveQuestions(QWidget *window) : QObject(window), window(window) { setObjectName(QuestionsName); }

  struct TQuestion {
    QPointer<TDownloadPanel> panel;
    QString name;
    bool savePage;
  };

  void AskNext()
  {
    if (asking)
      return;
    // A download cancelled or failed while it waited has nothing left to ask about.
    while (!waiting.empty() && (!waiting.front().panel || waiting.front().panel->Failed()))
      waiting.pop_front();
    if (waiting.empty())
      return;
    const TQuestion question = waiting.front();
    waiting.pop_front();
    asking = new QFileDialog(window, "Save As");
    asking->setObjectName("dlgSaveDownload");
    asking->setAttribute(Qt::WA_DeleteOnClose);
    asking->setOption(QFileDialog::DontUseNativeDialog);
    asking->setAcceptMode(QFileDialog::AcceptSave);
    asking->setFileMode(QFileDialog::AnyFile);
    asking->setWindowModality(Qt::WindowModal);
    asking->setDirectory(DownloadFolder());
    if (question.savePage)
      asking->setNameFilters({"Web page, single file (*.mhtml)", "All files (*)"});
    asking->selectFile(question.name);
    connect(asking, &QFileDialog::fileSelected, question.panel, &TDownloadPanel::SetTarget);
    connect(asking, &QDialog::rejected, question.panel, &TDownloadPanel::Abandon);
    // The next question once this dialog has gone.
    connect(asking, &QDialog::finished, this, [this] {
      asking = nullptr;
      QTimer::singleShot(0, this, &TSaveQuestions::AskNext);
    });
    asking->open();
  }

  QWidget *window;
  std::deque<TQuestion> waiting;
  QPointer<QFileDialog> asking;
};

// The downloads of one profile; owned by it.
class TDownloads : public QObject
{
public:
  explicit TDownloads(QWebEngineProfile *profile) : QObject(profile)
  {
    setObjectName(DownloadsName);
    // The engine declines a download not accepted before the handler returns: it is accepted at
    // once, and the question where to save it comes after.
    connect(profile, &QWebEngineProfile::downloadRequested, this, &TDownloads::Start, Qt::DirectConnection);
  }

private:
  void Start(QWebEngineDownloadRequest *download)
  {
    // The engine asks again when it resumes a download cut off by the network: it goes on into
    // the same file.
    if (TDownloadPanel *panel = panels.value(download->id())) {
      panel->Continue(download);
      return;
    }
    QWebEngineView *view = download->page() ? QWebEngineView::forPage(download->page()) : nullptr;
    auto *window = view ? qobject_cast<QMainWindow *>(view->window()) : nullptr;
    if (!window)
      return;
    // What the server calls the file may hold anything: line breaks, terminal escapes, characters
    // that turn the status text around, folders, more than a file name may be.
    const QString name = SafeFileName(download->downloadFileName());
    const QString partial = PartialFileFor(DownloadFolder() + "/" + name);
    download->setDownloadDirectory(QFileInfo(partial).absolutePath());
    download->setDownloadFileName(QFileInfo(partial).fileName());
    if (download->isSavePageDownload())
      download->setSavePageFormat(QWebEngineDownloadRequest::MimeHtmlSaveFormat);
    download->accept();
    auto *panel = new TDownloadPanel(download, name, partial, window->statusBar());
    panels.insert(download->id(), panel);
    TSaveQuestions::Of(window)->Ask(panel, name, download->isSavePageDownload());
  }

  QHash<quint32, QPointer<TDownloadPanel>> panels;
};

} // namespace

void WatchDownloads(TWebBrowser *browser)
{
  QWebEngineProfile *profile = browser->page()->profile();
  if (!profile->findChild<QObject *>(DownloadsName, Qt::FindDirectChildrenOnly))
    new TDownloads(profile);
}

QString DownloadFolder()
{
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  if (folder.isEmpty())
    folder = QDir::homePath();
  QDir().mkpath(folder);
  return folder;
}

QString PartialFileFor(const QString &target)
{
  // Room for ".<number>.part.download" after the name, so that a name of the longest length still
  // has partial files the file system takes.
  constexpr int SuffixRoom = 24;
  const QFileInfo file(target);
  const QString stem =
      file.absolutePath() + "/" + ShortenedFileName(file.fileName(), MaxFileNameBytes - SuffixRoom);
  QString partial = stem + ".part";
  for (int number = 1; QFileInfo::exists(partial) || QFileInfo::exists(EngineFileFor(partial)); ++number)
    partial = QString("%1.%2.part").arg(stem).arg(number);
  return partial;
}

QString EngineFileFor(const QString &partial)
{
  return partial + ".download";
}
