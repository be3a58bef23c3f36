#include "process/Process.h"

#include "files/FileIO.h"
#include "process/StartedChildren.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

using namespace Base;
using namespace Files;

namespace Process
{

namespace
{

// 0 and ids that are negative as signed values would address groups or every process in kill().
bool IsValidId(TProcessId id)
{
  return static_cast<int32_t>(id) > 0;
}

std::string ReadProcFile(TProcessId id, const char *name)
{
  const std::string path = "/proc/" + std::to_string(id) + "/" + name;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return {};
  std::string text = ReadToEnd(fd);
  close(fd);
  return text;
}

// The value of a "Key:\tvalue" line of /proc/PID/status (the kernel escapes line breaks in names).
std::string StatusField(const std::string &status, const std::string &key)
{
  const size_t start = status.find("\n" + key + ":");
  if (start == std::string::npos)
    return {};
  size_t begin = start + key.size() + 2;
  while (begin < status.size() && (status[begin] == '\t' || status[begin] == ' '))
    ++begin;
  return status.substr(begin, status.find('\n', begin) - begin);
}

} // namespace

bool ProcessExists(TProcessId id)
{
  if (!IsValidId(id))
    return false;
  const std::string status = ReadProcFile(id, "status");
  // /proc also answers for thread ids, which are no processes.
  if (StatusField(status, "Tgid") != std::to_string(id))
    return false;
  const std::string state = StatusField(status, "State");
  if (state.empty())
    return false;
  if (state[0] == 'Z' || state[0] == 'X') {
    ReapStartedChild(id);
    return false;
  }
  return true;
}

std::string GetProcessModulePath(TProcessId id)
{
  if (!ProcessExists(id))
    return {};
  const std::string link = "/proc/" + std::to_string(id) + "/exe";
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
    if (n < 0)
      return {};
    if (static_cast<size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<size_t>(n));
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  const std::string deleted = " (deleted)";
  if (buffer.size() >= deleted.size() &&
      buffer.compare(buffer.size() - deleted.size(), deleted.size(), deleted) == 0)
    return {};
  return buffer;
}

TProcessId GetParentProcessId(TProcessId id)
{
  if (!IsValidId(id))
    return 0;
  const std::string stat = ReadProcFile(id, "stat");
  // The command name in parentheses may itself hold blanks and ')'; the fields follow the last ')'.
  const size_t close = stat.rfind(')');
  if (close == std::string::npos)
    return 0;
  std::istringstream fields(stat.substr(close + 1));
  std::string state;
  long long parent = 0;
  if (!(fields >> state >> parent) || parent <= 0 || parent > INT32_MAX)
    return 0;
  return static_cast<TProcessId>(parent);
}

bool IsProcessStopped(TProcessId id)
{
  if (!IsValidId(id))
    return false;
  const std::string stat = ReadProcFile(id, "stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos)
    return false;
  std::istringstream fields(stat.substr(close + 1));
  std::string state;
  // 'T' stopped by a signal, 't' by a tracer.
  return fields >> state && (state == "T" || state == "t");
}

bool TerminateProcessById(TProcessId id)
{
  return IsValidId(id) && kill(static_cast<pid_t>(id), SIGKILL) == 0;
}

bool KillProcess(TProcessId id)
{
  return ProcessExists(id) && TerminateProcessById(id);
}

void TerminateCurrentProcess()
{
  _exit(0);
}

bool SignalProcess(TProcessId id, int signal, bool wholeGroup)
{
  if (!IsValidId(id))
    return false;
  const pid_t pid = static_cast<pid_t>(id);
  return (wholeGroup ? killpg(pid, signal) : kill(pid, signal)) == 0;
}

} // namespace Process
