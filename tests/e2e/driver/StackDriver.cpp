// A launcher without a window, for the end-to-end tests and the benchmarks: it runs the server
// stack's start-up, reports what it started on stdout, and stops the stack when it reads a line
// on stdin, when stdin closes, or at SIGTERM, SIGINT or SIGHUP. The line "build OUTPUT" copies the
// stack into OUTPUT as the distribution build does, MySQL paused for the copy of its data, and
// reports "copy_clock=" (when the data's copy began) and "built=" or "build_error=".
// With CORVALA_DRIVER_TAKE_PORTS=mysql,apache (or one of them) it binds the ports those servers were
// just started on, before they bind them themselves, as another program may, and holds them until
// the stop.
#include "files/Paths.h"
#include "packaging/DistributionBuild.h"
#include "stack/ServerStack.h"
#include "support/PortHolder.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using Corvala::TServerStack;

static void Report(const Corvala::TStackState &stack)
{
  std::printf("apache_port=%d\nmysql_port=%d\nwork=%s\nbin=%s\napache_pid=%u\nmysql_pid=%u\n",
              stack.ApachePort, stack.MySqlPort, stack.WorkFolder.c_str(), stack.BinFolder.c_str(),
              stack.ApacheProcessId, stack.MySqlProcessId);
  std::printf("site_key=%s\nbrowser_parameters=%s\nmysql_password_file=%s\n", stack.SiteKey.c_str(),
              stack.BrowserParameters.c_str(), stack.MySqlRootPasswordFile.c_str());
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

// Takes the ports of the servers named in Which ("mysql", "apache" or both; Apache's at every
// address, which its own address cannot share) and reports each as "taken_<server>_port=<port>", or
// "take_failed=<server>" when the server had bound it already.
static std::vector<std::unique_ptr<TestSupport::TPortHolder>>
TakeServerPorts(const Corvala::TStackState &stack, const std::string &which)
{
  std::vector<std::unique_ptr<TestSupport::TPortHolder>> holders;
  for (const auto &[name, port, allAddresses] :
       {std::tuple{"mysql", stack.MySqlPort, false}, std::tuple{"apache", stack.ApachePort, true}}) {
    if (which.find(name) == std::string::npos)
      continue;
    holders.push_back(std::make_unique<TestSupport::TPortHolder>(port, allAddresses));
    if (holders.back()->Holding())
      std::printf("taken_%s_port=%d\n", name, port);
    else
      std::printf("take_failed=%s\n", name);
  }
  return holders;
}

// CLOCK_MONOTONIC in nanoseconds, comparable with the benchmark scripts' own clock.
static long long MonotonicNanoseconds()
{
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

static void BuildCopy(TServerStack &stack, const std::string &output)
{
  Corvala::TCreatedPaths created;
  try {
    const Corvala::TBuildHooks hooks{.HoldData = [&stack](const std::function<void()> &copy) {
      stack.PauseMySql();
      std::printf("copy_clock=%lld\n", MonotonicNanoseconds());
      std::fflush(stdout);
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

int main()
{
  std::printf("start_clock=%lld\n", MonotonicNanoseconds());
  std::fflush(stdout);
  TServerStack stack({});
  std::vector<std::unique_ptr<TestSupport::TPortHolder>> takenPorts;
  try {
    if (stack.Prepare() == TServerStack::TStartResult::AlreadyRunning) {
      std::printf("already-running\n");
      return 3;
    }
    stack.StartServers();
    if (const char *takePorts = std::getenv("CORVALA_DRIVER_TAKE_PORTS"))
      takenPorts = TakeServerPorts(stack.State(), takePorts);
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
  for (std::string request = WaitForRequest(signalFd); request.starts_with("build ");
       request = WaitForRequest(signalFd))
    BuildCopy(stack, request.substr(6));
  const long long stopBegin = MonotonicNanoseconds();
  stack.Stop();
  std::printf("stop_ms=%.1f\nstopped\n", (MonotonicNanoseconds() - stopBegin) / 1e6);
  return 0;
}
