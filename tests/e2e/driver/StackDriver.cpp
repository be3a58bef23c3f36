// A launcher without a window, for the end-to-end tests and the benchmarks: it runs the server
// stack's start-up, reports what it started on stdout, and stops the stack when it reads a line
// on stdin, when stdin closes, or at SIGTERM, SIGINT or SIGHUP. The line "build OUTPUT" copies the
// stack into OUTPUT as the distribution build does, MySQL paused for the copy of its data, and
// reports "copy_clock=" (when the data's copy began) and "built=" or "build_error=". The line
// "watch" looks at the servers as the launcher's server watch does and reports "ended=" and
// "stopped=" (the servers' names, comma-separated). The line "build-restart OUTPUT" builds as
// "build" does, holding the servers as the launcher's rebrand does, and once MySQL is paused waits
// for the line "restart": then it reports "ended_in_copy=", restarts the servers as the launcher's
// restart offer answered Yes does, reports "restarted=" and Apache's "apache_port=", and copies at
// the line "copy".
#include "files/Paths.h"
#include "packaging/DistributionBuild.h"
#include "stack/ServerStack.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

using Corvala::TServerStack;

static void Report(const Corvala::TStackState &stack)
{
  std::printf("apache_port=%d\nmysql_port=%d\nwork=%s\nbin=%s\napache_pid=%u\nmysql_pid=%u\n",
              stack.ApachePort, stack.MySqlPort, stack.WorkFolder.c_str(), stack.BinFolder.c_str(),
              stack.ApacheProcessId, stack.MySqlProcessId);
  std::printf("site_key=%s\nbrowser_parameters=%s\nmysql_password_file=%s\n", stack.SiteKey.c_str(),
              stack.BrowserParameters.c_str(), stack.MySqlRootPasswordFile.c_str());
  std::printf("status_note=%s\n", stack.StatusNote.c_str());
  std::printf("ready\n");
  std::fflush(stdout);
}

// The next line on stdin; empty at its end or at a signal.
static std::string WaitForRequest(int signalFd)
{
  pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {signalFd, POLLIN, 0}};
  std::string line;
  for (;;) {
    // Either source means stop; only an interrupted wait is retried.
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      return {};
    }
    if (fds[1].revents != 0)
      return {};
    char c = 0;
    if (read(STDIN_FILENO, &c, 1) != 1)
      return {};
    if (c == '\n')
      return line;
    line += c;
  }
}

static int StopSignals()
{
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP})
    sigaddset(&signals, signal);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  return signalfd(-1, &signals, SFD_CLOEXEC);
}

// CLOCK_MONOTONIC in nanoseconds, comparable with the benchmark scripts' own clock.
static long long MonotonicNanoseconds()
{
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

static std::string Joined(const std::vector<std::string> &names)
{
  std::string text;
  for (const std::string &name : names)
    text += (text.empty() ? "" : ",") + name;
  return text;
}

static void BuildCopy(TServerStack &stack, const std::string &output, int signalFd, bool restartInCopy)
{
  Corvala::TCreatedPaths created;
  try {
    const Corvala::TBuildHooks hooks{.HoldData = [&](const std::function<void()> &copy) {
      const TServerStack::TCommand command(stack);
      stack.PauseMySql();
      std::printf("copy_clock=%lld\n", MonotonicNanoseconds());
      std::fflush(stdout);
      if (restartInCopy && WaitForRequest(signalFd) == "restart") {
        std::printf("ended_in_copy=%s\n", Joined(stack.TakeEndedServers()).c_str());
        stack.RestartServers();
        std::printf("apache_port=%d\nrestarted=%u\n", stack.State().ApachePort, stack.State().MySqlProcessId);
        std::fflush(stdout);
        WaitForRequest(signalFd);
      }
      copy();
      stack.ResumeMySql();
    }};
    Corvala::CopyStack(Files::GetAppPath(), "", "", output, hooks, created);
    std::printf("built=%s\n", output.c_str());
  } catch (const std::exception &error) {
    std::printf("build_error=%s\n", error.what());
  }
  std::fflush(stdout);
}

static void Watch(TServerStack &stack)
{
  const std::string ended = Joined(stack.TakeEndedServers());
  std::printf("ended=%s\nstopped=%s\n", ended.c_str(), Joined(stack.StoppedServers()).c_str());
  std::fflush(stdout);
}

int main()
{
  std::printf("start_clock=%lld\n", MonotonicNanoseconds());
  std::fflush(stdout);
  TServerStack stack({});
  try {
    if (stack.Prepare() == TServerStack::TStartResult::AlreadyRunning) {
      std::printf("already-running\n");
      return 3;
    }
    stack.StartServers();
    stack.WaitForApache();
  } catch (const std::exception &error) {
    // One report line: the message's own line breaks are written as "\n".
    std::string message = error.what();
    for (size_t at = message.find('\n'); at != std::string::npos; at = message.find('\n', at + 2))
      message.replace(at, 1, "\\n");
    std::printf("error=%s\n", message.c_str());
    std::fflush(stdout);
    stack.Stop();
    return 2;
  }
  Report(stack.State());
  const int signalFd = StopSignals();
  for (std::string request = WaitForRequest(signalFd);
       request.starts_with("build ") || request.starts_with("build-restart ") || request == "watch";
       request = WaitForRequest(signalFd)) {
    if (request == "watch")
      Watch(stack);
    else if (request.starts_with("build "))
      BuildCopy(stack, request.substr(6), signalFd, false);
    else
      BuildCopy(stack, request.substr(14), signalFd, true);
  }
  const long long stopBegin = MonotonicNanoseconds();
  stack.Stop();
  std::printf("stop_ms=%.1f\nstopped\n", (MonotonicNanoseconds() - stopBegin) / 1e6);
  return 0;
}
