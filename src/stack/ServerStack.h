#pragma once

#include "stack/ServerReadiness.h"
#include "stack/StackCleanup.h"
#include "stack/StackOptions.h"
#include "stack/StackPreparation.h"
#include "stack/StackRun.h"
#include "stack/StackServers.h"
#include "stack/StackState.h"

#include <string>
#include <vector>

namespace Corvala
{

// The GUI-free half of the launcher's start-up and its whole shutdown: configuration, environment,
// MySQL, PHP and Apache on free ports, the external-browser settings, and the clean stop.
// The main window drives one instance; tests and benchmarks drive it directly.
class TServerStack
{
public:
  using Options = TStackOptions;
  using TStartStopped = TStackStartStopped;

  enum class TStartResult { Started, AlreadyRunning };

  explicit TServerStack(Options options);
  ~TServerStack();
  TServerStack(const TServerStack &) = delete;
  TServerStack &operator=(const TServerStack &) = delete;

  // Runs the start-up up to and including the reading of Browser.ini: Prepare(), then, when this
  // is the first instance, StartServers() and WaitForApache(). Raises on failure with a message
  // that says what failed and why; what was started before the failure keeps running until Stop().
  TStartResult Start();
  // The steps before any child starts: the single-instance check, the work folder, leftover
  // servers of this installation, the environment, Config.ini, Brand.ini and AppName.
  TStartResult Prepare();
  // Checks Config.ini's "port" and "ip", then starts the splash, the bin folder, MySQL, php.ini and
  // Apache's process.
  void StartServers();
  // Waits until Apache's worker runs and MySQL greets a client (the first look 330 ms after
  // Apache's start, whatever ran in between), then reads Browser.ini. A server that ends meanwhile
  // fails the start with what it said on its way out.
  void WaitForApache();

  // A command on the servers (a rebrand's data copy, a restart) runs while one of these lives:
  // the server watch waits until it is done, so that no restart starts MySQL on data being copied.
  class TCommand
  {
  public:
    explicit TCommand(TServerStack &stack);
    ~TCommand();
    TCommand(const TCommand &) = delete;
    TCommand &operator=(const TCommand &) = delete;

  private:
    TServerStack &Stack;
  };

  // The servers whose started process ended since the start or the last call ("Apache",
  // "MySQL"); each is reported once, after the command that runs (TCommand) is done. What is left of them is
  // stopped at once: Apache's workers outlive a parent that was killed, serving and holding the port.
  std::vector<std::string> TakeEndedServers();
  // The servers that still run but answer nothing, stopped by a signal ("Apache": every worker of
  // it; "MySQL"): the site waits for them until they are continued. Nothing while a command runs.
  std::vector<std::string> StoppedServers();
  // What the window says about StoppedServers(); empty when every server answers.
  static std::string StoppedServersNote(const std::vector<std::string> &stopped);
  // Stops the servers and starts them again as the start does, Apache on its port if it is free,
  // MySQL only when it is not paused (ResumeMySql starts it); raises as the start does.
  void RestartServers();

  // Stops MySQL cleanly, so that its data folder holds still and every table is closed, until
  // ResumeMySql(); the site's pages cannot reach their databases meanwhile. Raises when MySQL did
  // not stop cleanly (it was killed: its files are what its recovery needs). Nothing without MySQL.
  void PauseMySql();
  // Starts a paused MySQL again on its port and waits until it greets a client; when another
  // program took the port meanwhile, both servers are restarted as RestartServers() does. Raises as
  // the start does.
  void ResumeMySql();

  // Stops splash, Apache and MySQL cleanly, deletes the work folder and the data folder's loose
  // files. Safe to call more than once and after a failed Start().
  void Stop();

  std::string ReadConfigValue(const std::string &key) const { return Run.ReadConfigValue(key); }

  // What the start-up found and started.
  const TStackState &State() const { return Run.State; }
  // Ends the splash process, if it still runs, and forgets it (its id may be given to another).
  void EndSplash() { Cleanup.EndSplash(); }

private:
  // The started process still runs from its executable (its id, once reaped, may be another's).
  bool StillRuns(Base::TProcessId id, const std::string &exePath) const;
  void ReadBrowserSettings();

  TStackRun Run;
  TStackPreparation Preparation{Run};
  TStackServers Servers{Run};
  TServerReadiness Readiness{Run, Servers};
  TStackCleanup Cleanup{Run};
  // MySQL ended on its own while it served: its data folder's files are what its recovery needs.
  bool MySqlEndedUnasked = false;
  bool MySqlPaused = false;
  bool Stopped = false;
  int CommandsRunning = 0;
};

} // namespace Corvala
