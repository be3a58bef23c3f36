#include "E2eSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{
// The shipped configuration with another first port for Apache.
std::string ConfigWithPort(int port, const std::string &ip = "127.0.0.1")
{
  return "[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=" + std::to_string(port) + "\r\nip=" + ip +
         "\r\ncopyfilestoharddisk=0\r\nbrand=0";
}

// A port from which a handful of ports up are free (the tests hold some of them themselves).
int FreePortRun(int from)
{
  for (int port = from; port < 60000; port += 10) {
    bool free = true;
    for (int p = port; p < port + 5 && free; ++p) {
      free = TPortHolder(p).Holding();
      free = free && TPortHolder(p, true).Holding();
    }
    if (free)
      return port;
  }
  return -1;
}

bool OnlyFoldersIn(const std::string &folder)
{
  for (const auto &entry : fs::directory_iterator(folder))
    if (!entry.is_directory())
      return false;
  return true;
}

class StackTest : public ::testing::Test
{
protected:
  void SetUp() override { install.SetConfig(ConfigWithPort(FreePortRun(20080))); }

  // After a stop nothing of the installation runs and the work folder is gone.
  void ExpectCleanAfterStop(const std::string &workFolder)
  {
    EXPECT_TRUE(ProcessesBelow(install.Root()).empty());
    EXPECT_TRUE(ProcessesBelow(workFolder).empty());
    EXPECT_FALSE(fs::exists(workFolder));
    EXPECT_TRUE(OnlyFoldersIn(install.Path("data")));
    EXPECT_TRUE(fs::exists(install.Path("data/mysql")));
  }

  TInstall install;
};
} // namespace

TEST_F(StackTest, ServesThePhpSiteWithMySqlAndStopsClean)
{
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  const int mysqlPort = launcher.IntValue("mysql_port");
  const std::string work = launcher.Value("work");
  EXPECT_GE(mysqlPort, 3306);
  EXPECT_TRUE(launcher.Value("apache_error").empty()) << launcher.Value("apache_error");

  const THttpReply page = HttpGet(launcher.IntValue("apache_port"), "/index.php");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("MySQL connected on port " + std::to_string(mysqlPort)), std::string::npos)
      << page.body;
  EXPECT_NE(page.body.find(work + "/php.ini"), std::string::npos);
  EXPECT_FALSE(ProcessesBelow(install.Path("bin")).empty());

  EXPECT_EQ(launcher.Stop(), 0);
  ExpectCleanAfterStop(work);
}

TEST_F(StackTest, BusyPortsMoveBothServersUpAndPhpFollows)
{
  const int first = FreePortRun(21080);
  install.SetConfig(ConfigWithPort(first));
  TPortHolder apacheHolder(first);
  TPortHolder mysqlHolder(3306);
  TPortHolder mysqlHolder2(3307);
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  EXPECT_EQ(launcher.IntValue("apache_port"), first + 1);
  const int mysqlPort = launcher.IntValue("mysql_port");
  EXPECT_GE(mysqlPort, 3308);
  const THttpReply page = HttpGet(first + 1, "/index.php");
  EXPECT_NE(page.body.find("MySQL connected on port " + std::to_string(mysqlPort)), std::string::npos)
      << page.body;
  EXPECT_EQ(launcher.Stop(), 0);
}

TEST_F(StackTest, WithoutMySqlApacheAndPhpStillServe)
{
  fs::remove(install.Path("bin/mysql/bin/mysqld"));
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  EXPECT_EQ(launcher.IntValue("mysql_port"), 0);
  EXPECT_EQ(launcher.IntValue("mysql_pid"), 0);
  const THttpReply page = HttpGet(launcher.IntValue("apache_port"), "/index.php");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("MySQL not available"), std::string::npos) << page.body;
  EXPECT_FALSE(fs::exists(launcher.Value("work") + "/my.ini"));
  EXPECT_EQ(launcher.Stop(), 0);
}

TEST_F(StackTest, ApacheRejectingItsConfigurationEndsTheWait)
{
  // A module Apache cannot load makes it reject the configuration and end at once.
  fs::remove(install.Path("bin/Apache/mod_dir.so"));
  std::ofstream(install.Path("bin/Apache/mod_dir.so")) << "not a module";
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  EXPECT_NE(launcher.Value("apache_error").find("Apache ended during its start"), std::string::npos);
  EXPECT_TRUE(ProcessesBelow(install.Path("bin/Apache")).empty());
  EXPECT_EQ(launcher.Stop(), 0);
}

TEST_F(StackTest, ASecondInstanceFromTheSamePathIsRefused)
{
  TLauncher first(install.Program());
  ASSERT_TRUE(first.WaitReady()) << first.LastLine();
  TLauncher second(install.Program());
  EXPECT_FALSE(second.WaitReady());
  EXPECT_EQ(second.LastLine(), "already-running");
  EXPECT_EQ(second.Stop(), 3);
  EXPECT_EQ(HttpGet(first.IntValue("apache_port"), "/index.php").status, 200);
  EXPECT_EQ(first.Stop(), 0);
}

TEST_F(StackTest, CdModeRunsTheServersFromCopies)
{
  const std::string mountinfo = install.Root() + ".mountinfo";
  std::string mountPoint;
  for (const char c : install.Root())
    mountPoint += c == ' ' ? std::string("\\040") : std::string(1, c);
  std::ofstream(mountinfo) << "22 1 0:21 / / rw,relatime - ext4 /dev/vda rw\n"
                           << "90 22 11:0 / " << mountPoint << " ro,relatime - iso9660 /dev/sr0 ro\n";
  TLauncher launcher(install.Program(), {{"CORVALA_MOUNTINFO", mountinfo}});
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  const std::string work = launcher.Value("work");
  EXPECT_EQ(launcher.Value("bin"), work + "/bin");
  EXPECT_TRUE(fs::exists(work + "/data/mysql"));
  EXPECT_FALSE(fs::exists(work + "/www"));
  EXPECT_TRUE(ProcessesBelow(install.Path("bin")).empty());
  EXPECT_GE(ProcessesBelow(work + "/bin").size(), 3u);
  const THttpReply page = HttpGet(launcher.IntValue("apache_port"), "/index.php");
  EXPECT_NE(page.body.find("MySQL connected"), std::string::npos) << page.body;
  EXPECT_EQ(launcher.Stop(), 0);
  EXPECT_FALSE(fs::exists(work));
  std::remove(mountinfo.c_str());
}

TEST_F(StackTest, KilledLauncherLeavesNoServerAndTheNextStartCleansUp)
{
  std::string work;
  {
    TLauncher launcher(install.Program());
    ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
    work = launcher.Value("work");
    launcher.Kill();
  }
  // The servers get SIGTERM when their launcher dies and stop by themselves.
  for (int i = 0; i < 100 && !ProcessesBelow(install.Path("bin")).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(ProcessesBelow(install.Path("bin")).empty());
  EXPECT_TRUE(fs::exists(work));

  TLauncher again(install.Program());
  ASSERT_TRUE(again.WaitReady()) << again.LastLine();
  EXPECT_EQ(again.Value("work"), work);
  EXPECT_NE(HttpGet(again.IntValue("apache_port"), "/index.php").body.find("MySQL connected"),
            std::string::npos);
  EXPECT_EQ(again.Stop(), 0);
  ExpectCleanAfterStop(work);
}

TEST_F(StackTest, RunsAsAnUnprivilegedUser)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to switch to the user nobody";
  install.SetConfig(ConfigWithPort(80));
  install.GiveTo(65534, 65534);
  const std::string tmp = install.Root() + ".tmp";
  fs::create_directory(tmp);
  chown(tmp.c_str(), 65534, 65534);
  {
    TLauncher launcher(install.Program(), {{"TMPDIR", tmp}}, 65534);
    ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
    // Ports below 1024 are not the user's to bind: the search moves on to the first one that is.
    EXPECT_GE(launcher.IntValue("apache_port"), 1024);
    const THttpReply page = HttpGet(launcher.IntValue("apache_port"), "/index.php");
    EXPECT_NE(page.body.find("MySQL connected"), std::string::npos) << page.body;
    const std::string work = launcher.Value("work");
    EXPECT_EQ(launcher.Stop(), 0);
    EXPECT_FALSE(fs::exists(work));
  }
  fs::remove_all(tmp);
}
