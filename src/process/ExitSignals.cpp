#include "process/ExitSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace Process
{

namespace
{

constexpr int CaughtSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the active pipe; the handler may touch nothing else.
std::atomic<int> signalPipe{-1};

void OnSignal(int number)
{
  const int savedErrno = errno;
  const char byte = static_cast<char>(number);
  const int fd = signalPipe.load();
  if (fd >= 0) {
    // A full pipe already holds a pending request; losing this byte changes nothing.
    [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
  }
  errno = savedErrno;
}

} // namespace

TExitSignals::TExitSignals()
{
  if (signalPipe.load() >= 0)
    throw std::runtime_error("the exit signals are already caught in this process");
  if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::runtime_error(std::string("cannot create the signal pipe: ") + std::strerror(errno));
  signalPipe = pipeFds[1];

  struct sigaction action {
  };
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int number : CaughtSignals)
    sigaction(number, &action, nullptr);
}

TExitSignals::~TExitSignals()
{
  for (const int number : CaughtSignals)
    signal(number, SIG_DFL);
  signalPipe = -1;
  close(pipeFds[0]);
  close(pipeFds[1]);
}

bool TExitSignals::Arrived()
{
  char bytes[64];
  while (read(pipeFds[0], bytes, sizeof bytes) > 0)
    arrived = true;
  return arrived;
}

} // namespace Process
