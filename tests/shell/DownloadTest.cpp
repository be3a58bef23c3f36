#include "MainFormFixture.h"
#include "OutDir.h"
#include "browser/BrowserForm.h"
#include "browser/DownloadPanel.h"
#include "browser/Downloads.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>

namespace
{

constexpr qint64 Megabyte = 1024 * 1024;

// 20 MB that differ from block to block, so that a misplaced block shows.
QByteArray LargeBody()
{
  QByteArray body;
  body.reserve(20 * Megabyte);
  for (qint64 block = 0; body.size() < 20 * Megabyte; ++block)
    body += QByteArray::number(block).rightJustified(16, '0');
  return body;
}

// Takes the files the desktop would be asked to open.
class TOpenedFiles : public QObject
{
  Q_OBJECT

public:
  QList<QUrl> files;

public slots:
  void Open(const QUrl &file) { files.append(file); }
};

// Downloads from pages of the main window, saved where the save dialog is told.
class DownloadTest : public MainFormTest
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(folder.isValid() && settings.isValid());
    // The user's download folder, as the desktop names it; not there yet.
    downloads = settings.filePath("my downloads");
    QFile names(settings.filePath("user-dirs.dirs"));
    ASSERT_TRUE(names.open(QIODevice::WriteOnly));
    names.write("XDG_DOWNLOAD_DIR=\"" + downloads.toUtf8() + "\"\n");
    names.close();
    oldSettings = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());

    body = LargeBody();
    server.SetDownload("/files/big.zip", body, "big.zip");
    server.SetDownload("/files/held.zip", body, "held.zip", 4 * Megabyte);
    server.SetPage("/links", TitledPage("Links", "<a id='big' href='/files/big.zip'>big</a>"
                                                 "<a id='held' href='/files/held.zip'>held</a>"));
    ASSERT_NO_FATAL_FAILURE(Start());
    Visit("/links", "Links");
  }

  void TearDown() override
  {
    server.CutHeldDownloads();
    qputenv("XDG_CONFIG_HOME", oldSettings);
  }

  // Answers the next save dialog, from inside the wait the engine's request runs: the dialog's
  // folder and proposed name are noted, Path is chosen, and replacing a file is confirmed.
  void AnswerSaveDialog(const QString &path)
  {
    answerer = std::make_unique<QTimer>();
    answerer->setInterval(20);
    QObject::connect(answerer.get(), &QTimer::timeout, [this, path] {
      for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *confirm = qobject_cast<QMessageBox *>(widget);
        if (confirm && confirm->isVisible() && confirm->parent() &&
            confirm->parent()->objectName() == "dlgSaveDownload") {
          confirm->button(QMessageBox::Yes)->click();
          return;
        }
      }
      QFileDialog *dialog = nullptr;
      for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "dlgSaveDownload" && widget->isVisible())
          dialog = qobject_cast<QFileDialog *>(widget);
      if (!dialog || !dialog->isVisible() || answered)
        return;
      answered = true;
      if (proposed.isEmpty())
        proposed = dialog->selectedFiles().value(0);
      // The folder goes through selectFile, the name is typed: selectFile leaves the name box
      // alone once it has the focus, which the window manager gives it at its own time.
      dialog->selectFile(path);
      dialog->findChild<QLineEdit *>("fileNameEdit")->setText(QFileInfo(path).fileName());
      // Not in this timer's own call: a box asking to replace the file waits inside it, and the
      // timer must answer that too. Taken again at the next tick if the dialog changed the choice.
      QTimer::singleShot(0, dialog, [this, dialog, path] {
        if (dialog->selectedFiles().value(0) == path)
          static_cast<QDialog *>(dialog)->accept();
        else
          answered = false;
      });
    });
    answered = false;
    proposed.clear();
    answerer->start();
  }

  void ClickLink(const char *id)
  {
    Browser()->page()->runJavaScript(QString("document.getElementById('%1').click()").arg(id));
  }

  // The download's panel while it is shown.
  TDownloadPanel *Panel() const { return PanelOf(form.get()); }
  static TDownloadPanel *PanelOf(const QWidget *window)
  {
    for (TDownloadPanel *panel : window->findChildren<TDownloadPanel *>("DownloadPanel"))
      if (!panel->isHidden())
        return panel;
    return nullptr;
  }
  QString PanelText() const
  {
    return Panel() ? Panel()->findChild<QLabel *>("lblDownload")->text() : QString();
  }
  // The panel's whole line, also when its text is shortened to fit.
  QString PanelLine() const
  {
    return Panel() ? Panel()->findChild<QLabel *>("lblDownload")->toolTip() : QString();
  }
  // Starts a download of Path from the page, as a script's click does.
  void Download(const QString &path)
  {
    Browser()->page()->runJavaScript(
        QString("{ const link = document.createElement('a'); link.href = '%1'; link.click(); }").arg(path));
  }
  QStringList FolderEntries() const { return Entries(folder.path()); }
  static QStringList Entries(const QString &path)
  {
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }

  QTemporaryDir folder;
  QTemporaryDir settings;
  QString downloads;
  QByteArray oldSettings;
  QByteArray body;
  std::unique_ptr<QTimer> answerer;
  bool answered = false;
  QString proposed;
};

} // namespace

TEST(DownloadFiles, APartialFileLiesBesideItsTargetUnderAFreeName)
{
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString target = folder.filePath("a b.zip");
  EXPECT_EQ(PartialFileFor(target), target + ".part");
  QFile taken(target + ".part");
  ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
  EXPECT_EQ(PartialFileFor(target), target + ".1.part");
}

TEST_F(DownloadTest, AnAttachmentIsSavedWhereTheUserChoseAndCanBeOpened)
{
  const QString target = folder.filePath("chosen name.zip");
  AnswerSaveDialog(target);
  ClickLink("big");
  // Complete and in place: the download may end before the choice is taken, and the file is moved then.
  ASSERT_TRUE(WaitUntil([&] { return PanelText().startsWith("chosen name.zip downloaded"); }, 120s,
                        "the download complete in the chosen file"))
      << PanelText().toStdString();
  // The dialog started in the download folder, made for it, with the server's name for the file.
  EXPECT_EQ(proposed, downloads + "/big.zip");
  EXPECT_EQ(Entries(downloads), QStringList{});

  QFile saved(target);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.size(), 20 * Megabyte);
  EXPECT_TRUE(saved.readAll() == body);
  EXPECT_EQ(FolderEntries(), QStringList{"chosen name.zip"});
  EXPECT_EQ(PanelText(), "chosen name.zip downloaded (20.0 MiB)");
  EXPECT_TRUE(Panel()->findChild<QPushButton *>("btnOpenDownload")->isVisible());
  EXPECT_TRUE(Panel()->findChild<QPushButton *>("btnShowDownloadFolder")->isVisible());
  EXPECT_FALSE(Panel()->findChild<QPushButton *>("btnCancelDownload")->isVisible());
  TOpenedFiles opened;
  QDesktopServices::setUrlHandler("file", &opened, "Open");
  Panel()->findChild<QPushButton *>("btnOpenDownload")->click();
  Panel()->findChild<QPushButton *>("btnShowDownloadFolder")->click();
  QDesktopServices::unsetUrlHandler("file");
  EXPECT_EQ(opened.files, (QList<QUrl>{QUrl::fromLocalFile(target), QUrl::fromLocalFile(folder.path())}));

  Panel()->findChild<QPushButton *>("btnCloseDownload")->click();
  EXPECT_TRUE(WaitUntil([&] { return Panel() == nullptr; }, 10s, "the panel gone"));
}

TEST_F(DownloadTest, ACancelledDownloadLeavesNothingAndTheFileItWouldReplaceStaysWhole)
{
  const QString target = folder.filePath("held.zip");
  {
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the user's old file");
  }
  AnswerSaveDialog(target);
  ClickLink("held");
  ASSERT_TRUE(
      WaitUntil([&] { return PanelText().contains("4.0 MiB of 20.0 MiB"); }, 120s, "the first 4 MB received"))
      << PanelText().toStdString();
  auto *progress = Panel()->findChild<QProgressBar *>("DownloadProgress");
  EXPECT_EQ(progress->value(), 200);
  EXPECT_TRUE(Panel()->isVisible());
  // Until complete, the download is written in the download folder.
  EXPECT_FALSE(Entries(downloads).isEmpty());
  SaveScreenshot("download-progress.png");

  Panel()->findChild<QPushButton *>("btnCancelDownload")->click();
  ASSERT_TRUE(WaitUntil([&] { return Panel() == nullptr; }, 30s, "the cancelled download's panel gone"));
  EXPECT_TRUE(WaitUntil([&] { return Entries(downloads).isEmpty(); }, 10s, "nothing left of it"))
      << Entries(downloads).join(", ").toStdString();
  EXPECT_EQ(FolderEntries(), QStringList{"held.zip"});
  QFile old(target);
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  EXPECT_EQ(old.readAll(), "the user's old file");
}

TEST_F(DownloadTest, ADownloadCutOffSaysItFailedAndLeavesNothing)
{
  AnswerSaveDialog(folder.filePath("held.zip"));
  ClickLink("held");
  ASSERT_TRUE(WaitUntil([&] { return PanelText().contains("4.0 MiB of"); }, 120s, "the first 4 MB received"));
  server.CutHeldDownloads();
  ASSERT_TRUE(WaitUntil([&] { return PanelText().startsWith("Download of held.zip failed"); }, 60s,
                        "the failure reported"))
      << PanelText().toStdString();
  EXPECT_TRUE(WaitUntil([&] { return Entries(downloads).isEmpty(); }, 10s, "no file left"))
      << Entries(downloads).join(", ").toStdString();
  EXPECT_TRUE(FolderEntries().isEmpty()) << FolderEntries().join(", ").toStdString();
}

TEST_F(DownloadTest, ADownloadWhoseWindowClosesLeavesNothing)
{
  AnswerSaveDialog(folder.filePath("held.zip"));
  ClickLink("held");
  ASSERT_TRUE(WaitUntil([&] { return PanelText().contains("4.0 MiB of"); }, 120s, "the first 4 MB received"));
  form.reset();
  EXPECT_TRUE(WaitUntil([&] { return Entries(downloads).isEmpty(); }, 10s, "no file left"))
      << Entries(downloads).join(", ").toStdString();
  EXPECT_TRUE(FolderEntries().isEmpty()) << FolderEntries().join(", ").toStdString();
}

TEST_F(DownloadTest, ADownloadCompleteBeforeTheUserChoseWaitsAndGoesWithItsWindow)
{
  // The save dialog stays unanswered.
  ClickLink("big");
  ASSERT_TRUE(WaitUntil([&] { return PanelText() == "big.zip downloaded; where to save it?"; }, 120s,
                        "the download complete, waiting for the choice"))
      << PanelText().toStdString();
  EXPECT_FALSE(Entries(downloads).isEmpty());
  form.reset();
  EXPECT_TRUE(Entries(downloads).isEmpty()) << Entries(downloads).join(", ").toStdString();
}

TEST_F(DownloadTest, ADownloadShowsInTheWindowWhosePageStartedIt)
{
  Browser()->page()->runJavaScript("window.open('/links', '', 'width=700,height=500'); 1");
  TfrmBrowser *popup = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (QWidget *widget : QApplication::topLevelWidgets())
          if (auto *found = qobject_cast<TfrmBrowser *>(widget); found && found->isVisible())
            popup = found;
        return popup && popup->windowTitle() == "Links" && !popup->Browser()->Busy();
      },
      60s, "the pop-up with its page"));
  const std::unique_ptr<TfrmBrowser> closing(popup);
  AnswerSaveDialog(folder.filePath("big.zip"));
  popup->Browser()->page()->runJavaScript("document.getElementById('big').click()");
  ASSERT_TRUE(WaitUntil(
      [&] {
        TDownloadPanel *panel = PanelOf(popup);
        return panel && panel->findChild<QLabel *>("lblDownload")->text().startsWith("big.zip downloaded");
      },
      120s, "the download complete in the pop-up"));
  EXPECT_EQ(Panel(), nullptr);
  EXPECT_EQ(QFileInfo(folder.filePath("big.zip")).size(), 20 * Megabyte);
}

TEST_F(DownloadTest, AHiddenStatusBarShowsWhileTheWindowHasDownloads)
{
  // As a brand without a status bar has it.
  form->statusBar()->hide();
  AnswerSaveDialog(folder.filePath("big.zip"));
  ClickLink("big");
  ASSERT_TRUE(WaitUntil([&] { return PanelText().contains("downloaded"); }, 120s, "the download complete"));
  EXPECT_TRUE(form->statusBar()->isVisible());
  Panel()->findChild<QPushButton *>("btnCloseDownload")->click();
  EXPECT_TRUE(form->statusBar()->isHidden());
}

TEST_F(DownloadTest, SavePageWritesThePageToTheChosenFile)
{
  const QString target = folder.filePath("links.mhtml");
  AnswerSaveDialog(target);
  Browser()->page()->triggerAction(QWebEnginePage::SavePage);
  ASSERT_TRUE(
      WaitUntil([&] { return PanelText().startsWith("links.mhtml downloaded"); }, 60s, "the page saved"))
      << PanelText().toStdString();
  QFile saved(target);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray text = saved.readAll();
  EXPECT_TRUE(text.contains("Links")) << text.left(400).toStdString();
  EXPECT_TRUE(text.contains("held.zip")) << text.left(400).toStdString();
  EXPECT_EQ(FolderEntries(), QStringList{"links.mhtml"});
}

TEST_F(DownloadTest, NamesFromTheServerAreMadeSafeFileNames)
{
  const QString longName = QString("a").repeated(300) + ".txt";
  const QList<std::pair<QString, QString>> names = {
      {"two\nlines.txt", "two_lines.txt"},
      {"carriage\rreturn.txt", "carriage_return.txt"},
      {"tab\there.txt", "tab_here.txt"},
      {"\x1b]0;owned\x07\x1b[2Jclear.txt", "_]0;owned__[2Jclear.txt"},
      {QString("del") + QChar(0x7f) + ".txt", "del_.txt"},
      {QString("c1") + QChar(0x85) + QChar(0x9b) + ".txt", "c1__.txt"},
      {QString("invoice") + QChar(0x202e) + "txt.exe", "invoice_txt.exe"},
      {"../../up.txt", "up.txt"},
      {longName, QString("a").repeated(251) + ".txt"},
  };
  for (int index = 0; index < names.size(); ++index) {
    const auto &[sent, safe] = names[index];
    const QString path = QString("/hostile/%1").arg(index);
    server.SetDownload(path, "content " + QByteArray::number(index), sent);
    AnswerSaveDialog(folder.filePath(safe));
    Download(path);
    ASSERT_TRUE(WaitUntil([&] { return PanelLine().startsWith(safe + " downloaded"); }, 60s,
                          "the download saved as " + safe.toStdString()))
        << PanelLine().toStdString();
    // The dialog proposed the safe name; the file is there, whole.
    EXPECT_EQ(proposed, downloads + "/" + safe);
    QFile saved(folder.filePath(safe));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << safe.toStdString();
    EXPECT_EQ(saved.readAll(), "content " + QByteArray::number(index));
    // The status line stays in the window's own direction and on one line.
    EXPECT_FALSE(PanelText().contains(QChar(0x202e)) || PanelText().contains('\n'));
  }
  EXPECT_EQ(Entries(downloads), QStringList{});
  EXPECT_EQ(FolderEntries().size(), names.size());
}

TEST_F(DownloadTest, ABurstOfDownloadsAsksOneAtATimeAndKeepsTheWindowsWidth)
{
  constexpr int Burst = 50;
  for (int index = 0; index < Burst; ++index)
    server.SetDownload(QString("/burst/%1").arg(index), "file " + QByteArray::number(index),
                       QString("burst %1.txt").arg(index));
  const int width = form->width();
  // Answers each Save As with the name it proposes, in the test's folder, and notes how many
  // dialogs were ever shown at once.
  int mostShown = 0;
  QList<QPointer<QWidget>> answeredDialogs;
  QTimer answerer;
  answerer.setInterval(20);
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    QList<QFileDialog *> shown;
    for (QWidget *widget : QApplication::topLevelWidgets())
      if (widget->objectName() == "dlgSaveDownload" && widget->isVisible())
        shown.append(qobject_cast<QFileDialog *>(widget));
    mostShown = std::max<int>(mostShown, shown.size());
    for (QFileDialog *dialog : shown) {
      if (answeredDialogs.contains(dialog) || dialog->property("answering").toBool())
        continue;
      dialog->setProperty("answering", true);
      const QString target = folder.filePath(QFileInfo(dialog->selectedFiles().value(0)).fileName());
      dialog->selectFile(target);
      dialog->findChild<QLineEdit *>("fileNameEdit")->setText(QFileInfo(target).fileName());
      // Taken again at the next tick if the dialog changed the choice meanwhile.
      QTimer::singleShot(0, dialog, [&answeredDialogs, dialog, target] {
        dialog->setProperty("answering", false);
        if (dialog->selectedFiles().value(0) != target)
          return;
        answeredDialogs.append(dialog);
        static_cast<QDialog *>(dialog)->accept();
      });
    }
  });
  // Each from a frame of its own: the engine drops a frame's downloads past ten a second before
  // any reach the window, as other browsers built on it do.
  Browser()->page()->runJavaScript(QString("for (let index = 0; index < %1; ++index) {"
                                           "  const frame = document.createElement('iframe');"
                                           "  frame.src = '/burst/' + index; document.body.append(frame); }")
                                       .arg(Burst));
  answerer.start();
  ASSERT_TRUE(WaitUntil([&] { return FolderEntries().size() == Burst; }, 60s, "every download saved"))
      << FolderEntries().size() << " saved, " << answeredDialogs.size() << " asked";
  EXPECT_EQ(answeredDialogs.size(), Burst);
  EXPECT_EQ(mostShown, 1);
  for (int index = 0; index < Burst; ++index) {
    QFile saved(folder.filePath(QString("burst %1.txt").arg(index)));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << index;
    EXPECT_EQ(saved.readAll(), "file " + QByteArray::number(index));
  }
  // One place in the status bar shows the newest download and where it stands among them all.
  auto *position = form->statusBar()->findChild<QLabel *>("lblDownloadPosition");
  ASSERT_NE(position, nullptr);
  EXPECT_EQ(position->text(), QString("1 of %1").arg(Burst));
  EXPECT_LE(form->width(), width);
  EXPECT_LE(form->minimumSizeHint().width(), width);
  SaveScreenshot("download-burst.png");

  // The others are a step away, and go one by one.
  form->statusBar()->findChild<QToolButton *>("btnNextDownload")->click();
  EXPECT_EQ(position->text(), QString("2 of %1").arg(Burst));
  Panel()->findChild<QPushButton *>("btnCloseDownload")->click();
  EXPECT_EQ(position->text(), QString("2 of %1").arg(Burst - 1));
}

#include "DownloadTest.moc"
