#include "E2eSupport.h"
#include "stack/DataFolderFiles.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
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

// Besides the databases only the server's own state (its Aria log and control file) is left.
::testing::AssertionResult OnlyDatabasesAndServerStateIn(const std::string &folder)
{
  for (const auto &entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename();
    if (!entry.is_directory() && !Corvala::IsServerStateFile(name))
      return ::testing::AssertionFailure() << "a loose file is left: " << name;
  }
  return ::testing::AssertionSuccess();
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
    EXPECT_TRUE(OnlyDatabasesAndServerStateIn(install.Path("data")));
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
  // MySQL's first ports may be busy with another server for a moment; wait until they are ours.
  std::unique_ptr<TPortHolder> mysqlHolder;
  std::unique_ptr<TPortHolder> mysqlHolder2;
  ASSERT_TRUE(WaitUntil(
      [&] {
        mysqlHolder.reset();
        mysqlHolder2.reset();
        mysqlHolder = std::make_unique<TPortHolder>(3306);
        mysqlHolder2 = std::make_unique<TPortHolder>(3307);
        return mysqlHolder->Holding() && mysqlHolder2->Holding();
      },
      10s, "ports 3306 and 3307 to be free"));
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

// A new page of the site (www is linked into the kit tree, so only new names are written).
static void WriteSitePage(const std::string &path, const std::string &text)
{
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST_F(StackTest, OpcacheServesCompiledScriptsAndAnEditAtTheNextRequest)
{
  const std::string page = install.Path("www/opcache-edit.php");
  WriteSitePage(page, "<?php echo 'version 1';");
  // Older than opcache's protection for scripts still being written, so this one is cached.
  fs::last_write_time(page, fs::file_time_type::clock::now() - std::chrono::seconds(10));
  WriteSitePage(install.Path("www/opcache-status.php"),
                "<?php $s = opcache_get_status(true);\n"
                "echo $s && $s['opcache_enabled'] ? \"enabled\\n\" : \"disabled\\n\";\n"
                "foreach ($s ? $s['scripts'] : array() as $path => $script) echo $path, \"\\n\";\n");
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  const int port = launcher.IntValue("apache_port");

  EXPECT_EQ(HttpGet(port, "/opcache-edit.php").body, "version 1");
  const std::string status = HttpGet(port, "/opcache-status.php").body;
  EXPECT_EQ(status.rfind("enabled\n", 0), 0u) << status;
  EXPECT_NE(status.find("\n" + fs::canonical(page).string() + "\n"), std::string::npos) << status;

  // Same size, edited twice within a second: each edit is what the next request gets.
  WriteSitePage(page, "<?php echo 'version 2';");
  EXPECT_EQ(HttpGet(port, "/opcache-edit.php").body, "version 2");
  WriteSitePage(page, "<?php echo 'version 3';");
  EXPECT_EQ(HttpGet(port, "/opcache-edit.php").body, "version 3");
  EXPECT_EQ(launcher.Stop(), 0);
}

// The developer's tree runs PHP with development settings, a branded distribution with Debian's
// production ones, which the kit carries beside them.
TEST_F(StackTest, ADistributionsPhpRunsWithProductionSettingsTheDevelopersWithDevelopmentOnes)
{
  WriteSitePage(install.Path("www/php-settings.php"),
                "<?php echo ini_get('display_errors'), '|', ini_get('zend.assertions'), '|', "
                "ini_get('mysqlnd.collect_memory_statistics'), '|', ini_get('opcache.revalidate_freq');");
  for (const bool brand : {false, true}) {
    std::string config = ConfigWithPort(FreePortRun(20080));
    if (brand)
      config.replace(config.find("brand=0"), 7, "brand=1");
    install.SetConfig(config);
    TLauncher launcher(install.Program());
    ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
    // PHP reads "Off" as an empty value.
    EXPECT_EQ(HttpGet(launcher.IntValue("apache_port"), "/php-settings.php").body,
              brand ? "|-1||2" : "1|1|1|0")
        << "brand=" << brand;
    EXPECT_EQ(launcher.Stop(), 0);
  }
}

TEST_F(StackTest, TheOptInTraceTimesEachStartUpStepAndIsSilentOtherwise)
{
  const std::string errors = install.Root() + ".trace";
  {
    TLauncher launcher(install.Program(), {{"CORVALA_TRACE", "1"}}, static_cast<uid_t>(-1), errors);
    ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
    EXPECT_EQ(launcher.Stop(), 0);
  }
  const std::vector<TTraceLine> trace = ReadTrace(errors);
  const std::vector<std::string> expected = {"process started",
                                             "libraries loaded",
                                             "single-instance check",
                                             "work folder",
                                             "leftover servers",
                                             "Config.ini, Brand.ini",
                                             "bin folder",
                                             "MySQL port probe",
                                             "my.ini",
                                             "MySQL process start",
                                             "php.ini",
                                             "Apache port probe",
                                             "httpd.conf",
                                             "Apache process start",
                                             "wait for Apache's worker"};
  std::vector<std::string> steps;
  for (const TTraceLine &line : trace)
    steps.push_back(line.step);
  EXPECT_EQ(steps, expected);
  // One process, one time line: every step ends after it starts, and starts after the one before.
  for (size_t i = 0; i < trace.size(); ++i) {
    EXPECT_EQ(trace[i].pid, trace[0].pid);
    EXPECT_LE(trace[i].start, trace[i].end) << trace[i].step;
    if (i > 0) {
      EXPECT_LE(trace[i - 1].end, trace[i].start) << trace[i].step;
    }
  }
  // The worker wait polls every 330 ms, so it is the one step that cannot be shorter.
  ASSERT_FALSE(trace.empty());
  EXPECT_GE(trace.back().end - trace.back().start, 330.0);

  {
    TLauncher launcher(install.Program(), {}, static_cast<uid_t>(-1), errors);
    ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
    EXPECT_EQ(launcher.Stop(), 0);
  }
  EXPECT_TRUE(ReadTrace(errors).empty());
  fs::remove(errors);
}

TEST_F(StackTest, ApacheRejectingItsConfigurationFailsTheStartWithItsReason)
{
  // A module Apache cannot load makes it reject the configuration and end at once.
  fs::remove(install.Path("bin/Apache/mod_dir.so"));
  std::ofstream(install.Path("bin/Apache/mod_dir.so")) << "not a module";
  TLauncher launcher(install.Program());
  EXPECT_FALSE(launcher.WaitReady());
  const std::string error = launcher.Value("error");
  EXPECT_EQ(error.rfind("Apache ended during its start:", 0), 0u) << error;
  EXPECT_NE(error.find("mod_dir.so"), std::string::npos) << error;
  EXPECT_EQ(launcher.Stop(), 2);
  EXPECT_TRUE(ProcessesBelow(install.Root()).empty());
}

TEST_F(StackTest, APortOfZeroIsNoPortAtAll)
{
  install.SetConfig(ConfigWithPort(0));
  TLauncher launcher(install.Program());
  EXPECT_FALSE(launcher.WaitReady());
  EXPECT_EQ(launcher.LastLine(), "error=No free port for Apache on 127.0.0.1 from 0 to 65535");
  EXPECT_EQ(launcher.Stop(), 2);
  EXPECT_TRUE(ProcessesBelow(install.Root()).empty());
}

// The exit clean-up once deleted the Aria log, and with it rows MySQL had acknowledged but not yet
// written into the tables; and every start then rewrote ("zerofilled") every Aria table. InnoDB's
// redo log holds what its tables had not written.
TEST_F(StackTest, MySqlKilledMidWriteLosesNoAcknowledgedRow)
{
  const std::string page = install.Path("www/rows.php");
  fs::copy_file(CORVALA_SOURCE_DIR "/tests/e2e/pages/rows.php", page);
  std::set<int> acknowledged;
  {
    TLauncher launcher(install.Program());
    ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
    const int port = launcher.IntValue("apache_port");
    std::mutex guard;
    std::atomic<bool> halt{false};
    std::thread writer([&] {
      for (int id = 1; !halt; ++id) {
        const THttpReply reply = HttpGet(port, "/rows.php?id=" + std::to_string(id));
        if (reply.status == 200 && reply.body == "committed " + std::to_string(id)) {
          const std::lock_guard<std::mutex> lock(guard);
          acknowledged.insert(id);
        }
      }
    });
    const bool written = WaitUntil(
        [&] {
          const std::lock_guard<std::mutex> lock(guard);
          return acknowledged.size() >= 300;
        },
        60s, "300 rows acknowledged");
    kill(launcher.IntValue("mysql_pid"), SIGKILL);
    halt = true;
    writer.join();
    ASSERT_TRUE(written) << "the page acknowledged " << acknowledged.size() << " rows";
    // A normal exit after the crash: the data folder keeps what the recovery needs.
    EXPECT_EQ(launcher.Stop(), 0);
  }
  EXPECT_TRUE(fs::exists(install.Path("data/aria_log_control")));
  EXPECT_TRUE(fs::exists(install.Path("data/ib_logfile0")));

  std::map<std::string, std::set<int>> rows;
  std::vector<std::string> checks;
  {
    TLauncher again(install.Program());
    ASSERT_TRUE(again.WaitReady()) << again.LastLine();
    std::istringstream lines(HttpGet(again.IntValue("apache_port"), "/rows.php?check=1").body);
    for (std::string kind, table, value; lines >> kind >> table && std::getline(lines >> std::ws, value);) {
      if (kind == "check")
        checks.push_back(table + " " + value);
      else if (kind == "row")
        rows[table].insert(std::stoi(value));
    }
    EXPECT_EQ(again.Stop(), 0);
  }
  EXPECT_EQ(checks, (std::vector<std::string>{"innodb_rows OK", "aria_rows OK", "myisam_rows OK"}));
  for (const char *table : {"innodb_rows", "aria_rows", "myisam_rows"})
    for (const int id : acknowledged)
      EXPECT_EQ(rows[table].count(id), 1u) << "row " << id << " lost from " << table;

  // After a clean stop the next start finds every Aria table as it left it.
  const std::string log = install.Root() + ".mysqld.log";
  {
    TLauncher clean(install.Program(), {}, static_cast<uid_t>(-1), log);
    ASSERT_TRUE(clean.WaitReady()) << clean.LastLine();
    EXPECT_EQ(HttpGet(clean.IntValue("apache_port"), "/rows.php").status, 200);
    EXPECT_EQ(clean.Stop(), 0);
  }
  const std::string logText = Shell("cat " + Quoted(log));
  EXPECT_EQ(logText.find("zerofill"), std::string::npos) << logText;
  EXPECT_NE(logText.find("ready for connections"), std::string::npos) << logText;
  std::remove(log.c_str());
}

// Servers stopped by a signal still run but answer nothing; the server watch says so while they stay
// stopped, takes them for no ended ones, and says nothing more once they go on.
TEST_F(StackTest, ServersStoppedByASignalAreToldUntilTheyGoOn)
{
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  const auto watched = [&](const std::string &stopped) {
    return WaitUntil(
        [&] { return launcher.Request("watch", "stopped") && launcher.Value("stopped") == stopped; }, 30s,
        "the watch to find \"" + stopped + "\" stopped");
  };
  EXPECT_TRUE(watched(""));
  const std::vector<pid_t> apache = ProcessesBelow(install.Path("bin/Apache"));
  ASSERT_GE(apache.size(), 2u);
  const auto signalAll = [&](int signal) {
    for (const pid_t pid : apache)
      kill(pid, signal);
  };
  signalAll(SIGSTOP);
  EXPECT_TRUE(watched("Apache"));
  kill(launcher.IntValue("mysql_pid"), SIGSTOP);
  EXPECT_TRUE(watched("Apache,MySQL"));
  EXPECT_EQ(launcher.Value("ended"), "");
  signalAll(SIGCONT);
  kill(launcher.IntValue("mysql_pid"), SIGCONT);
  EXPECT_TRUE(watched(""));
  EXPECT_EQ(launcher.Value("ended"), "");
  const THttpReply page = HttpGet(launcher.IntValue("apache_port"), "/index.php");
  EXPECT_NE(page.body.find("MySQL connected"), std::string::npos) << page.body;
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
  const std::string mountinfo = WriteCdMountInfo(install);
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
  // The launcher keeps running from the disc: its Qt runtime and libraries are not copied.
  EXPECT_FALSE(fs::exists(work + "/bin/qt"));
  EXPECT_FALSE(fs::exists(work + "/bin/lib/libQt6Core.so.6"));
  EXPECT_TRUE(fs::exists(work + "/bin/lib/libaprutil-1.so.0"));
  std::cout << "CD copy: bin " << Shell("du -sm " + Quoted(work + "/bin") + " | cut -f1") << "   data "
            << Shell("du -sm " + Quoted(work + "/data") + " | cut -f1");
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
  // The servers end with their launcher: Apache stops on SIGTERM, MySQL is killed.
  EXPECT_TRUE(
      WaitUntil([&] { return ProcessesBelow(install.Path("bin")).empty(); }, 5s, "the servers to end"));
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
    // mysqld refuses --user when not run as root.
    const std::string mysqlArguments =
        Shell("tr '\\0' ' ' < /proc/" + std::to_string(launcher.IntValue("mysql_pid")) + "/cmdline");
    EXPECT_EQ(mysqlArguments.find("--user"), std::string::npos) << mysqlArguments;
    const THttpReply page = HttpGet(launcher.IntValue("apache_port"), "/index.php");
    EXPECT_NE(page.body.find("MySQL connected"), std::string::npos) << page.body;
    const std::string work = launcher.Value("work");
    EXPECT_EQ(launcher.Stop(), 0);
    EXPECT_FALSE(fs::exists(work));
  }
  fs::remove_all(tmp);
}

TEST_F(StackTest, ServersLeftRunningByAnEarlierLauncherAreStoppedFirst)
{
  // A MySQL server of this installation that no launcher owns, as one that was killed leaves it.
  const std::string dataFolder = install.Path("data");
  const std::string leftover = "cd '" + install.Path("bin") +
                               "' && (setsid ./mysql/bin/mysqld --no-defaults --datadir='" + dataFolder +
                               "' --port=0 --skip-networking --skip-innodb --socket='" + install.Root() +
                               ".sock' --user=root --default-storage-engine=Aria >/dev/null 2>&1 &)";
  ASSERT_EQ(std::system(leftover.c_str()), 0);
  // Serving, as a server left behind is; MariaDB can hang on a SIGTERM while it still starts.
  ASSERT_TRUE(
      WaitUntil([&] { return MySqlServes(install.Root() + ".sock"); }, 60s, "the leftover MySQL to serve"));
  const std::vector<pid_t> before = ProcessesBelow(install.Path("bin"));
  ASSERT_EQ(before.size(), 1u);

  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  const std::vector<pid_t> now = ProcessesBelow(install.Path("bin"));
  EXPECT_EQ(std::find(now.begin(), now.end(), before[0]), now.end());
  const THttpReply page = HttpGet(launcher.IntValue("apache_port"), "/index.php");
  EXPECT_NE(page.body.find("MySQL connected"), std::string::npos) << page.body;
  EXPECT_EQ(launcher.Stop(), 0);
  std::remove((install.Root() + ".sock").c_str());
}
