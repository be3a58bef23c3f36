#include "E2eSupport.h"
#include "TrayMenu.h"
#include "XDriver.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

// Launchers whose first page shows what the browser kept of it (a cookie and a local-storage
// value) in its title, then keeps both; their profiles live in a data folder of the test's own.
class BrowserProfileE2e : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (std::getenv("DISPLAY") == nullptr)
      GTEST_SKIP() << "needs a display (the test command provides one)";
    data = fs::path(first.Root()).parent_path() / (fs::path(first.Root()).filename().string() + ".data");
    fs::create_directories(data);
    for (const TInstall *install : {&first, &second}) {
      WriteFirstPage(
          *install,
          "<html><head><title>loading</title></head><body><script>"
          "document.title = 'kept cookie=' + (document.cookie.indexOf('kept=1') >= 0 ? 'yes' : 'no') +"
          " ' stored=' + (localStorage.getItem('kept') || 'no');"
          "document.cookie = 'kept=1; max-age=86400'; localStorage.setItem('kept', 'yes');"
          "</script></body></html>");
    }
  }

  void TearDown() override
  {
    std::error_code ignored;
    fs::remove_all(data, ignored);
  }

  // Starts the installation's launcher; gives its instance once its window shows a title like Pattern.
  pid_t StartShowing(const TInstall &install, const std::string &pattern)
  {
    EXPECT_EQ(StartAsUser(install.Program(), {{"XDG_DATA_HOME", data.string()}}), 0);
    pid_t launcher = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
          const std::vector<pid_t> found = InstancesOf(install.Program());
          launcher = found.empty() ? 0 : found[0];
          return launcher != 0 && !WindowNamed(pattern, launcher).empty();
        },
        90s, "a window titled " + pattern));
    return launcher;
  }

  void Stop(const TInstall &install, pid_t launcher)
  {
    kill(launcher, SIGTERM);
    EXPECT_TRUE(
        WaitUntil([&] { return InstancesOf(install.Program()).empty(); }, 30s, "the launcher to end"));
  }

  TInstall first{CORVALA_LAUNCHER};
  TInstall second{CORVALA_LAUNCHER};
  fs::path data;
};

} // namespace

TEST_F(BrowserProfileE2e, CookiesAndStoredDataOutliveARestartAndEachTreeKeepsItsOwn)
{
  Stop(first, StartShowing(first, "^kept cookie=no stored=no$"));
  Stop(first, StartShowing(first, "^kept cookie=yes stored=yes$"));
  // Another tree has a profile of its own.
  Stop(second, StartShowing(second, "^kept cookie=no stored=no$"));

  // The profiles are private to the user, outside the trees.
  const fs::path profiles = data / "corvala" / "profiles";
  ASSERT_TRUE(fs::is_directory(profiles));
  int folders = 0;
  for (const auto &entry : fs::directory_iterator(profiles)) {
    ++folders;
    struct stat status {
    };
    ASSERT_EQ(stat(entry.path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u) << entry.path();
  }
  EXPECT_EQ(folders, 2);
}

TEST_F(BrowserProfileE2e, ADistributionsWindowsCarryItsTitleAsTheirClass)
{
  first.SetConfig("[INI]\r\nfullscreen=0\r\ntitle=\"Acme Shop\"\r\nport=8080\r\nip=127.0.0.1\r\nbrand=1\r\n");
  const pid_t launcher = StartShowing(first, "^kept cookie=");
  // Found by its title, the window may still be in the window manager's hands (framed, mapped
  // again) for a moment.
  std::vector<std::string> windows;
  ASSERT_TRUE(WaitUntil([&] { return !(windows = VisibleWindowsOf(launcher)).empty(); }, 30s,
                        "the launcher's visible windows"));
  for (const std::string &window : windows)
    EXPECT_NE(Shell("xprop -id " + window + " WM_CLASS").find("\"Acme Shop\""), std::string::npos) << window;
  Stop(first, launcher);
}

TEST_F(BrowserProfileE2e, ASecondStartBringsTheHiddenWindowBack)
{
  const pid_t launcher = StartShowing(first, "^kept cookie=");
  const std::string window = VisibleWindowNamed("^kept cookie=");
  ASSERT_FALSE(window.empty());
  // Minimised with a tray icon up, the window goes to the tray.
  Shell("xdotool windowminimize " + window);
  ASSERT_TRUE(
      WaitUntil([&] { return WindowNamed("^kept cookie=", launcher).empty(); }, 30s, "the window to hide"));
  EXPECT_EQ(StartAsUser(first.Program(), {{"XDG_DATA_HOME", data.string()}}), 0);
  EXPECT_TRUE(WaitUntil([&] { return !WindowNamed("^kept cookie=", launcher).empty(); }, 30s,
                        "the running instance's window to come back"));
  EXPECT_EQ(InstancesOf(first.Program()), std::vector<pid_t>{launcher});
  Stop(first, launcher);
}

TEST_F(BrowserProfileE2e, ClearBrowsingDataEmptiesTheProfile)
{
  Stop(first, StartShowing(first, "^kept cookie=no stored=no$"));
  const pid_t launcher = StartShowing(first, "^kept cookie=yes stored=yes$");
  const std::string confirm = OpenFromTray(launcher, "b", "Confirm");
  ASSERT_FALSE(confirm.empty());
  ASSERT_TRUE(ActivateWindow(confirm));
  ASSERT_TRUE(PressKeys("Return"));
  std::string done;
  ASSERT_TRUE(WaitUntil([&] { return !(done = VisibleWindowNamed("^Information$")).empty(); }, 30s,
                        "the message that the data is cleared"));
  SaveScreenshot(CORVALA_SCREENSHOTS, "browsing-data-cleared.png");
  ASSERT_TRUE(ActivateWindow(done));
  ASSERT_TRUE(PressKeys("Return"));
  Stop(first, launcher);
  Stop(first, StartShowing(first, "^kept cookie=no stored=no$"));
}
