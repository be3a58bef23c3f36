#include "E2eSupport.h"
#include "StackTerminalRun.h"
#include "ini/Ini.h"
#include "maintenance/DownSize.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace E2e;
namespace fs = std::filesystem;

// A down-size that removes MySQL from a real installation: the next start serves the site without
// a database server, and PHP is told port 0.
TEST(DownSizeStack, AfterRemovingMySqlTheNextStartRunsWithoutIt)
{
  TInstall install;
  install.SetConfig("[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=22080\r\nip=127.0.0.1\r\n"
                    "copyfilestoharddisk=0\r\nbrand=0");
  ASSERT_TRUE(fs::exists(install.Path("bin/mysql/bin/mariadb")));
  ASSERT_TRUE(fs::exists(install.Path("bin/mysql/bin/mariadb-dump")));
  std::vector<std::string> flags(DownSizeComponentCount, "0");
  flags[0] = "-1";
  DeleteDownSizeSelection(install.Root() + "/", flags);
  ASSERT_FALSE(fs::exists(install.Path("bin/mysql")));
  ASSERT_FALSE(fs::exists(install.Path("data")));
  // MySQL's client and dump tool went with it; PHP's command line stays whole, its libraries too.
  EXPECT_FALSE(fs::exists(install.Path("bin/mysql/bin/mariadb")));
  EXPECT_FALSE(fs::exists(install.Path("bin/mysql/bin/mariadb-dump")));
  EXPECT_FALSE(fs::exists(install.Path("bin/lib/libncurses.so.6"))) << "only the MariaDB client needed it";
  EXPECT_EQ(Shell(Quoted(install.Path("bin/php/php")) + " -n -r 'echo 6 * 7;' 2>&1"), "42");

  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  EXPECT_EQ(launcher.IntValue("mysql_port"), 0);
  EXPECT_EQ(launcher.IntValue("mysql_pid"), 0);
  const std::string phpIni = launcher.Value("work") + "/php.ini";
  EXPECT_EQ(Ini::ReadIniString(phpIni, "MySQL", "mysql.default_port"), "0");
  EXPECT_EQ(Ini::ReadIniString(phpIni, "MySQLi", "mysqli.default_port"), "0");
  const THttpReply page = HttpGet(launcher.IntValue("apache_port"), "/index.php");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("MySQL not available"), std::string::npos) << page.body;
  EXPECT_EQ(launcher.Stop(), 0);
  EXPECT_TRUE(ProcessesBelow(install.Root()).empty());
}

// Xdebug and Composer deleted from a tree whose debugger is on: the next start runs PHP without
// the debugger and writes no line naming it, and the terminal's PATH no longer offers the tree's composer.
TEST(DownSizeStack, AfterRemovingXdebugAndComposerTheNextStartRunsWithoutThem)
{
  TInstall install;
  install.SetConfig("[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=22080\r\nip=127.0.0.1\r\n"
                    "copyfilestoharddisk=0\r\nbrand=0\r\nxdebug=1");
  ASSERT_TRUE(fs::exists(install.Path("bin/php/ext/xdebug.so")));
  ASSERT_TRUE(fs::exists(install.Path("bin/php/composer")));
  std::vector<std::string> flags(DownSizeComponentCount, "0");
  flags[15] = flags[16] = "-1";
  DeleteDownSizeSelection(install.Root() + "/", flags);
  EXPECT_FALSE(fs::exists(install.Path("bin/php/ext/xdebug.so")));
  EXPECT_FALSE(fs::exists(install.Path("bin/php/composer")));
  EXPECT_FALSE(fs::exists(install.Path("bin/composer")));
  EXPECT_TRUE(fs::exists(install.Path("bin/php/ext/opcache.so")));

  TestSupport::WriteBytes(install.Path("www/debugger.php"),
                          "<?php echo extension_loaded('xdebug') ? 'xdebug' : 'none', ' ', PHP_VERSION;");
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  const std::string work = launcher.Value("work");
  EXPECT_EQ(TestSupport::ReadBytes(work + "/php.ini").find("xdebug"), std::string::npos);
  const THttpReply page = HttpGet(launcher.IntValue("apache_port"), "/debugger.php?XDEBUG_TRIGGER=1");
  EXPECT_EQ(page.status, 200);
  EXPECT_TRUE(page.body.starts_with("none 8.")) << page.body;
  const std::string text =
      InStackTerminal(install, work, launcher.IntValue("mysql_port"),
                      "  echo \"composer=$(command -v composer)\"\n"
                      "  echo \"php=$(php -r 'echo extension_loaded(\"xdebug\") ? 1 : 0;')\"\n");
  // The host may have a composer of its own further along PATH.
  EXPECT_EQ(text.find("\ncomposer=" + install.Path("bin/")), std::string::npos) << text;
  EXPECT_NE(text.find("\ncomposer="), std::string::npos) << text;
  EXPECT_NE(text.find("\nphp=0\n"), std::string::npos) << text;
  EXPECT_EQ(launcher.Stop(), 0);
}
