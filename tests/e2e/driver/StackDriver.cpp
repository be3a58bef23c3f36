// A launcher without a window, for the end-to-end tests and the benchmarks: it runs the server
// stack's start-up, reports what it started on stdout, and stops the stack when it reads a line
// on stdin, when stdin closes, or at SIGTERM, SIGINT or SIGHUP.
#include "stack/ServerStack.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

using Corvala::TServerStack;

static void Report(const Corvala::TStackState &stack)
{
  std::printf("apache_port=%d\nmysql_port=%d\nwork=%s\nbin=%s\napache_pid=%u\nmysql_pid=%u\n",
              stack.ApachePort, stack.MySqlPort, stack.WorkFolder.c_str(), stack.BinFolder.c_str(),
              stack.ApacheProcessId, stack.MySqlProcessId);
  if (!stack.ApacheStartError.empty())
    std::printf("apache_error=%s\n", stack.ApacheStartError.c_str());
  std::printf("ready\n");
  std::fflush(stdout);
}

static void WaitForStopRequest()
{
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP})
    sigaddset(&signals, signal);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
  pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {signalFd, POLLIN, 0}};
  // Either source means stop; only an interrupted wait is retried.
  while (poll(fds, 2, -1) < 0 && errno == EINTR)
    continue;
}

// CLOCK_MONOTONIC in nanoseconds, comparable with the benchmark scripts' own clock.
static long long MonotonicNanoseconds()
{
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

int main()
{
  std::printf("start_clock=%lld\n", MonotonicNanoseconds());
  std::fflush(stdout);
  TServerStack stack({});
  try {
    if (stack.Start() == TServerStack::TStartResult::AlreadyRunning) {
      std::printf("already-running\n");
      return 3;
    }
  } catch (const std::exception &error) {
    std::printf("error=%s\n", error.what());
    std::fflush(stdout);
    stack.Stop();
    return 2;
  }
  Report(stack.State());
  WaitForStopRequest();
  const long long stopBegin = MonotonicNanoseconds();
  stack.Stop();
  std::printf("stop_ms=%.1f\nstopped\n", (MonotonicNanoseconds() - stopBegin) / 1e6);
  return 0;
}
