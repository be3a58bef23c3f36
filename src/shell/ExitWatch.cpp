#include "shell/ExitWatch.h"

#include "utils/Paths.h"

#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace
{

constexpr int WatchedSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the active watch's pipe; the handler may touch nothing else.
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

TExitWatch::TExitWatch(const std::string &file, int checkIntervalMs, QObject *parent)
    : QObject(parent), programFile(file)
{
  if (signalPipe.load() >= 0)
    throw std::runtime_error("an exit watch is already active in this process");
  if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::runtime_error(std::string("cannot create the signal pipe: ") + std::strerror(errno));
  signalPipe = pipeFds[1];

  signalNotifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
  connect(signalNotifier, &QSocketNotifier::activated, this, &TExitWatch::SignalArrived);

  struct sigaction action {
  };
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int number : WatchedSignals)
    sigaction(number, &action, nullptr);

  fileCheck = new QTimer(this);
  fileCheck->setInterval(checkIntervalMs);
  connect(fileCheck, &QTimer::timeout, this, &TExitWatch::CheckProgramFile);
  fileCheck->start();
}

TExitWatch::~TExitWatch()
{
  for (const int number : WatchedSignals)
    signal(number, SIG_DFL);
  signalPipe = -1;
  close(pipeFds[0]);
  close(pipeFds[1]);
}

void TExitWatch::SignalArrived()
{
  char bytes[64];
  while (read(pipeFds[0], bytes, sizeof bytes) > 0) {
  }
  RequestExit();
}

void TExitWatch::CheckProgramFile()
{
  if (!AppUtils::FileExists(programFile))
    RequestExit();
}

void TExitWatch::RequestExit()
{
  if (requested)
    return;
  requested = true;
  fileCheck->stop();
  emit exitRequested();
}
