#include "process/StartedChildren.h"

#include "process/Process.h"

#include <cerrno>
#include <csignal>
#include <mutex>
#include <set>
#include <sys/wait.h>

using namespace Base;

namespace Process
{

static std::mutex childrenMutex;
static std::set<TProcessId> startedChildren;

// True when the child is gone for us: reaped now, or no longer our child at all.
static bool TryReap(TProcessId id)
{
  pid_t result;
  do
    result = waitpid(static_cast<pid_t>(id), nullptr, WNOHANG);
  while (result < 0 && errno == EINTR);
  return result != 0;
}

void RememberStartedChild(TProcessId id)
{
  const std::lock_guard lock(childrenMutex);
  startedChildren.insert(id);
}

void ReapStartedChild(TProcessId id)
{
  const std::lock_guard lock(childrenMutex);
  if (startedChildren.count(id) != 0 && TryReap(id))
    startedChildren.erase(id);
}

void ReapChildren()
{
  const std::lock_guard lock(childrenMutex);
  std::erase_if(startedChildren, TryReap);
}

} // namespace Process

namespace Process
{

void EndStartedChild(TProcessId id)
{
  const std::lock_guard lock(childrenMutex);
  if (startedChildren.erase(id) == 0)
    return;
  // Not reaped yet, so the id is still this child's, whether it runs or has ended.
  const auto pid = static_cast<pid_t>(id);
  kill(pid, SIGKILL);
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

} // namespace Process
