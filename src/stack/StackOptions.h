#pragma once

#include "stack/StackSystem.h"

#include <chrono>
#include <functional>
#include <stdexcept>

namespace Corvala
{

// How a server stack runs: what it starts, how it waits and for how long, and what it reaches the
// system through (TServerStack::Options).
struct TStackOptions {
  // Start the splash process ("splash" role of ProgramPath) before the servers.
  bool StartSplash = false;
  // Called on every pass of a waiting loop, so a window stays responsive.
  std::function<void()> ProcessEvents;
  // Waits the given time in the wait for Apache's worker; a window goes on with its own start-up
  // meanwhile. Unset: the clock sleeps.
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
  // TStackStartStopped (a request to end the program arrived).
  std::function<bool()> StopRequested;
  // Processes, ports, clock, files and the installation's place.
  TStackSystem System = RealStackSystem();
};

// The start ended early because StopRequested said so; what was started runs until Stop().
class TStackStartStopped : public std::runtime_error
{
public:
  TStackStartStopped() : std::runtime_error("The start was stopped") {}
};

} // namespace Corvala
