#pragma once

#include "base/Types.h"
#include "stack/StackSetup.h"

#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Corvala
{

// What the start-up found and started (empty or 0 when a step did not happen).
struct TStackState {
  std::string AppName;
  std::string WorkFolder;
  std::string ConfigFile;
  std::string BrandFile;
  std::string BinFolder;
  std::string MySqlExePath;
  int MySqlPort = 0;
  std::string MySqlIniPath;
  Base::TProcessId MySqlProcessId = 0;
  int ApachePort = 0;
  std::string HttpdConfPath;
  std::string ApacheExePath;
  Base::TProcessId ApacheProcessId = 0;
  Base::TProcessId SplashProcessId = 0;
  std::string BrowserIniPath;
  std::string BrowserPath;
  std::string BrowserParameters;
  bool UseExternalBrowser = false;
  bool IsCdRom = false;
  // Config.ini's "only my account" mode; then the key the site wants from every request (a cookie
  // named SiteKeyName, or once in the address) and where MySQL's root password over TCP is kept.
  bool PrivateMode = false;
  std::string SiteKey;
  std::string MySqlRootPasswordFile;
};

// The GUI-free half of the launcher's start-up and its whole shutdown: configuration, environment,
// MySQL, PHP and Apache on free ports, the external-browser settings, and the clean stop.
// The main window drives one instance; tests and benchmarks drive it directly.
class TServerStack
{
public:
  struct Options {
    // Start the splash process ("splash" role of ProgramPath) before the servers.
    bool StartSplash = false;
    // Called on every pass of a waiting loop, so a window stays responsive.
    std::function<void()> ProcessEvents;
    // Waits the given time in the wait for Apache's worker; a window goes on with its own start-up
    // meanwhile. Unset: sleeps.
    std::function<void(std::chrono::milliseconds)> Wait;
    // How long Apache may take to bring up its worker before the start fails.
    std::chrono::milliseconds ApacheWaitLimit{30000};
    // How long MySQL may take to greet its first client before the start fails (a recovery after a
    // crash takes a while).
    std::chrono::milliseconds MySqlWaitLimit{60000};
    // How long the servers get to stop after SIGTERM before they are killed.
    std::chrono::milliseconds StopGrace{15000};
    // Set the servers' environment in Prepare(). A program with threads sets it itself before its
    // first thread starts (SetServerEnvironment) and turns this off.
    bool SetEnvironment = true;
    // Asked between the start's steps and on every pass of its waits; true ends the start with
    // TStartStopped (a request to end the program arrived).
    std::function<bool()> StopRequested;
  };

  // The start ended early because StopRequested said so; what was started runs until Stop().
  class TStartStopped : public std::runtime_error
  {
  public:
    TStartStopped() : std::runtime_error("The start was stopped") {}
  };

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

  // The servers whose started process ended since the start or the last call ("Apache",
  // "MySQL"); each is reported once. What is left of them is stopped at once: Apache's workers
  // outlive a parent that was killed, serving and holding the port.
  std::vector<std::string> TakeEndedServers();
  // Stops the servers and starts them again as the start does, Apache on its port if it is free;
  // raises as the start does.
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

  std::string ReadConfigValue(const std::string &key) const;

  // What the start-up found and started.
  const TStackState &State() const { return state; }
  // Ends the splash process, if it still runs, and forgets it (its id may be given to another).
  void EndSplash();

private:
  void StopLeftoverServers() const;
  void CheckStop() const;
  void StartServerProcesses(int apachePort);
  void StartMySql(int firstPort);
  // StartMySql, failing when mysqld could not be started at all.
  void StartMySqlProcess(int firstPort);
  void WritePhpIni() const;
  void StartApache(int firstPort);
  void WaitForServers();
  bool MoveServersOffTakenPorts();
  void WaitUntil(std::chrono::steady_clock::time_point moment) const;
  void ReadPrivateMode();
  // True when MySQL stopped cleanly (or never ran), so its data folder is consistent.
  bool StopServers();
  void RemoveTemporaryFiles(bool dataFolderConsistent) const;
  void DeleteWithRetries(const std::string &path, bool (*exists)(const std::string &),
                         bool (*remove)(const std::string &)) const;
  void ReadBrowserSettings();
  TStackSetup Setup() const;
  void Pump() const;

  Options Opts;
  TStackState state;
  std::string ProgramPath;
  std::string AppPath;
  std::chrono::steady_clock::time_point ApacheStarted;
  // Apache listens on 127.0.0.1 only (Config.ini's "ip"), read once for its start and its moves.
  bool ApacheLocalOnly = true;
  // Set: the TCP password the start gives MySQL's root (empty when the open default comes back).
  std::optional<std::string> MySqlRootPassword;
  // MySQL ended on its own while it served: its data folder's files are what its recovery needs.
  bool MySqlEndedUnasked = false;
  bool MySqlPaused = false;
  bool Stopped = false;
};

} // namespace Corvala
