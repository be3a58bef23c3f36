#include "E2eSupport.h"
#include "XDriver.h"
#include "digest/Md5.h"
#include "files/PrivateFolder.h"
#include "stack/DataFolderFiles.h"
#include "stack/host/WorkFolder.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

// Waits for a window showing the status page (WriteStatusPage) with MySQL connected.
::testing::AssertionResult ShowsTheSite()
{
  return WaitUntil([] { return !WindowNamed("^E2E MySQL connected on port").empty(); }, 90s,
                   "a window showing the site");
}

} // namespace

TEST(Launcher, ShowsTheLocalSiteRunsOnceAndShutsDownOnSigterm)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  WriteStatusPage(install);
  const std::string work = Host::WorkFolderPathFor(install.Program());

  // The first start hands over to a copy of itself and ends.
  EXPECT_EQ(StartAsUser(install.Program()), 0);
  ASSERT_TRUE(ShowsTheSite());
  // The splash process is gone once the first page is complete.
  EXPECT_TRUE(
      WaitUntil([&] { return InstancesOf(install.Program(), "splash").empty(); }, 10s, "the splash to end"));
  SaveScreenshot(CORVALA_SCREENSHOTS, "main-window.png");

  // A second start from the same path ends by itself once its instance has found the first one,
  // which keeps running.
  const std::vector<pid_t> instances = InstancesOf(install.Program());
  ASSERT_EQ(instances.size(), 1u);
  const std::string secondTrace = install.Root() + ".second-trace";
  EXPECT_EQ(StartAsUser(install.Program(), {{"CORVALA_TRACE", "1"}}, secondTrace), 0);
  pid_t second = 0;
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (const TTraceLine &line : ReadTrace(secondTrace))
          if (line.step == "single-instance check")
            second = line.pid;
        return second != 0 && !Running(second);
      },
      30s, "the second start's instance to check for the first and end"));
  fs::remove(secondTrace);
  EXPECT_EQ(InstancesOf(install.Program()), instances);

  // SIGTERM is the full shutdown: servers stopped, work folder deleted.
  kill(instances[0], SIGTERM);
  EXPECT_TRUE(WaitUntil([&] { return InstancesOf(install.Program()).empty(); }, 30s, "the launcher to end"));
  EXPECT_TRUE(WaitUntil([&] { return ProcessesBelow(install.Root()).empty(); }, 5s, "the servers to end"));
  EXPECT_FALSE(fs::exists(work));
  // The databases stay, and so does the server's own state (its logs and InnoDB's tablespaces).
  for (const auto &entry : fs::directory_iterator(install.Path("data"))) {
    const std::string name = entry.path().filename();
    EXPECT_TRUE(entry.is_directory() || Corvala::IsServerStateFile(name)) << entry.path();
  }
}

// The trace of one start runs across the relaunch and the splash on the first process's clock.
TEST(Launcher, TheTraceFollowsOneStartFromTheFirstProcessToTheFirstPage)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  const std::string errors = install.Root() + ".trace";
  const auto stepOf = [](const std::vector<TTraceLine> &trace, pid_t pid, const std::string &step) {
    const auto found = std::find_if(trace.begin(), trace.end(), [&](const TTraceLine &line) {
      return (pid == 0 || line.pid == pid) && line.step == step;
    });
    return found == trace.end() ? std::optional<TTraceLine>() : std::optional<TTraceLine>(*found);
  };

  EXPECT_EQ(StartAsUser(install.Program(), {{"CORVALA_TRACE", "1"}}, errors), 0);
  ASSERT_TRUE(WaitUntil(
      [&] { return stepOf(ReadTrace(errors), 0, "first page complete, splash closed").has_value(); }, 90s,
      "the trace of the first page"));
  const std::vector<TTraceLine> trace = ReadTrace(errors);
  const auto relaunch = stepOf(trace, 0, "relaunch");
  const auto servers = stepOf(trace, 0, "servers started");
  ASSERT_TRUE(relaunch && servers);
  const pid_t first = relaunch->pid;
  const pid_t instance = servers->pid;
  EXPECT_NE(first, instance);
  // The kernel knows a process's start to its clock tick; every other time is exact.
  const double tick = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
  EXPECT_LT(stepOf(trace, first, "process started")->start, tick);
  EXPECT_GE(stepOf(trace, instance, "process started")->start, relaunch->start - tick);
  // The instance's steps in the order of the start-up, each after the one before: the window and
  // the browser engine come up while Apache starts its worker.
  const std::vector<std::string> order = {"process started",
                                          "single-instance check",
                                          "splash start",
                                          "php.ini",
                                          "servers started",
                                          "application",
                                          "main window and browser engine",
                                          "title and branding",
                                          "wait for Apache's worker",
                                          "favorites, pause, first navigation",
                                          "window shown",
                                          "first page complete, splash closed"};
  double before = 0;
  for (const std::string &step : order) {
    const auto line = stepOf(trace, instance, step);
    ASSERT_TRUE(line) << step;
    EXPECT_LE(line->start, line->end) << step;
    EXPECT_GE(line->end, before) << step;
    before = line->end;
  }
  // The splash continues the same time line: it starts after the launcher started it.
  const auto splash = std::find_if(trace.begin(), trace.end(), [&](const TTraceLine &line) {
    return line.pid != first && line.pid != instance && line.step == "process started";
  });
  ASSERT_NE(splash, trace.end());
  EXPECT_GE(splash->start, stepOf(trace, instance, "splash start")->start - tick);

  const std::vector<pid_t> instances = InstancesOf(install.Program());
  ASSERT_EQ(instances.size(), 1u);
  kill(instances[0], SIGTERM);
  EXPECT_TRUE(WaitUntil([&] { return ProcessesBelow(install.Root()).empty(); }, 30s, "the stack to end"));
  fs::remove(errors);
}

TEST(Launcher, WithAnExternalBrowserTheStackRunsUntilThatBrowserEnds)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  // The "browser" runs for a few seconds and ends, as when its user closes it.
  fs::copy_file("/bin/sleep", install.Path("bin/browser"));
  std::ofstream(install.Path("bin/Browser.ini"))
      << "[Browser]\r\nBrowserPath={BIN}/browser\r\nParameters=8\r\n";
  const std::string work = Host::WorkFolderPathFor(install.Program());

  EXPECT_EQ(StartAsUser(install.Program()), 0);
  ASSERT_TRUE(WaitUntil(
      [&] {
        return !ProcessesBelow(install.Path("bin/browser")).empty() ||
               !InstancesOf(install.Path("bin/browser"), "8").empty();
      },
      60s, "the external browser to run"));
  EXPECT_FALSE(ProcessesBelow(install.Path("bin/mysql")).empty());
  // The launcher shows no window of its own.
  const std::vector<pid_t> launchers = InstancesOf(install.Program());
  ASSERT_EQ(launchers.size(), 1u);
  EXPECT_EQ(Shell("xdotool search --onlyvisible --pid " + std::to_string(launchers[0]) + " 2>/dev/null"), "");
  // Once the browser has ended, the launcher stops the stack and ends.
  EXPECT_TRUE(WaitUntil([&] { return InstancesOf(install.Program()).empty(); }, 40s, "the launcher to end"));
  EXPECT_TRUE(WaitUntil([&] { return ProcessesBelow(install.Root()).empty(); }, 5s, "the servers to end"));
  EXPECT_FALSE(fs::exists(work));
}

namespace
{

// An installation of the real launcher on the display, and what a test needs to end it and check
// that every phase ends with the full shutdown.
class LauncherPhases : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (std::getenv("DISPLAY") == nullptr)
      GTEST_SKIP() << "needs a display (the test command provides one)";
  }

  // A browser stand-in outlives a launcher that was told to stop; it is not part of the stack.
  void TearDown() override { Shell("pkill -KILL -f " + Quoted("^" + install.Path("bin/browser-real"))); }

  // Starts the launcher as a user would; gives the marked instance once it runs.
  pid_t Start()
  {
    EXPECT_EQ(StartAsUser(install.Program()), 0);
    pid_t launcher = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
          const std::vector<pid_t> found = InstancesOf(install.Program());
          launcher = found.empty() ? 0 : found[0];
          return launcher != 0;
        },
        30s, "the launcher's marked instance"));
    return launcher;
  }

  // The launcher ended, and nothing of the installation runs: splash, servers, browser stand-ins.
  void ExpectAllEnded()
  {
    EXPECT_TRUE(
        WaitUntil([&] { return InstancesOf(install.Program()).empty(); }, 25s, "the launcher to end"));
    EXPECT_TRUE(
        WaitUntil([&] { return InstancesOf(install.Program(), "splash").empty(); }, 5s, "the splash to end"));
    EXPECT_TRUE(
        WaitUntil([&] { return ProcessesBelow(install.Path("bin/mysql")).empty(); }, 5s, "mysqld to end"));
    EXPECT_TRUE(
        WaitUntil([&] { return ProcessesBelow(install.Path("bin/Apache")).empty(); }, 5s, "Apache to end"));
    EXPECT_FALSE(fs::exists(Host::WorkFolderPathFor(install.Program())));
  }

  // Apache replaced by a stand-in that never starts a worker, so the start waits for it.
  void HoldTheStartAtApache()
  {
    const std::string apache = install.Path("bin/Apache/Apache");
    fs::remove(apache);
    std::ofstream(apache) << "#!/bin/sh\ntouch \"$0.started\"\nexec sleep 600\n";
    fs::permissions(apache, fs::perms::owner_all);
  }

  // Whether the browser stand-in "bin/browser-real" runs.
  bool BrowserRuns() const
  {
    for (const pid_t pid : ProcessesBelow(install.Path("bin"))) {
      std::error_code error;
      if (fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error) ==
          install.Path("bin/browser-real"))
        return true;
    }
    return false;
  }

  // A browser program in the bin folder, named in Browser.ini.
  void UseBrowser(const std::string &script, const std::string &parameters)
  {
    std::ofstream(install.Path("bin/browser")) << script;
    fs::permissions(install.Path("bin/browser"), fs::perms::owner_all);
    std::ofstream(install.Path("bin/Browser.ini"))
        << "[Browser]\r\nBrowserPath={BIN}/browser\r\nParameters=" << parameters << "\r\n";
  }

  TInstall install{CORVALA_LAUNCHER};
};

} // namespace

TEST_F(LauncherPhases, ASignalDuringTheStartStopsEverythingItStarted)
{
  HoldTheStartAtApache();
  const pid_t launcher = Start();
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(install.Path("bin/Apache/Apache.started")); }, 60s,
                        "the start to reach Apache"));
  EXPECT_FALSE(InstancesOf(install.Program(), "splash").empty());
  EXPECT_FALSE(ProcessesBelow(install.Path("bin/mysql")).empty());
  kill(launcher, SIGTERM);
  ExpectAllEnded();
}

TEST_F(LauncherPhases, TheSplashAndTheServersDieWithAKilledLauncher)
{
  HoldTheStartAtApache();
  const pid_t launcher = Start();
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(install.Path("bin/Apache/Apache.started")); }, 60s,
                        "the start to reach Apache"));
  ASSERT_FALSE(InstancesOf(install.Program(), "splash").empty());
  // The SIGTERM a dying launcher leaves its servers stops MariaDB only once it serves: one that
  // arrives while it still starts (its socket already open) makes it hang for good, and only the
  // next start's clean-up of leftover servers ends it.
  const std::string socket = Host::WorkFolderPathFor(install.Program()) + "/mysql.sock";
  ASSERT_TRUE(WaitUntil([&] { return MySqlServes(socket); }, 60s, "MySQL to serve"));
  kill(launcher, SIGKILL);
  EXPECT_TRUE(
      WaitUntil([&] { return InstancesOf(install.Program(), "splash").empty(); }, 10s, "the splash to end"));
  EXPECT_TRUE(
      WaitUntil([&] { return ProcessesBelow(install.Path("bin/mysql")).empty(); }, 20s, "mysqld to end"));
}

// The error box of a failed start is the distribution's own; it stands alone, with nothing of the
// stack running, and a signal while it shows ends the launcher.
TEST_F(LauncherPhases, ASignalAfterAFailedStartStopsEverything)
{
  install.SetConfig("[INI]\r\ntitle=Brandy Stack\r\nport=abc\r\nip=127.0.0.1\r\nbrand=1\r\n");
  const pid_t launcher = Start();
  ASSERT_TRUE(WaitUntil([&] { return !WindowNamed("^Brandy Stack$").empty(); }, 60s, "the error box"));
  SaveScreenshot(CORVALA_SCREENSHOTS, "failed-start.png");
  EXPECT_TRUE(ProcessesBelow(install.Path("bin/mysql")).empty());
  EXPECT_TRUE(ProcessesBelow(install.Path("bin/Apache")).empty());
  EXPECT_TRUE(InstancesOf(install.Program(), "splash").empty());
  kill(launcher, SIGHUP);
  ExpectAllEnded();
}

TEST_F(LauncherPhases, ASignalWhileAnExternalBrowserRunsStopsEverything)
{
  fs::copy_file("/bin/sleep", install.Path("bin/browser-real"));
  UseBrowser("#!/bin/sh\nexec \"$(dirname \"$0\")/browser-real\" \"$@\"\n", "600");
  const pid_t launcher = Start();
  ASSERT_TRUE(WaitUntil([&] { return BrowserRuns(); }, 60s, "the browser stand-in to run"));
  kill(launcher, SIGINT);
  ExpectAllEnded();
}

// Debian's /usr/bin/chromium and xdg-open are scripts: what they start outlives them.
TEST_F(LauncherPhases, ABrowserStartedThroughAWrapperKeepsTheStackUntilItEnds)
{
  fs::copy_file("/bin/sleep", install.Path("bin/browser-real"));
  UseBrowser("#!/bin/sh\n\"$(dirname \"$0\")/browser-real\" \"$@\" &\nexit 0\n", "12");
  Start();
  ASSERT_TRUE(WaitUntil([&] { return BrowserRuns(); }, 60s, "the browser stand-in to run"));
  // The launcher ends only after the browser has: never while it still shows the site.
  bool browserRanAtTheEnd = false;
  EXPECT_TRUE(WaitUntil(
      [&] {
        const bool browserRuns = BrowserRuns();
        if (!InstancesOf(install.Program()).empty())
          return false;
        browserRanAtTheEnd = browserRuns;
        return true;
      },
      60s, "the launcher to end"));
  EXPECT_FALSE(browserRanAtTheEnd) << "the stack stopped while the browser still ran";
  ExpectAllEnded();
}

// A browser that hands the page to an instance already running ends at once; the stack stays for
// that instance, with a tray icon to exit by.
TEST_F(LauncherPhases, ABrowserThatHandsOverLeavesTheStackRunningWithATrayIcon)
{
  UseBrowser("#!/bin/sh\nexit 0\n", "{url}");
  const pid_t launcher = Start();
  ASSERT_TRUE(
      WaitUntil([&] { return !TrayIconWindowOf(launcher).empty(); }, 60s, "the launcher's tray icon"));
  EXPECT_FALSE(ProcessesBelow(install.Path("bin/mysql")).empty());
  EXPECT_FALSE(ProcessesBelow(install.Path("bin/Apache")).empty());
  kill(launcher, SIGTERM);
  ExpectAllEnded();
}

namespace
{

// The parent of a process, from /proc (0 when it has ended).
pid_t ParentOf(pid_t pid)
{
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const size_t close = stat.rfind(')');
  return close == std::string::npos ? 0 : std::atoi(stat.c_str() + close + 4);
}

// Children of the process that have ended and were not reaped, named as the launcher's program.
std::vector<pid_t> ZombieLaunchersOf(pid_t parent)
{
  std::vector<pid_t> zombies;
  for (const auto &entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    std::ifstream file(entry.path() / "stat");
    const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    if (close != std::string::npos && stat.find("(corvala)") != std::string::npos && stat[close + 2] == 'Z' &&
        std::atoi(stat.c_str() + close + 4) == parent)
      zombies.push_back(std::stoi(name));
  }
  return zombies;
}

} // namespace

// Each way a start can fail says what failed and why, in the one box (and on standard error), over
// nothing: no splash, no server; after OK the launcher ends.
TEST_F(LauncherPhases, AFailedStartSaysWhyOverNothingRunningAndEndsAfterTheBox)
{
  struct Shape {
    std::string name;
    std::function<void()> make;
    std::string message;
    std::function<void()> undo;
  };
  const std::string config =
      "[INI]\r\ntitle=Corvala\r\nport=" + std::to_string(FreePort()) + "\r\nip=127.0.0.1\r\n";
  const std::vector<Shape> shapes = {
      {"a garbage Config.ini", [&] { install.SetConfig("garbage\r\n"); },
       "Config.ini, key \"port\": '' is not a valid integer value", [&] { install.SetConfig(config); }},
      {"a missing www", [&] { fs::rename(install.Path("www"), install.Path("www.away")); },
       "DocumentRoot '" + install.Path("www") + "' is not a directory",
       [&] { fs::rename(install.Path("www.away"), install.Path("www")); }},
      {"a missing data", [&] { fs::rename(install.Path("data"), install.Path("data.away")); },
       "Can't change dir to '" + install.Path("data") + "/'",
       [&] { fs::rename(install.Path("data.away"), install.Path("data")); }},
      {"a browser that cannot run",
       [&] {
         std::ofstream(install.Path("bin/browser")) << "not a program\n";
         fs::permissions(install.Path("bin/browser"), fs::perms::owner_read | fs::perms::owner_write);
         std::ofstream(install.Path("bin/Browser.ini")) << "[Browser]\r\nBrowserPath={bin}/browser\r\n";
       },
       "The browser \"" + install.Path("bin/browser") + "\" named in " + install.Path("bin/Browser.ini") +
           " could not be started: Permission denied",
       [&] { fs::remove(install.Path("bin/Browser.ini")); }},
  };
  install.SetConfig(config);
  const std::string errors = install.Root() + ".errors";
  for (const Shape &shape : shapes) {
    SCOPED_TRACE(shape.name);
    shape.make();
    fs::remove(errors);
    EXPECT_EQ(StartAsUser(install.Program(), {}, errors), 0);
    pid_t launcher = 0;
    std::vector<std::string> windows;
    ASSERT_TRUE(WaitUntil(
        [&] {
          const std::vector<pid_t> found = InstancesOf(install.Program());
          launcher = found.empty() ? 0 : found[0];
          windows = launcher == 0 ? std::vector<std::string>() : VisibleWindowsOf(launcher);
          return !windows.empty();
        },
        90s, "the error box"));
    const std::string said = Shell("cat " + Quoted(errors));
    EXPECT_NE(said.find(shape.message), std::string::npos) << said;
    if (&shape == &shapes[1])
      SaveScreenshot(CORVALA_SCREENSHOTS, "failed-start-apache-reason.png");
    EXPECT_TRUE(InstancesOf(install.Program(), "splash").empty());
    EXPECT_TRUE(ProcessesBelow(install.Path("bin/mysql")).empty());
    EXPECT_TRUE(ProcessesBelow(install.Path("bin/Apache")).empty());
    // OK ends the launcher.
    ActivateWindow(windows[0]);
    PressKeys("Return");
    ExpectAllEnded();
    shape.undo();
  }
  fs::remove(errors);
}

// A server that ends while the site is served is noticed: the launcher says so and offers to
// restart the servers. Apache's workers outlive a parent that was killed, serving; they go at once.
TEST_F(LauncherPhases, ApachesDeathIsReportedAndTheServersStartAgain)
{
  WriteStatusPage(install);
  const pid_t launcher = Start();
  std::string title;
  ASSERT_TRUE(WaitUntil(
      [&] {
        title = WindowNamed("^E2E MySQL connected on port", launcher);
        return !title.empty();
      },
      90s, "a window showing the site"));
  const int sitePort = std::atoi(title.substr(title.rfind("site port ") + 10).c_str());
  ASSERT_GT(sitePort, 0) << title;
  // The splash ended with the first page and left no zombie for the session.
  EXPECT_TRUE(
      WaitUntil([&] { return InstancesOf(install.Program(), "splash").empty(); }, 10s, "the splash to end"));
  EXPECT_TRUE(WaitUntil([&] { return ZombieLaunchersOf(launcher).empty(); }, 10s, "the splash to be reaped"));

  pid_t apache = 0;
  for (const pid_t pid : ProcessesBelow(install.Path("bin/Apache")))
    if (ParentOf(pid) == launcher)
      apache = pid;
  ASSERT_NE(apache, 0);
  kill(apache, SIGKILL);
  std::string box;
  ASSERT_TRUE(WaitUntil(
      [&] {
        box = WindowNamed("^Warning$", launcher);
        return !box.empty();
      },
      30s, "the launcher's box"));
  EXPECT_TRUE(ProcessesBelow(install.Path("bin/Apache")).empty()) << "Apache's orphaned workers still run";
  SaveScreenshot(CORVALA_SCREENSHOTS, "apache-stopped.png");

  // Yes, the default answer, starts the servers again on the same port.
  const std::string boxWindow = VisibleWindowNamed("^Warning$");
  ASSERT_FALSE(boxWindow.empty());
  ActivateWindow(boxWindow);
  PressKeys("Return");
  EXPECT_TRUE(WaitUntil(
      [&] { return HttpGet(sitePort, "/index.php").body.find("MySQL connected") != std::string::npos; }, 60s,
      "the restarted servers to serve the site"));
  EXPECT_FALSE(ProcessesBelow(install.Path("bin/Apache")).empty());
  kill(launcher, SIGTERM);
  ExpectAllEnded();
}

// No to the offer leaves the launcher serving what still runs, until the user ends it.
TEST_F(LauncherPhases, MySqlsDeathIsReportedAndNoKeepsTheLauncherRunning)
{
  WriteStatusPage(install);
  const pid_t launcher = Start();
  ASSERT_TRUE(WaitUntil([&] { return !WindowNamed("^E2E MySQL connected on port", launcher).empty(); }, 90s,
                        "a window showing the site"));
  const std::vector<pid_t> mysqld = ProcessesBelow(install.Path("bin/mysql"));
  ASSERT_EQ(mysqld.size(), 1u);
  kill(mysqld[0], SIGKILL);
  ASSERT_TRUE(
      WaitUntil([&] { return !WindowNamed("^Warning$", launcher).empty(); }, 30s, "the launcher's box"));
  const std::string box = VisibleWindowNamed("^Warning$");
  ASSERT_FALSE(box.empty());
  ActivateWindow(box);
  PressKeys("Escape");
  EXPECT_TRUE(WaitUntil([&] { return WindowNamed("^Warning$", launcher).empty(); }, 10s, "the box to go"));
  EXPECT_FALSE(InstancesOf(install.Program()).empty());
  EXPECT_FALSE(ProcessesBelow(install.Path("bin/Apache")).empty());
  EXPECT_TRUE(ProcessesBelow(install.Path("bin/mysql")).empty()) << "the servers were started again";
  kill(launcher, SIGTERM);
  ExpectAllEnded();
}

// A tree may sit in any folder a file system allows, double quotes included.
TEST(Launcher, StartsFromAFolderWhoseNameHoldsADoubleQuote)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  std::string parent = (fs::temp_directory_path() / "corvala \"quoted\" XXXXXX").string();
  ASSERT_NE(mkdtemp(parent.data()), nullptr);
  fs::permissions(parent, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  {
    TInstall install(CORVALA_LAUNCHER, parent);
    WriteStatusPage(install);
    EXPECT_EQ(StartAsUser(install.Program()), 0);
    EXPECT_TRUE(ShowsTheSite());
    StopLauncher(install);
  }
  fs::remove_all(parent);
}

// When the first process cannot start the launcher instance (here: no process may be added for
// the user), it says so and ends with a failure status instead of ending quietly.
TEST(Launcher, AFailedRelaunchIsReportedWithAFailureStatus)
{
  TInstall install(CORVALA_LAUNCHER);
  const std::string errors = install.Root() + ".errors";
  const std::string limited =
      "exec prlimit --nproc=0:0 " + Quoted(install.Program()) + " 2>" + Quoted(errors);
  // Root may always add processes: the limit is tried on the account nobody, which reaches the
  // installation's public files.
  const std::string command = geteuid() == 0 ? "runuser -u nobody -- env -u DISPLAY sh -c " + Quoted(limited)
                                             : "env -u DISPLAY sh -c " + Quoted(limited);
  std::ofstream(errors).close();
  chmod(errors.c_str(), 0666);
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string said = TestSupport::ReadBytes(errors);
  EXPECT_NE(said.find("could not be started again as the launcher: Resource temporarily unavailable"),
            std::string::npos)
      << said;
  EXPECT_TRUE(InstancesOf(install.Program()).empty());
  fs::remove(errors);
}

// What the launcher keeps of an installation lives in its profile folder, and what it holds while
// it runs goes with it: the engine's files are inside the profile, the single-instance lock is gone.
TEST(Launcher, KeepsTheEnginesFilesInTheProfileAndLeavesNoLockBehind)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  WriteStatusPage(install);
  const std::string data = install.Root() + ".data";
  fs::create_directory(data);
  const std::string lock = Files::GetPrivateFolder() + "/" + Digest::Md5Hex(install.Program()) + ".lock";
  EXPECT_EQ(StartAsUser(install.Program(), {{"XDG_DATA_HOME", data}}), 0);
  ASSERT_TRUE(ShowsTheSite());
  EXPECT_TRUE(fs::exists(lock));
  StopLauncher(install);
  EXPECT_FALSE(fs::exists(lock));
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(data))
    names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"corvala"});
  EXPECT_TRUE(fs::exists(data + "/corvala/profiles/" + Digest::Md5Hex(install.Program()) + "/storage"));
  fs::remove_all(data);
}

// Without a home the browser forgets its profile at the end; the window says so, not only a line
// nobody reads on standard error.
TEST(Launcher, WithoutAHomeTheSiteStillShowsAndTheWindowSaysWhatIsLost)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  WriteStatusPage(install);
  const std::string errors = install.Root() + ".errors";
  EXPECT_EQ(StartAsUser(install.Program(), {{"HOME", ""}, {"XDG_DATA_HOME", ""}}, errors), 0);
  ASSERT_TRUE(ShowsTheSite());
  SaveScreenshot(CORVALA_SCREENSHOTS, "notice-without-home.png");
  const std::string said = TestSupport::ReadBytes(errors);
  EXPECT_NE(said.find("The browser profile has no place"), std::string::npos) << said;
  StopLauncher(install);
  fs::remove(errors);
}
