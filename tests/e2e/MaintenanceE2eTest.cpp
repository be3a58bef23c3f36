// The maintenance commands driven through the real launcher on a display with a tray: the tray menu,
// the dialogs and the confirmation are worked with the pointer and keys, and the launcher's own
// hand-over (to "/setup" or "downsize" and back) is followed through the processes it starts.
#include "E2eSupport.h"
#include "TrayMenu.h"
#include "XDriver.h"
#include "ini/Ini.h"
#include "resources/ExeResources.h"
#include "stack/host/WorkFolder.h"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

constexpr auto StartLimit = 120s;
constexpr char AnySite[] = "^E2E MySQL connected on port [0-9]+, site port [0-9]+$";
constexpr char SiteWithoutMySql[] = "^E2E MySQL not available, site port [0-9]+$";

// The file names of the programs running from below Folder.
std::vector<std::string> ProgramNamesBelow(const std::string &folder)
{
  std::vector<std::string> names;
  for (const pid_t pid : ProcessesBelow(folder)) {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    if (!error)
      names.push_back(exe.filename());
  }
  return names;
}

// The Apache port named by the title of the launcher's window that shows the site (0, with a
// failure, when none does). xdotool's search ends with BadWindow when a window closes while it
// looks (the splash, for one), so the title is looked for until it names a port.
int SitePortShown(pid_t launcher)
{
  int port = 0;
  EXPECT_TRUE(WaitUntil(
      [&] {
        const std::string title = WindowNamed(AnySite, launcher);
        const size_t at = title.rfind("site port ");
        port = at == std::string::npos ? 0 : std::atoi(title.c_str() + at + 10);
        return port != 0;
      },
      30s, "a window showing the site and its port"));
  return port;
}

bool Contains(const std::vector<std::string> &items, const std::string &item)
{
  return std::find(items.begin(), items.end(), item) != items.end();
}

std::vector<std::string> SectionKeys(const std::string &file, const std::string &section)
{
  Base::TStringArray keys;
  Ini::ReadIniSectionKeys(file, section, keys);
  return keys;
}

class MaintenanceE2e : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (std::getenv("DISPLAY") == nullptr)
      GTEST_SKIP() << "needs a display with a tray (the test command sources scripts/display.sh)";
    install = std::make_unique<TInstall>(CORVALA_LAUNCHER);
    WriteStatusPage(*install);
    // The favorites file is linked into the kit tree; the down-size rewrites it, so it gets its own.
    const std::string favorites = install->Path("bin/Favorites.ini");
    fs::copy_file(favorites, favorites + ".own");
    fs::rename(favorites + ".own", favorites);
  }

  void TearDown() override
  {
    if (!install)
      return;
    // Whatever state a failure left behind: the clean shutdown first, then nothing may survive.
    for (const pid_t pid : InstancesOf(install->Program()))
      kill(pid, SIGTERM);
    WaitUntil([&] { return ProcessesBelow(install->Root()).empty(); }, 30s,
              "the installation's processes to end");
    for (const pid_t pid : ProcessesBelow(install->Root()))
      kill(pid, SIGKILL);
    install.reset();
  }

  // Waits for a launcher instance other than Previous whose own window shows a page titled by the
  // pattern; gives that instance (0 when none came). The window must be the instance's: for a
  // moment after a launcher has ended, the display may still list its windows, while the next
  // start's first process (which only starts the instance) is already there.
  pid_t AwaitLauncher(const std::string &titlePattern, pid_t previous = 0)
  {
    pid_t launcher = 0;
    const bool shown = WaitUntil(
        [&] {
          const std::vector<pid_t> instances = InstancesOf(install->Program());
          launcher = instances.size() == 1 && instances[0] != previous ? instances[0] : 0;
          return launcher != 0 && !WindowNamed(titlePattern, launcher).empty();
        },
        StartLimit, "a new launcher showing a page titled " + titlePattern);
    return shown ? launcher : 0;
  }

  pid_t StartLauncher()
  {
    EXPECT_EQ(StartAsUser(install->Program()), 0);
    return AwaitLauncher(AnySite);
  }

  // Ticks the components' boxes (by name) in the down-size dialog and confirms; the launcher hands
  // over to "downsize".
  void DownSize(pid_t launcher, const std::vector<const char *> &checkBoxes,
                const std::string &screenshotPrefix)
  {
    const std::string dialog = OpenFromTray(launcher, "d", "Down Size");
    ASSERT_FALSE(dialog.empty());
    for (const char *name : checkBoxes) {
      const TPoint box = DownSizeBox(name);
      ASSERT_TRUE(ClickIn(dialog, box.x, box.y));
    }
    SaveScreenshot(CORVALA_SCREENSHOTS, screenshotPrefix + "-dialog.png");
    const TPoint ok = DownSizeOk();
    ASSERT_TRUE(ClickIn(dialog, ok.x, ok.y));
    ConfirmYes(screenshotPrefix + "-confirm.png");
  }

  void StopLauncher(pid_t launcher)
  {
    kill(launcher, SIGTERM);
    EXPECT_TRUE(WaitUntil([&] { return !Running(launcher); }, 30s, "the launcher to end"));
    EXPECT_TRUE(WaitUntil([&] { return ProcessesBelow(install->Root()).empty(); }, 10s,
                          "the servers to end after the launcher"));
  }

  std::unique_ptr<TInstall> install;
};

} // namespace

// The port changed and the debugger ticked: the restarted launcher serves on the new port with PHP
// carrying Xdebug.
TEST_F(MaintenanceE2e, ASettingsChangeRestartsTheLauncherOnTheNewPortWithTheConfigurationInItsFile)
{
  std::ofstream(install->Path("www/debugger.php"), std::ios::binary)
      << "<?php echo extension_loaded('xdebug') ? 'xdebug' : 'none';";
  const pid_t first = StartLauncher();
  ASSERT_NE(first, 0) << "the launcher's window did not show the site";
  const int port = FreePort();
  ASSERT_NE(port, 0);
  ASSERT_NE(SitePortShown(first), port);
  EXPECT_EQ(HttpGet(SitePortShown(first), "/debugger.php").body, "none");

  ApplySettingsPort(first, port, "settings", {"chkXdebug"});

  EXPECT_TRUE(WaitUntil([&] { return !Running(first); }, 60s, "the first launcher to end"));
  const pid_t second =
      AwaitLauncher("^E2E MySQL connected on port [0-9]+, site port " + std::to_string(port) + "$", first);
  ASSERT_NE(second, 0) << "no new launcher showed the site on port " << port;
  SaveScreenshot(CORVALA_SCREENSHOTS, "settings-restarted.png");
  const THttpReply page = HttpGet(port, "/index.php");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("MySQL connected on port"), std::string::npos) << page.body;
  EXPECT_EQ(HttpGet(port, "/debugger.php").body, "xdebug");

  // The program file itself carries the new configuration; the rest of it is kept.
  const auto config = Resources::ReadResource(install->Program(), 10, "RES_CONFIG_INI");
  ASSERT_TRUE(config.has_value());
  const std::string configFile = install->Root() + " resource.ini";
  std::ofstream(configFile, std::ios::binary) << *config;
  EXPECT_EQ(Ini::ReadIniString(configFile, "INI", "port"), std::to_string(port));
  EXPECT_EQ(Ini::ReadIniString(configFile, "INI", "ip"), "127.0.0.1");
  EXPECT_EQ(Ini::ReadIniString(configFile, "INI", "innodb"), "1");
  EXPECT_EQ(Ini::ReadIniString(configFile, "INI", "xdebug"), "1");
  EXPECT_EQ(Ini::ReadIniString(configFile, "INI", "title"), "Corvala");
  fs::remove(configFile);

  StopLauncher(second);
}

TEST_F(MaintenanceE2e, DownSizingMySqlRestartsTheLauncherWithoutTheDatabaseServer)
{
  const pid_t first = StartLauncher();
  ASSERT_NE(first, 0) << "the launcher's window did not show the site";
  ASSERT_TRUE(Contains(ProgramNamesBelow(install->Root()), "mysqld"));
  const std::string favorites = install->Path("bin/Favorites.ini");
  ASSERT_TRUE(Contains(SectionKeys(favorites, "DIRS"), "MySQL data directory"));

  DownSize(first, {"chkMySQL"}, "downsize-mysql");

  EXPECT_TRUE(WaitUntil([&] { return !Running(first); }, 60s, "the launcher to end"));
  const pid_t second = AwaitLauncher(SiteWithoutMySql, first);
  ASSERT_NE(second, 0) << "no new launcher showed the site without MySQL";
  SaveScreenshot(CORVALA_SCREENSHOTS, "downsize-mysql-restarted.png");
  EXPECT_TRUE(InstancesOf(install->Program(), "downsize").empty());

  EXPECT_FALSE(fs::exists(install->Path("bin/mysql")));
  EXPECT_FALSE(fs::exists(install->Path("data")));
  EXPECT_FALSE(Contains(SectionKeys(favorites, "DIRS"), "MySQL data directory"));
  EXPECT_TRUE(Contains(SectionKeys(favorites, "DIRS"), "Web site"));
  EXPECT_TRUE(fs::exists(install->Path("www/phpmyadmin")));
  EXPECT_FALSE(Contains(ProgramNamesBelow(install->Root()), "mysqld"));
  const std::string work = Host::WorkFolderPathFor(install->Program());
  EXPECT_FALSE(Contains(ProgramNamesBelow(work), "mysqld"));
  EXPECT_EQ(Ini::ReadIniString(work + "/php.ini", "MySQLi", "mysqli.default_port"), "0");

  StopLauncher(second);
}

// phpMyAdmin, Xdebug and Composer ticked together: each goes, MySQL stays; the tree's debugger was
// on, and the next start runs without it.
TEST_F(MaintenanceE2e, DownSizingPhpMyAdminXdebugAndComposerRemovesThemAndKeepsMySql)
{
  install->SetConfig("[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=80\r\nip=127.0.0.1\r\n"
                     "copyfilestoharddisk=0\r\nbrand=0\r\nxdebug=1\r\n");
  std::ofstream(install->Path("www/debugger.php"), std::ios::binary)
      << "<?php echo extension_loaded('xdebug') ? 'xdebug' : 'none';";
  const pid_t first = StartLauncher();
  ASSERT_NE(first, 0) << "the launcher's window did not show the site";
  const std::string favorites = install->Path("bin/Favorites.ini");
  ASSERT_TRUE(Contains(SectionKeys(favorites, "URLS"), "phpMyAdmin"));
  fs::create_directories(install->Path("data/phpmyadmin"));

  EXPECT_EQ(HttpGet(SitePortShown(first), "/debugger.php").body, "xdebug");

  DownSize(first, {"chkPHPMyAdmin", "chkXdebug", "chkComposer"}, "downsize-phpmyadmin");

  EXPECT_TRUE(WaitUntil([&] { return !Running(first); }, 60s, "the launcher to end"));
  const pid_t second = AwaitLauncher(AnySite, first);
  ASSERT_NE(second, 0) << "no new launcher showed the site with MySQL";

  EXPECT_FALSE(fs::exists(install->Path("www/phpmyadmin")));
  EXPECT_FALSE(fs::exists(install->Path("data/phpmyadmin")));
  EXPECT_FALSE(Contains(SectionKeys(favorites, "URLS"), "phpMyAdmin"));
  EXPECT_TRUE(Contains(SectionKeys(favorites, "URLS"), "Home"));
  EXPECT_TRUE(Contains(SectionKeys(favorites, "DIRS"), "MySQL data directory"));
  EXPECT_TRUE(fs::exists(install->Path("bin/mysql")));
  EXPECT_TRUE(Contains(ProgramNamesBelow(install->Root()), "mysqld"));
  EXPECT_EQ(HttpGet(SitePortShown(second), "/phpmyadmin/").status, 404);
  EXPECT_FALSE(fs::exists(install->Path("bin/php/ext/xdebug.so")));
  EXPECT_FALSE(fs::exists(install->Path("bin/composer")));
  EXPECT_FALSE(fs::exists(install->Path("bin/php/composer")));
  EXPECT_EQ(HttpGet(SitePortShown(second), "/debugger.php").body, "none");

  StopLauncher(second);
}
