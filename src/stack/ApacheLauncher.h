#pragma once

#include "stack/StackRun.h"

#include <chrono>

namespace Corvala
{

// Apache's start: a free port, httpd.conf, the process.
class TApacheLauncher
{
public:
  explicit TApacheLauncher(TStackRun &run) : Run(run) {}

  // Starts Apache on the first free port from FirstPort; raises when there is none or Apache could
  // not be started at all.
  void Start(int firstPort);
  // Apache ended during its start and its port is taken now: another program bound it between the
  // probe and the server's own bind.
  bool EndedOnATakenPort() const;
  // When the last Start() started the process.
  std::chrono::steady_clock::time_point Started() const { return StartedAt; }

private:
  TStackRun &Run;
  std::chrono::steady_clock::time_point StartedAt;
};

} // namespace Corvala
