#include "stack/ServerStack.h"

#include "base/StartupTrace.h"
#include "config/BrandDefaults.h"
#include "config/BrowserIni.h"
#include "config/ConfigFile.h"
#include "digest/Md5.h"
#include "files/FileTree.h"
#include "files/Paths.h"
#include "process/Process.h"
#include "process/ProcessList.h"
#include "stack/ApacheConfig.h"
#include "stack/BinFolder.h"
#include "stack/DataFolderFiles.h"
#include "stack/MySqlConfig.h"
#include "stack/PhpConfig.h"
#include "stack/PrivateFiles.h"
#include "stack/PrivateMode.h"
#include "stack/ServerCommandLines.h"
#include "stack/ServerEnvironment.h"
#include "stack/ServerOutput.h"
#include "stack/ServerStop.h"
#include "stack/host/CdRom.h"
#include "stack/host/Ports.h"
#include "stack/host/SingleInstance.h"
#include "stack/host/WorkFolder.h"

#include <algorithm>
#include <csignal>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Base;
using namespace Files;
using namespace Process;
using namespace Digest;
using namespace Host;

namespace Corvala
{

namespace
{
constexpr auto ApachePollInterval = std::chrono::milliseconds(330);
constexpr char ProductName[] = "Corvala";
constexpr int DeleteRetryRounds = 2000;
// How often one start moves its servers off ports that others took; each move goes up by one port.
constexpr int MaxPortMoves = 20;

// How long one look waits for MySQL's greeting.
constexpr auto GreetingWait = std::chrono::milliseconds(50);

[[noreturn]] void CannotStart(const std::string &program)
{
  throw std::runtime_error("\"" + program + "\" could not be started: " + LastStartError());
}

// The started process still runs from its executable (its id, once reaped, may be another's).
bool StillRuns(TProcessId id, const std::string &exePath)
{
  if (id == 0 || !ProcessExists(id))
    return false;
  const TCardinalArray ids = FindProcessesByPath(exePath);
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// True when the server ended during its start and its port is taken now: another program bound it
// between the probe and the server's own bind.
bool EndedOnATakenPort(TProcessId id, int port, bool localOnly)
{
  return id != 0 && !ProcessExists(id) && IsPortInUse(port, localOnly);
}
} // namespace

TServerStack::TServerStack(Options options) : Opts(std::move(options))
{
  state.AppName = ProductName;
}

TServerStack::~TServerStack()
{
  Stop();
}

void TServerStack::Pump() const
{
  if (Opts.ProcessEvents)
    Opts.ProcessEvents();
}

void TServerStack::CheckStop() const
{
  if (Opts.StopRequested && Opts.StopRequested())
    throw TStartStopped();
}

std::string TServerStack::ReadConfigValue(const std::string &key) const
{
  return TConfigFile(state.ConfigFile).Read(key);
}

TStackSetup TServerStack::Setup() const
{
  TStackSetup setup;
  setup.appPath = AppPath;
  setup.binFolder = state.BinFolder;
  setup.workFolder = state.WorkFolder;
  setup.ip = ReadConfigValue("ip");
  setup.apachePort = state.ApachePort;
  setup.mySqlPort = state.MySqlPort;
  setup.isCdRom = state.IsCdRom;
  setup.copyFilesToHardDisk = IsFlagOn(ReadConfigValue("copyfilestoharddisk"));
  setup.runningAsRoot = geteuid() == 0;
  setup.innoDb = IsFlagOn(ReadConfigValue("innodb"));
  setup.privateMode = state.PrivateMode;
  setup.mySqlRootPassword = MySqlRootPassword;
  setup.siteKey = state.SiteKey;
  return setup;
}

TServerStack::TStartResult TServerStack::Start()
{
  const TStartResult result = Prepare();
  if (result == TStartResult::Started) {
    StartServers();
    WaitForApache();
  }
  return result;
}

TServerStack::TStartResult TServerStack::Prepare()
{
  ProgramPath = GetProgramPath();
  AppPath = AppPathOf(ProgramPath);
  {
    const TTraceStep step("single-instance check");
    if (!IsFirstInstance(Md5Hex(ProgramPath)))
      return TStartResult::AlreadyRunning;
  }

  {
    const TTraceStep step("work folder");
    state.WorkFolder = GetTempWorkFolder();
    CheckWorkFolderWritable(state.WorkFolder);
    ShareWorkFolderWithWorkers(state.WorkFolder, geteuid() == 0);
    state.IsCdRom = IsCdRomDrive();
  }
  {
    const TTraceStep step("leftover servers");
    StopLeftoverServers();
  }

  const TTraceStep step("Config.ini, Brand.ini");
  if (Opts.SetEnvironment)
    SetServerEnvironment(ProgramPath);
  state.ConfigFile = PrepareConfigFile(state.WorkFolder);
  state.BrandFile = WriteBrandDefaults(state.WorkFolder);
  state.AppName = ReadConfigValue("title");
  return TStartResult::Started;
}

void TServerStack::StartServers()
{
  CheckStop();
  // A wrong value stops the start before anything runs.
  const TConfigFile config(state.ConfigFile);
  const int apachePort = config.ReadInteger("port");
  ApacheLocalOnly = config.ReadListenAddress("ip") == LoopbackAddress;
  ReadPrivateMode();
  if (Opts.StartSplash) {
    const TTraceStep step("splash start");
    state.SplashProcessId =
        StartProcess(ProgramPath, "splash \"" + state.ConfigFile + "\"", TShowCommand::Normal, "",
                     StartOptions{.parentDeathSignal = SIGTERM});
  }
  StartServerProcesses(apachePort);
}

void TServerStack::StartServerProcesses(int apachePort)
{
  {
    const TTraceStep step("bin folder");
    state.BinFolder = PrepareBinFolder(AppPath, state.WorkFolder, state.IsCdRom);
  }
  state.MySqlExePath = Corvala::MySqlExePath(state.BinFolder);
  state.ApacheExePath = Corvala::ApacheExePath(state.BinFolder);
  CheckStop();
  if (FileExists(state.MySqlExePath))
    StartMySqlProcess(3306);
  WritePhpIni();
  CheckStop();
  StartApache(apachePort);
}

// The private mode's secrets: a key per start for the site, MySQL's root password per installation.
// Once the mode is off again, the next start gives root over TCP back its empty password, once.
void TServerStack::ReadPrivateMode()
{
  state.PrivateMode = IsPrivateModeOn(ReadConfigValue(PrivateModeKey));
  state.MySqlRootPasswordFile = MySqlRootPasswordPath(ProgramPath);
  if (state.PrivateMode) {
    if (state.SiteKey.empty())
      state.SiteKey = NewRandomKey();
    MySqlRootPassword = ReadOrCreateMySqlRootPassword(state.MySqlRootPasswordFile);
  } else if (FileExists(state.MySqlRootPasswordFile)) {
    MySqlRootPassword = "";
  }
}

void TServerStack::WritePhpIni() const
{
  const TTraceStep step("php.ini");
  WritePhpConfig(Setup());
}

void TServerStack::WaitForApache()
{
  {
    const TTraceStep step("wait for Apache's worker");
    WaitForServers();
  }
  ReadBrowserSettings();
}

void TServerStack::EndSplash()
{
  if (state.SplashProcessId != 0)
    EndStartedChild(state.SplashProcessId);
  state.SplashProcessId = 0;
}

std::vector<std::string> TServerStack::TakeEndedServers()
{
  std::vector<std::string> ended;
  if (state.ApacheProcessId != 0 && !StillRuns(state.ApacheProcessId, state.ApacheExePath)) {
    state.ApacheProcessId = 0;
    StopStartedServers({{0, state.ApacheExePath, 0}}, Opts.StopGrace, Opts.ProcessEvents);
    ended.emplace_back("Apache");
  }
  if (state.MySqlProcessId != 0 && !StillRuns(state.MySqlProcessId, state.MySqlExePath)) {
    state.MySqlProcessId = 0;
    MySqlEndedUnasked = true;
    ended.emplace_back("MySQL");
  }
  return ended;
}

void TServerStack::RestartServers()
{
  StopServers();
  StartServerProcesses(state.ApachePort);
  WaitForApache();
  MySqlEndedUnasked = false;
}

void TServerStack::PauseMySql()
{
  if (state.MySqlProcessId == 0 || MySqlPaused)
    return;
  const TServerProcess mysql{state.MySqlProcessId, state.MySqlExePath, state.MySqlPort};
  // Forgotten first: the server watch must not take this stop for an end of its own.
  state.MySqlProcessId = 0;
  MySqlPaused = true;
  if (!StopStartedServers({mysql}, Opts.StopGrace, Opts.ProcessEvents)[0]) {
    MySqlEndedUnasked = true;
    ResumeMySql();
    throw std::runtime_error("MySQL did not stop cleanly, so its data could not be copied");
  }
}

void TServerStack::ResumeMySql()
{
  if (!MySqlPaused)
    return;
  MySqlPaused = false;
  const int port = state.MySqlPort;
  StartMySqlProcess(port);
  // PHP learns MySQL's port from php.ini, which Apache reads only when it starts.
  if (state.MySqlPort != port) {
    RestartServers();
    return;
  }
  const auto limit = std::chrono::steady_clock::now() + Opts.MySqlWaitLimit;
  while (!ServerGreets(state.MySqlPort, GreetingWait)) {
    Pump();
    if (!ProcessExists(state.MySqlProcessId)) {
      state.MySqlProcessId = 0;
      throw std::runtime_error("MySQL ended during its start" +
                               LastWordsOf({ServerOutputPath(state.WorkFolder, "mysql")}));
    }
    if (std::chrono::steady_clock::now() >= limit)
      throw std::runtime_error("MySQL did not answer within " +
                               std::to_string(Opts.MySqlWaitLimit.count() / 1000) + " seconds" +
                               LastWordsOf({ServerOutputPath(state.WorkFolder, "mysql")}));
  }
}

// A launcher that was killed leaves its servers behind (they also get SIGTERM when it dies, but
// may still be shutting down). Two mysqld on one data folder must never run, so those of this
// installation are stopped before anything is written or started.
void TServerStack::StopLeftoverServers() const
{
  const std::string workBin = state.WorkFolder + "/bin";
  for (const std::string &bin : {AppPath + "bin", workBin}) {
    StopServerProcesses(Corvala::ApacheExePath(bin), Opts.StopGrace, Opts.ProcessEvents);
    StopServerProcesses(Corvala::MySqlExePath(bin), Opts.StopGrace, Opts.ProcessEvents);
  }
}

void TServerStack::StartMySql(int firstPort)
{
  {
    const TTraceStep step("MySQL port probe");
    state.MySqlPort = FindFreePort(firstPort, true);
  }
  if (state.MySqlPort < 0)
    throw std::runtime_error("No free port for MySQL on 127.0.0.1 from " + std::to_string(firstPort) +
                             " to 65535");
  const TStackSetup setup = Setup();
  {
    const TTraceStep step("my.ini");
    state.MySqlIniPath = WriteMySqlConfig(setup);
  }
  // The empty password is in the init file now; the next start leaves root's password alone.
  if (!state.PrivateMode && MySqlRootPassword)
    DeleteFileSilently(state.MySqlRootPasswordFile);
  const TTraceStep step("MySQL process start");
  // A killed launcher has no clean stop to give: SIGTERM before MariaDB serves can hang it for good,
  // holding its data folder and port, while a kill loses no acknowledged row.
  state.MySqlProcessId =
      StartProcess(state.MySqlExePath, MySqlParameters(state.MySqlIniPath, setup), TShowCommand::Hide, "",
                   StartOptions{.parentDeathSignal = SIGKILL,
                                .environment = MySqlFileModeEnvironment(),
                                .errorFile = ServerOutputPath(state.WorkFolder, "mysql")});
}

void TServerStack::StartMySqlProcess(int firstPort)
{
  StartMySql(firstPort);
  if (state.MySqlProcessId == 0)
    CannotStart(state.MySqlExePath);
}

void TServerStack::StartApache(int firstPort)
{
  {
    const TTraceStep step("Apache port probe");
    state.ApachePort = FindFreePort(firstPort, ApacheLocalOnly);
  }
  if (state.ApachePort < 0)
    throw std::runtime_error("No free port for Apache on " +
                             std::string(ApacheLocalOnly ? LoopbackAddress : "0.0.0.0") + " from " +
                             std::to_string(firstPort) + " to 65535");
  {
    const TTraceStep step("httpd.conf");
    state.HttpdConfPath = WriteApacheConfig(Setup());
  }
  {
    const TTraceStep step("Apache process start");
    state.ApacheProcessId =
        StartProcess(state.ApacheExePath, ApacheParameters(state.HttpdConfPath), TShowCommand::Hide, "",
                     StartOptions{.parentDeathSignal = SIGTERM,
                                  .errorFile = ServerOutputPath(state.WorkFolder, "apache")});
    ApacheStarted = std::chrono::steady_clock::now();
  }
  if (state.ApacheProcessId == 0)
    CannotStart(state.ApacheExePath);
}

// Apache's parent starts its workers from the same executable; the site answers once one runs.
// MySQL opens its port before it serves; it serves once it greets a client. A server that ends
// meanwhile took its reason to its output (Apache's configuration errors come before its log).
void TServerStack::WaitForServers()
{
  auto nextLook = ApacheStarted;
  int moves = 0;
  bool apacheUp = false;
  bool mySqlUp = state.MySqlProcessId == 0;
  while (!apacheUp || !mySqlUp) {
    Pump();
    CheckStop();
    // After a late first look (the caller's own start-up ran long) the next is a full pause later.
    nextLook = std::max(nextLook + ApachePollInterval, std::chrono::steady_clock::now());
    WaitUntil(nextLook);
    if (moves < MaxPortMoves && MoveServersOffTakenPorts()) {
      ++moves;
      nextLook = ApacheStarted;
      apacheUp = false;
      mySqlUp = state.MySqlProcessId == 0;
      continue;
    }
    const auto waited = std::chrono::steady_clock::now() - ApacheStarted;
    if (!apacheUp) {
      if (!ProcessExists(state.ApacheProcessId)) {
        // Its id is free for the system to give to another process now; nothing may signal it.
        state.ApacheProcessId = 0;
        throw std::runtime_error(
            "Apache ended during its start" +
            LastWordsOf({ServerOutputPath(state.WorkFolder, "apache"), state.WorkFolder + "/error.log"}));
      }
      apacheUp = FindProcessesByPath(state.ApacheExePath).size() >= 2;
      if (apacheUp)
        MakeApacheFilesPrivate(state.WorkFolder);
      if (!apacheUp && waited >= Opts.ApacheWaitLimit)
        throw std::runtime_error("Apache did not start its worker process within " +
                                 std::to_string(Opts.ApacheWaitLimit.count() / 1000) + " seconds" +
                                 LastWordsOf({state.WorkFolder + "/error.log"}));
    }
    if (!mySqlUp) {
      if (!ProcessExists(state.MySqlProcessId)) {
        state.MySqlProcessId = 0;
        throw std::runtime_error("MySQL ended during its start" +
                                 LastWordsOf({ServerOutputPath(state.WorkFolder, "mysql")}));
      }
      mySqlUp = ServerGreets(state.MySqlPort, GreetingWait);
      if (mySqlUp)
        ShareSocketWithWorkers(MySqlSocketPath(state.WorkFolder), geteuid() == 0);
      if (!mySqlUp && waited >= Opts.MySqlWaitLimit)
        throw std::runtime_error("MySQL did not answer within " +
                                 std::to_string(Opts.MySqlWaitLimit.count() / 1000) + " seconds" +
                                 LastWordsOf({ServerOutputPath(state.WorkFolder, "mysql")}));
    }
  }
}

// Another program may bind a port between its probe and the server's own bind, and the server then
// ends at once: it starts again from the next port. PHP learns MySQL's port from php.ini, which
// Apache reads only when it starts, so a move of MySQL restarts Apache as well.
bool TServerStack::MoveServersOffTakenPorts()
{
  if (EndedOnATakenPort(state.MySqlProcessId, state.MySqlPort, true)) {
    const TTraceStep step("MySQL moves off a taken port");
    state.MySqlProcessId = 0;
    StopStartedServers({{state.ApacheProcessId, state.ApacheExePath, 0}}, Opts.StopGrace, Opts.ProcessEvents);
    state.ApacheProcessId = 0;
    StartMySqlProcess(state.MySqlPort + 1);
    WritePhpIni();
    StartApache(state.ApachePort);
    return true;
  }
  if (EndedOnATakenPort(state.ApacheProcessId, state.ApachePort, ApacheLocalOnly)) {
    const TTraceStep step("Apache moves off a taken port");
    state.ApacheProcessId = 0;
    StartApache(state.ApachePort + 1);
    return true;
  }
  return false;
}

void TServerStack::WaitUntil(std::chrono::steady_clock::time_point moment) const
{
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(moment - std::chrono::steady_clock::now());
  if (left.count() <= 0)
    return;
  if (Opts.Wait)
    Opts.Wait(left);
  else
    std::this_thread::sleep_for(left);
}

void TServerStack::ReadBrowserSettings()
{
  state.BrowserIniPath = state.BinFolder + "/Browser.ini";
  const TBrowserSettings browser = ReadBrowserIni(
      state.BinFolder, state.ApachePort, state.SiteKey.empty() ? "" : SiteKeyName + ("=" + state.SiteKey));
  state.BrowserPath = browser.path;
  state.BrowserParameters = browser.parameters;
  state.UseExternalBrowser = browser.usable;
}

void TServerStack::Stop()
{
  if (Stopped || state.WorkFolder.empty())
    return;
  Stopped = true;
  const bool mySqlStoppedCleanly = StopServers();
  RemoveTemporaryFiles(mySqlStoppedCleanly && !MySqlEndedUnasked);
}

bool TServerStack::StopServers()
{
  EndSplash();
  const TServerProcess apache{state.ApacheProcessId, state.ApacheExePath, 0};
  const TServerProcess mysql{state.MySqlProcessId, state.MySqlExePath, state.MySqlPort};
  const std::vector<bool> stoppedCleanly =
      StopStartedServers({apache, mysql}, Opts.StopGrace, Opts.ProcessEvents);
  if (!state.WorkFolder.empty())
    for (const char *server : {"apache", "mysql"})
      CopyServerOutput(ServerOutputPath(state.WorkFolder, server));
  return state.MySqlProcessId == 0 || stoppedCleanly[1];
}

// Stopped servers may still be closing their files; each deletion is retried for a while, and a
// path that cannot be deleted at all is left so that the launcher still ends.
void TServerStack::DeleteWithRetries(const std::string &path, bool (*exists)(const std::string &),
                                     bool (*remove)(const std::string &)) const
{
  for (int round = 0; round < DeleteRetryRounds && exists(path); ++round) {
    Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    remove(path);
  }
}

void TServerStack::RemoveTemporaryFiles(bool dataFolderConsistent) const
{
  DeleteWithRetries(state.WorkFolder, DirectoryExists, DeleteFolder);
  // After a crash of MySQL the data folder's files are what its recovery needs: nothing goes.
  if (state.IsCdRom || !dataFolderConsistent)
    return;
  // The servers' loose files; the databases are the sub-folders and are never touched, and
  // neither is the server's own state.
  const std::string dataFolder = AppPath + "data";
  for (const std::string &name : ListFileNames(dataFolder))
    if (!IsServerStateFile(name))
      DeleteWithRetries(dataFolder + "/" + name, FileExists, DeleteFileSilently);
}

} // namespace Corvala
