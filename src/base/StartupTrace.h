#pragma once

// The opt-in start-up trace. With CORVALA_TRACE=1 in the environment every traced step writes one
// line to standard error: the process id, the step's start and end in milliseconds since the
// first launcher process was started (its exec, known to the kernel's clock tick, 10 ms here),
// and the step's name. The relaunched instance and the splash measure from the first process's
// start, so one start-up reads as one time line. Off, a step costs one test of a flag.

namespace Base
{

// Writes a line for a moment rather than a span.
void TraceMark(const char *name);

// Writes this process's "process started" line. The program's start writes it; a process forked
// from a traced one, which runs no start of its own, writes it itself.
void TraceProcessStart();

// A step from its construction to its destruction.
class TTraceStep
{
public:
  explicit TTraceStep(const char *name);
  ~TTraceStep();
  TTraceStep(const TTraceStep &) = delete;
  TTraceStep &operator=(const TTraceStep &) = delete;

private:
  const char *name_;
  long long startNs_ = 0;
};

} // namespace Base
