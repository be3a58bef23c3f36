#include "shell/LogsForm.h"
#include "MainFormFixture.h"
#include "OutDir.h"
#include "shell/LogView.h"
#include "support/TestSupport.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <filesystem>
#include <fstream>

namespace
{

void Append(const std::string &path, const std::string &bytes)
{
  std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// The main window's Logs windows.
QList<TfrmLogs *> LogsWindows()
{
  QList<TfrmLogs *> found;
  for (QWidget *window : QApplication::topLevelWidgets())
    if (auto *logs = qobject_cast<TfrmLogs *>(window))
      found << logs;
  return found;
}

} // namespace

// The Logs window against a work folder of the test's own, with the logs a run writes.
class LogsFormTest : public MainFormTest
{
protected:
  LogsFormTest()
  {
    apacheLog =
        work.Write("work/error.log", "[core:notice] AH00094: started\n[php:error] PHP Fatal error: first\n");
    mySqlLog = work.File("work/mysql-output.log");
    runLogs = [this] {
      return TRunLogs{
          .logs = {{"Apache", apacheLog, ""}, {"PHP", apacheLog, "[php:"}, {"MySQL", mySqlLog, ""}},
          .folder = work.File("work")};
    };
  }

  TfrmLogs *OpenLogs()
  {
    TrayItem("mnuTray_Logs")->trigger();
    const QList<TfrmLogs *> windows = LogsWindows();
    EXPECT_EQ(windows.size(), 1);
    return windows.value(0);
  }
  template <typename T> T *Part(TfrmLogs *logs, const QString &name) const
  {
    auto *found = logs->findChild<T *>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
  }
  QString Shown(TfrmLogs *logs, const QString &caption) const
  {
    return Part<QPlainTextEdit>(logs, "memLog_" + caption)->toPlainText();
  }

  TestSupport::TScratchFolder work;
  std::string apacheLog;
  std::string mySqlLog;
};

TEST_F(LogsFormTest, OneWindowFromTheTrayAndTheToolBarShowsEachLogWithItsPath)
{
  Start();
  TfrmLogs *logs = OpenLogs();
  ASSERT_NE(logs, nullptr);
  EXPECT_TRUE(logs->isVisible());
  EXPECT_EQ(logs->windowTitle(), "Logs");
  // A second request, from the tool bar too, brings the same window back.
  logs->hide();
  Find<QToolButton>("btnLogs")->click();
  EXPECT_EQ(LogsWindows(), QList<TfrmLogs *>{logs});
  EXPECT_TRUE(logs->isVisible());

  auto *tabs = Part<QTabWidget>(logs, "pgcLogs");
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(0), "&Apache");
  EXPECT_EQ(tabs->tabText(1), "&PHP");
  EXPECT_EQ(tabs->tabText(2), "&MySQL");
  EXPECT_EQ(Shown(logs, "Apache"), "[core:notice] AH00094: started\n[php:error] PHP Fatal error: first");
  EXPECT_EQ(Shown(logs, "PHP"), "[php:error] PHP Fatal error: first");
  auto *path = Part<QLabel>(logs, "lblPath_MySQL");
  EXPECT_EQ(path->text().toStdString(), mySqlLog);
  EXPECT_TRUE(path->textInteractionFlags() & Qt::TextSelectableByMouse);
  // MySQL has written nothing yet: said so, and no error.
  auto *state = Part<QLabel>(logs, "lblState_MySQL");
  EXPECT_FALSE(state->isHidden());
  EXPECT_TRUE(Shown(logs, "MySQL").isEmpty());

  // The folder goes to the desktop's opener, replaced here so that the address can be read.
  QTextBrowser opener;
  QDesktopServices::setUrlHandler("file", &opener, "setSource");
  Part<QPushButton>(logs, "btnOpenFolder")->click();
  QDesktopServices::unsetUrlHandler("file");
  EXPECT_EQ(opener.source(), QUrl::fromLocalFile(QString::fromStdString(work.File("work"))));
}

TEST_F(LogsFormTest, NewLinesShowWithinASecondAndTheWindowOutlivesTheWorkFolder)
{
  Start();
  TfrmLogs *logs = OpenLogs();
  ASSERT_NE(logs, nullptr);
  Append(apacheLog, "[php:warn] PHP Warning: sec");
  Append(mySqlLog, "[Note] ready for connections\n");
  EXPECT_TRUE(WaitUntil([&] { return Shown(logs, "MySQL") == "[Note] ready for connections"; }, 1s,
                        "MySQL's log once it is written"));
  EXPECT_TRUE(Part<QLabel>(logs, "lblState_MySQL")->isHidden());
  // Half a line waits for its end.
  EXPECT_EQ(Shown(logs, "PHP"), "[php:error] PHP Fatal error: first");
  Append(apacheLog, "ond\n[core:error] not PHP's\n");
  EXPECT_TRUE(WaitUntil([&] { return Shown(logs, "PHP").endsWith("\n[php:warn] PHP Warning: second"); }, 1s,
                        "the PHP warning"));
  EXPECT_TRUE(WaitUntil([&] { return Shown(logs, "Apache").endsWith("\n[core:error] not PHP's"); }, 1s,
                        "Apache's line"));

  // The stack stops: its work folder goes. What was read stays, and nothing fails.
  std::filesystem::remove_all(work.File("work"));
  auto *openFolder = Part<QPushButton>(logs, "btnOpenFolder");
  EXPECT_TRUE(WaitUntil([&] { return !openFolder->isEnabled(); }, 1s, "Open the folder to be disabled"));
  EXPECT_TRUE(WaitUntil([&] { return !Part<QLabel>(logs, "lblState_Apache")->isHidden(); }, 1s,
                        "Apache's log to be said missing"));
  EXPECT_TRUE(Shown(logs, "MySQL").endsWith("ready for connections"));
  EXPECT_TRUE(logs->grab().save(OutDir() + "/logs-stopped.png"));
}

TEST_F(LogsFormTest, AViewKeepsTheLastLinesOnly)
{
  std::string many;
  for (int line = 1; line <= TLogView::MaxLines + 50; ++line)
    many += "line " + std::to_string(line) + "\n";
  Append(apacheLog, many);
  Start();
  TfrmLogs *logs = OpenLogs();
  ASSERT_NE(logs, nullptr);
  auto *shown = Part<QPlainTextEdit>(logs, "memLog_Apache");
  EXPECT_EQ(shown->blockCount(), TLogView::MaxLines);
  EXPECT_TRUE(shown->toPlainText().endsWith("\nline " + QString::number(TLogView::MaxLines + 50)));
  EXPECT_TRUE(shown->toPlainText().startsWith("line 51\n"));
}
