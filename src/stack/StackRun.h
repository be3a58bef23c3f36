#pragma once

#include "stack/StackOptions.h"
#include "stack/StackSetup.h"
#include "stack/StackState.h"

#include <optional>
#include <string>

namespace Corvala
{

// What the steps of one server stack share: its options, what the start found and started, and
// the installation's paths.
struct TStackRun {
  explicit TStackRun(TStackOptions options) : Opts(std::move(options)) {}

  TStackOptions Opts;
  TStackState State;
  std::string ProgramPath;
  std::string AppPath;
  // Apache listens on 127.0.0.1 only (Config.ini's "ip"), read once for its start and its moves.
  bool ApacheLocalOnly = true;
  // Set: the TCP password the start gives MySQL's root (empty when the open default comes back).
  std::optional<std::string> MySqlRootPassword;

  TStackProcesses &Processes() const { return *Opts.System.Processes; }
  TStackPorts &Ports() const { return *Opts.System.Ports; }
  TStackClock &Clock() const { return *Opts.System.Clock; }
  TStackFiles &Files() const { return *Opts.System.Files; }
  TStackInstallation &Installation() const { return *Opts.System.Installation; }

  std::string ReadConfigValue(const std::string &key) const;
  // What the configuration writers are given, as the start has it now.
  TStackSetup Setup() const;
  // Lets the caller's events through (Opts.ProcessEvents).
  void Pump() const;
  // Raises TStackStartStopped when a stop was requested.
  void CheckStop() const;
  // Raises that Program could not be started, and why.
  [[noreturn]] void CannotStart(const std::string &program) const;
};

} // namespace Corvala
