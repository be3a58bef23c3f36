#include "stack/ServerStack.h"

#include "base/StartupTrace.h"
#include "config/BrowserIni.h"
#include "process/CommandLine.h"
#include "stack/HandOverPage.h"
#include "stack/PrivateMode.h"

#include <algorithm>
#include <csignal>
#include <stdexcept>

using namespace Base;
using namespace Process;

namespace Corvala
{

namespace
{
constexpr char ProductName[] = "Corvala";
} // namespace

TServerStack::TServerStack(Options options) : Run(std::move(options))
{
  Run.State.AppName = ProductName;
}

TServerStack::~TServerStack()
{
  Stop();
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
  return Preparation.Prepare() ? TStartResult::Started : TStartResult::AlreadyRunning;
}

void TServerStack::StartServers()
{
  Run.CheckStop();
  const int apachePort = Preparation.ReadServerSettings();
  if (Run.Opts.StartSplash) {
    const TTraceStep step("splash start");
    Run.State.SplashProcessId =
        Run.Processes().Start(Run.ProgramPath, "splash " + CommandLineWord(Run.State.ConfigFile),
                              TShowCommand::Normal, StartOptions{.parentDeathSignal = SIGTERM});
  }
  Servers.Start(apachePort);
}

void TServerStack::WaitForApache()
{
  {
    const TTraceStep step("wait for Apache's worker");
    Readiness.WaitForServers();
  }
  ReadBrowserSettings();
}

bool TServerStack::StillRuns(TProcessId id, const std::string &exePath) const
{
  if (id == 0 || !Run.Processes().Exists(id))
    return false;
  const TCardinalArray ids = Run.Processes().FindByPath(exePath);
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::vector<std::string> TServerStack::TakeEndedServers()
{
  TStackState &state = Run.State;
  std::vector<std::string> ended;
  if (CommandsRunning > 0)
    return ended;
  if (state.ApacheProcessId != 0 && !StillRuns(state.ApacheProcessId, state.ApacheExePath)) {
    state.ApacheProcessId = 0;
    Run.Processes().StopStarted({{0, state.ApacheExePath, 0}}, Run.Opts.StopGrace, Run.Opts.ProcessEvents);
    ended.emplace_back("Apache");
  }
  if (state.MySqlProcessId != 0 && !StillRuns(state.MySqlProcessId, state.MySqlExePath)) {
    state.MySqlProcessId = 0;
    MySqlEndedUnasked = true;
    ended.emplace_back("MySQL");
  }
  return ended;
}

std::vector<std::string> TServerStack::StoppedServers()
{
  const TStackState &state = Run.State;
  std::vector<std::string> stopped;
  if (CommandsRunning > 0)
    return stopped;
  // Apache's parent only starts workers; the site is silent once no worker is left to answer.
  std::vector<TProcessId> workers;
  if (state.ApacheProcessId != 0)
    for (const TProcessId id : Run.Processes().FindByPath(state.ApacheExePath))
      if (id != state.ApacheProcessId)
        workers.push_back(id);
  if (!workers.empty() && std::all_of(workers.begin(), workers.end(),
                                      [&](TProcessId id) { return Run.Processes().IsStopped(id); }))
    stopped.emplace_back("Apache");
  if (state.MySqlProcessId != 0 && Run.Processes().IsStopped(state.MySqlProcessId))
    stopped.emplace_back("MySQL");
  return stopped;
}

std::string TServerStack::StoppedServersNote(const std::vector<std::string> &stopped)
{
  if (stopped.empty())
    return {};
  const std::string names =
      stopped.size() == 1 ? stopped[0] + " is" : stopped[0] + " and " + stopped[1] + " are";
  return names + " stopped by a signal and not answering: the site waits until " +
         (stopped.size() == 1 ? "it is" : "they are") + " continued (kill -CONT) or restarted.";
}

void TServerStack::RestartServers()
{
  Cleanup.StopServers();
  // A paused MySQL's data folder belongs to the command that paused it until it resumes.
  Servers.Start(Run.State.ApachePort, MySqlPaused);
  WaitForApache();
  MySqlEndedUnasked = false;
}

void TServerStack::PauseMySql()
{
  TStackState &state = Run.State;
  if (state.MySqlProcessId == 0 || MySqlPaused)
    return;
  const TServerProcess mysql{state.MySqlProcessId, state.MySqlExePath, state.MySqlPort};
  // Forgotten first: the server watch must not take this stop for an end of its own.
  state.MySqlProcessId = 0;
  MySqlPaused = true;
  if (!Run.Processes().StopStarted({mysql}, Run.Opts.StopGrace, Run.Opts.ProcessEvents)[0]) {
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
  const int port = Run.State.MySqlPort;
  Servers.StartMySql(port);
  // PHP learns MySQL's port from php.ini, which Apache reads only when it starts.
  if (Run.State.MySqlPort != port) {
    RestartServers();
    return;
  }
  Readiness.WaitForMySql();
}

TServerStack::TCommand::TCommand(TServerStack &stack) : Stack(stack)
{
  ++Stack.CommandsRunning;
}

TServerStack::TCommand::~TCommand()
{
  --Stack.CommandsRunning;
}

void TServerStack::ReadBrowserSettings()
{
  TStackState &state = Run.State;
  state.BrowserIniPath = state.BinFolder + "/Browser.ini";
  TBrowserSettings browser = ReadBrowserIni(state.BinFolder, StartAddress(state.ApachePort));
  if (browser.usable && !state.SiteKey.empty()) {
    // The key goes through a page only this account reads, never through the command line.
    state.HandOverPage = HandOverPagePath(Run.ProgramPath);
    const std::string address = StartAddress(state.ApachePort) + "/?" + SiteKeyName + "=" + state.SiteKey;
    browser = ReadBrowserIni(state.BinFolder, WriteHandOverPage(state.HandOverPage, address));
  }
  state.BrowserPath = browser.path;
  state.BrowserParameters = browser.parameters;
  state.UseExternalBrowser = browser.usable;
}

void TServerStack::Stop()
{
  if (Stopped || Run.State.WorkFolder.empty())
    return;
  Stopped = true;
  const bool mySqlStoppedCleanly = Cleanup.StopServers();
  Cleanup.RemoveTemporaryFiles(mySqlStoppedCleanly && !MySqlEndedUnasked);
}

} // namespace Corvala
