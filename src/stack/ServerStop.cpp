#include "stack/ServerStop.h"

#include "utils/Ports.h"
#include "utils/Process.h"
#include "utils/ProcessList.h"

#include <csignal>
#include <thread>

using namespace AppUtils;

namespace Corvala
{

namespace
{
constexpr auto StopPollInterval = std::chrono::milliseconds(5);

bool AnyRunning(const std::vector<TServerProcess> &servers)
{
  for (const TServerProcess &server : servers) {
    if (server.id != 0 && ProcessExists(server.id))
      return true;
    if (!server.exePath.empty() && !FindProcessesByPath(server.exePath).empty())
      return true;
  }
  return false;
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

// MariaDB can hang for good when SIGTERM arrives while it is still starting up; give it until it
// serves (or ends), within the same grace.
void WaitUntilServing(const TServerProcess &server, std::chrono::steady_clock::time_point deadline,
                      const std::function<void()> &processEvents)
{
  while (server.readyPort != 0 && ProcessExists(server.id) && !IsPortAccepting(server.readyPort) &&
         std::chrono::steady_clock::now() < deadline) {
    if (processEvents)
      processEvents();
    std::this_thread::sleep_for(StopPollInterval);
  }
}

void KillRemaining(const std::vector<TServerProcess> &servers)
{
  for (const TServerProcess &server : servers) {
    if (server.id != 0 && ProcessExists(server.id))
      SignalProcess(server.id, SIGKILL, true);
    if (server.exePath.empty())
      continue;
    for (const TProcessId id : FindProcessesByPath(server.exePath))
      KillProcess(id);
  }
  ReapChildren();
}
} // namespace

void StopStartedServers(const std::vector<TServerProcess> &servers, std::chrono::milliseconds grace,
                        const std::function<void()> &processEvents)
{
  const auto deadline = std::chrono::steady_clock::now() + grace;
  for (const TServerProcess &server : servers) {
    if (server.id == 0 || !ProcessExists(server.id))
      continue;
    WaitUntilServing(server, deadline, processEvents);
    SignalProcess(server.id, SIGTERM, false);
  }
  WaitUntilEnded(servers, deadline, processEvents);
  KillRemaining(servers);
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
