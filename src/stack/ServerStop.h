#pragma once

#include "base/Types.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace Corvala
{

// A server the launcher started: the id it got and the executable it ran, which also finds the
// workers the server started itself (Apache's).
struct TServerProcess {
  Base::TProcessId id = 0;
  std::string exePath;
  // A port on which the server greets a client once it is up (0: none to wait for).
  int readyPort = 0;
};

// Asks every started server to stop (SIGTERM; MySQL only once it greets a client, since a
// SIGTERM during its start-up can leave it hanging: Apache's parent stops its workers, MySQL closes its
// tables), waits up to grace for all of them and their workers to end, then kills what is left:
// each server's process group and every process still running from its executable. A server whose
// started process no longer runs has nothing to ask: what is left of it (workers of a parent that
// was killed) is killed at once, without waiting the grace. An id is
// signalled only while it is still a process of the server's executable (ids are reused). Gives,
// for each server in order, whether it stopped cleanly: it ran when the stop began and ended on the
// request, with its workers, before anything had to be killed.
std::vector<bool> StopStartedServers(const std::vector<TServerProcess> &servers,
                                     std::chrono::milliseconds grace,
                                     const std::function<void()> &processEvents);

// The same for processes found by executable alone (servers left by a launcher that was killed).
void StopServerProcesses(const std::string &exePath, std::chrono::milliseconds grace,
                         const std::function<void()> &processEvents);

} // namespace Corvala
