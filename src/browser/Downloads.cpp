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
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

namespace
{

constexpr char DownloadsName[] = "Downloads";

// Asks where the download goes, in a dialog that blocks only its window, while the download runs.
void AskWhereToSave(QWebEngineDownloadRequest *download, const QString &name, QWidget *window,
                    TDownloadPanel *panel)
{
  auto *dialog = new QFileDialog(window, "Save As");
  dialog->setObjectName("dlgSaveDownload");
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setDirectory(DownloadFolder());
  if (download->isSavePageDownload())
    dialog->setNameFilters({"Web page, single file (*.mhtml)", "All files (*)"});
  dialog->selectFile(name);
  QObject::connect(dialog, &QFileDialog::fileSelected, panel, &TDownloadPanel::SetTarget);
  QObject::connect(dialog, &QDialog::rejected, panel, &TDownloadPanel::Abandon);
  dialog->open();
}

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
    AskWhereToSave(download, name, window, panel);
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
