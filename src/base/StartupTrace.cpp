#include "base/StartupTrace.h"
#include "base/RelaunchMarker.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

namespace Base
{

namespace
{

constexpr char TraceVariable[] = "CORVALA_TRACE";
constexpr char OriginVariable[] = "CORVALA_TRACE_ORIGIN";

struct TTraceState {
  bool enabled = false;
  long long originNs = 0;
};

TTraceState State;

// The kernel keeps a process's start on the boot clock, in clock ticks.
long long BootNs()
{
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

long long OwnStartNs()
{
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // Field 22, counted after the command name, which may hold blanks and parentheses.
  const size_t close = text.rfind(')');
  if (close == std::string::npos)
    return BootNs();
  const char *field = text.c_str() + close + 2;
  for (int index = 3; index < 22 && field != nullptr; ++index) {
    field = std::strchr(field, ' ');
    if (field != nullptr)
      ++field;
  }
  if (field == nullptr)
    return BootNs();
  const long long ticks = std::strtoll(field, nullptr, 10);
  return ticks * (1000000000LL / sysconf(_SC_CLK_TCK));
}

void WriteLine(const char *text)
{
  // One write per line, so that the lines of the launcher and its splash do not mix.
  const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  static_cast<void>(ignored);
}

double SinceOriginMs(long long ns)
{
  return static_cast<double>(ns - State.originNs) / 1e6;
}

// Runs before any other constructor of the program, once its libraries are loaded and linked,
// and while the process still has one thread (the environment may be changed).
__attribute__((constructor(101))) void StartTrace(int argc, char **, char **)
{
  const char *flag = std::getenv(TraceVariable);
  State.enabled = flag != nullptr && std::strcmp(flag, "1") == 0;
  if (!State.enabled)
    return;
  // A start by the user (no arguments, no relaunch marker) begins a new time line; the launcher
  // instance and the processes it starts (the splash) continue the one they inherit.
  const char *marker = std::getenv(RelaunchMarkerVariable);
  const bool freshStart = argc <= 1 && (marker == nullptr || std::strcmp(marker, "6005") != 0);
  const char *origin = std::getenv(OriginVariable);
  State.originNs = origin != nullptr && !freshStart ? std::strtoll(origin, nullptr, 10) : OwnStartNs();
  setenv(OriginVariable, std::to_string(State.originNs).c_str(), 1);
  TraceProcessStart();
  TraceMark("libraries loaded");
}

} // namespace

void TraceProcessStart()
{
  if (!State.enabled)
    return;
  char line[160];
  std::snprintf(line, sizeof line, "corvala-trace %d: %9.1f ms  process started\n", getpid(),
                SinceOriginMs(OwnStartNs()));
  WriteLine(line);
}

void TraceMark(const char *name)
{
  if (!State.enabled)
    return;
  char line[256];
  std::snprintf(line, sizeof line, "corvala-trace %d: %9.1f ms  %s\n", getpid(), SinceOriginMs(BootNs()),
                name);
  WriteLine(line);
}

TTraceStep::TTraceStep(const char *name) : name_(name)
{
  if (State.enabled)
    startNs_ = BootNs();
}

TTraceStep::~TTraceStep()
{
  if (!State.enabled)
    return;
  char line[256];
  std::snprintf(line, sizeof line, "corvala-trace %d: %9.1f .. %9.1f ms  %s\n", getpid(),
                SinceOriginMs(startNs_), SinceOriginMs(BootNs()), name_);
  WriteLine(line);
}

} // namespace Base
