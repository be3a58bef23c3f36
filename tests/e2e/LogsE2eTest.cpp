#include "E2eSupport.h"
#include "TrayMenu.h"
#include "XDriver.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>

using namespace E2e;

namespace
{

// What the shown log holds, as its user gets it: every line selected and copied with the keys
// (the log's view has the focus), then read from the clipboard.
std::string CopiedLog()
{
  if (!PressKeys("ctrl+a ctrl+c"))
    return {};
  return Shell("xclip -o -selection clipboard 2>/dev/null");
}

// Switches the Logs window (active) to a tab by its mnemonic and empties the clipboard, so that
// what is read next is that tab's.
void ShowTab(const std::string &logs, const std::string &mnemonic)
{
  ASSERT_TRUE(ActivateWindow(logs));
  ASSERT_TRUE(PressKeys("alt+" + mnemonic));
  Shell("printf nothing | xclip -selection clipboard >/dev/null 2>&1");
}

} // namespace

TEST(LogsWindow, ShowsAPhpFatalErrorWithinASecondAndEachServersLog)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  WriteStatusPage(install);
  std::ofstream(install.Path("www/fatal.php"), std::ios::binary)
      << "<?php\ncorvala_logs_test_undefined_function();\n";
  ASSERT_EQ(StartAsUser(install.Program()), 0);
  pid_t launcher = 0;
  std::string title;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::vector<pid_t> found = InstancesOf(install.Program());
        launcher = found.empty() ? 0 : found[0];
        return launcher != 0 && !(title = WindowNamed("^E2E MySQL connected on port", launcher)).empty();
      },
      90s, "a window showing the site"));
  const int sitePort = std::atoi(title.substr(title.rfind("site port ") + 10).c_str());
  ASSERT_GT(sitePort, 0) << title;

  const std::string logs = OpenFromTray(launcher, "l", "Logs");
  ASSERT_FALSE(logs.empty());
  ShowTab(logs, "p");
  // Nothing of PHP's yet: the page with the error has not been asked for.
  EXPECT_EQ(CopiedLog().find("PHP Fatal error"), std::string::npos);

  const THttpReply reply = HttpGet(sitePort, "/fatal.php");
  // The developer's php.ini shows the error in the page as well, with status 200.
  ASSERT_NE(reply.status, 0);
  std::string shown;
  EXPECT_TRUE(WaitUntil(
      [&] {
        shown = CopiedLog();
        return shown.find("PHP Fatal error") != std::string::npos;
      },
      1s, "the PHP log to show the fatal error"));
  EXPECT_NE(shown.find("corvala_logs_test_undefined_function()"), std::string::npos) << shown;
  EXPECT_NE(shown.find("fatal.php"), std::string::npos) << shown;
  // Apache's own lines stay in Apache's tab.
  EXPECT_EQ(shown.find("resuming normal operations"), std::string::npos) << shown;
  SaveScreenshot(CORVALA_SCREENSHOTS, "logs-window-php.png");

  ShowTab(logs, "a");
  EXPECT_TRUE(WaitUntil(
      [&] {
        shown = CopiedLog();
        return shown.find("resuming normal operations") != std::string::npos;
      },
      10s, "Apache's log"));
  EXPECT_NE(shown.find("PHP Fatal error"), std::string::npos) << shown;

  ShowTab(logs, "m");
  EXPECT_TRUE(WaitUntil([&] { return CopiedLog().find("ready for connections") != std::string::npos; }, 10s,
                        "MySQL's log"));
  SaveScreenshot(CORVALA_SCREENSHOTS, "logs-window-mysql.png");

  // A second request brings the same window forward.
  EXPECT_EQ(OpenFromTray(launcher, "l", "Logs"), logs);
  EXPECT_EQ(WindowNamed("^Logs$", launcher), "Logs\n");

  kill(launcher, SIGTERM);
  EXPECT_TRUE(WaitUntil([&] { return InstancesOf(install.Program()).empty(); }, 30s, "the launcher to end"));
}
