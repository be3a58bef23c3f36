#pragma once

namespace Process
{

// The outside requests to end the program: SIGTERM, SIGINT and SIGHUP, caught from construction on
// and kept in a pipe, so that one arriving before any event loop runs is not lost. One per process,
// since signal dispositions are process-wide; destroying it gives the signals back their default
// dispositions.
class TExitSignals
{
public:
  TExitSignals();
  ~TExitSignals();
  TExitSignals(const TExitSignals &) = delete;
  TExitSignals &operator=(const TExitSignals &) = delete;

  // Readable once a signal has arrived, for an event loop to watch.
  int ReadFd() const { return pipeFds[0]; }
  // True once a signal has arrived; empties the pipe and remembers.
  bool Arrived();

private:
  int pipeFds[2] = {-1, -1};
  bool arrived = false;
};

} // namespace Process
