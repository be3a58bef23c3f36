#include "stack/ServerStop.h"

#include "process/Process.h"
#include "process/ProcessList.h"
#include "stack/host/Ports.h"

#include <algorithm>
#include <csignal>
#include <thread>

using namespace Base;
using namespace Process;
using namespace Host;

namespace Corvala
{

namespace
{
constexpr auto StopPollInterval = std::chrono::milliseconds(5);
// How long one look waits for the server's greeting.
constexpr auto GreetingWait = std::chrono::milliseconds(50);

// The started process itself, still running from its executable: an id whose process ended may
// have been given to an unrelated one, which must never be signalled.
bool StartedProcessRuns(const TServerProcess &server)
{
  if (server.id == 0 || !ProcessExists(server.id))
    return false;
  if (server.exePath.empty())
    return true;
  const TCardinalArray ids = FindProcessesByPath(server.exePath);
  return std::find(ids.begin(), ids.end(), server.id) != ids.end();
}

bool Runs(const TServerProcess &server)
{
  return StartedProcessRuns(server) ||
         (!server.exePath.empty() && !FindProcessesByPath(server.exePath).empty());
}

bool AnyRunning(const std::vector<TServerProcess> &servers)
{
  return std::any_of(servers.begin(), servers.end(), Runs);
}

void WaitUntilEnded(const std::vector<TServerProcess> &servers,
                    std::chrono::steady_clock::time_point deadline,
                    const std::function<void()> &processEvents)
{
  while (AnyRunning(servers) && std::chrono::steady_clock::now() < deadline) {
    if (processEvents)
      processEvents();
    std::this_thread::sleep_for(StopPollInterval);
  }
}

// MariaDB can hang for good when SIGTERM arrives while it is still starting up, even after it has
// opened its port (its start-up then waits for a thread that the shutdown has ended); give it until
// it greets a client (or ends), within the same grace.
void WaitUntilServing(const TServerProcess &server, std::chrono::steady_clock::time_point deadline,
                      const std::function<void()> &processEvents)
{
  while (server.readyPort != 0 && StartedProcessRuns(server) &&
         !ServerGreets(server.readyPort, GreetingWait) && std::chrono::steady_clock::now() < deadline) {
    if (processEvents)
      processEvents();
    std::this_thread::sleep_for(StopPollInterval);
  }
}

void Kill(const TServerProcess &server)
{
  if (StartedProcessRuns(server))
    SignalProcess(server.id, SIGKILL, true);
  if (server.exePath.empty())
    return;
  for (const TProcessId id : FindProcessesByPath(server.exePath))
    KillProcess(id);
}

void KillRemaining(const std::vector<TServerProcess> &servers)
{
  for (const TServerProcess &server : servers)
    Kill(server);
  ReapChildren();
}
} // namespace

std::vector<bool> StopStartedServers(const std::vector<TServerProcess> &servers,
                                     std::chrono::milliseconds grace,
                                     const std::function<void()> &processEvents)
{
  const auto deadline = std::chrono::steady_clock::now() + grace;
  std::vector<bool> asked;
  for (const TServerProcess &server : servers) {
    asked.push_back(StartedProcessRuns(server));
    // Nothing is left to stop cleanly, and nothing would stop them: Apache's workers outlive a
    // parent that was killed, serving and holding its port.
    if (!asked.back()) {
      Kill(server);
      continue;
    }
    WaitUntilServing(server, deadline, processEvents);
    SignalProcess(server.id, SIGTERM, false);
  }
  WaitUntilEnded(servers, deadline, processEvents);
  std::vector<bool> stoppedOnRequest;
  for (size_t index = 0; index < servers.size(); ++index)
    stoppedOnRequest.push_back(asked[index] && !Runs(servers[index]));
  KillRemaining(servers);
  return stoppedOnRequest;
}

void StopServerProcesses(const std::string &exePath, std::chrono::milliseconds grace,
                         const std::function<void()> &processEvents)
{
  const TCardinalArray ids = FindProcessesByPath(exePath);
  if (ids.empty())
    return;
  for (const TProcessId id : ids)
    SignalProcess(id, SIGTERM, false);
  const std::vector<TServerProcess> servers{{0, exePath, 0}};
  WaitUntilEnded(servers, std::chrono::steady_clock::now() + grace, processEvents);
  KillRemaining(servers);
}

} // namespace Corvala
