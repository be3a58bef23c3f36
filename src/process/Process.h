#pragma once

#include "base/RelaunchMarker.h"
#include "base/Types.h"

#include <string>

namespace Process
{

// How a started program is asked to show its window; a Linux program has no such request, so it
// has no effect. Relaunch's number marks the launcher instance in the marker variable of the
// environment, which no started child inherits.
enum class TShowCommand : int { Hide = 0, Normal = 1, Maximized = 3, Show = 5, Relaunch = 6005 };
using Base::RelaunchMarkerVariable;

struct StartOptions {
  // The signal the child receives when the thread that started it ends (PR_SET_PDEATHSIG), so a
  // server ends when the launcher dies without shutting it down; 0 for none.
  int parentDeathSignal = 0;
  // The child's standard error goes to a pipe that StartProcessAndWait reads into its result. The
  // wait then also lasts until every process that inherited that pipe has closed it.
  bool captureErrors = false;
  // The child gets no DISPLAY or WAYLAND_DISPLAY, so a command reports its error on standard error
  // instead of in a box of its own.
  bool withoutDisplay = false;
  // "NAME=VALUE" entries the child gets in place of the launcher's values of those names.
  Base::TStringArray environment{};
  // The child's standard error goes to this file, created (mode 0600) or emptied first, so that
  // what a server says when it ends can be read back; empty to share the launcher's.
  std::string errorFile{};
  // A Landlock ruleset (TWriteConfinement::Descriptor) the child restricts itself to just before
  // its exec, with no new privileges; -1 for none. When the restriction fails the start fails:
  // the program never runs unconfined. The caller keeps the descriptor and closes it.
  int writeRules = -1;
};

// How a child that was waited for ended.
struct TChildEnd {
  bool started = false;
  // The exit code when the child exited, else -1.
  int exitCode = -1;
  // The signal that ended the child, 0 when it exited.
  int signal = 0;
  // Its standard error, when captured.
  std::string errors;

  bool Succeeded() const { return started && signal == 0 && exitCode == 0; }
};

// Starts the program with the command line BuildCommandLine(program, parameters), split into
// arguments (argument 0 is the program path). The child gets its own process group, the
// launcher's environment and no descriptor but 0, 1 and 2; it runs in workingFolder when that is
// an existing folder, else in the current one.
// Gives the child's id once the program runs, 0 when it could not be started.
Base::TProcessId StartProcess(const std::string &program, const std::string &parameters,
                              TShowCommand showMode, const std::string &workingFolder,
                              const StartOptions &options = {});

// Why the last start of this thread gave 0, in the system's words ("Permission denied", "Exec format
// error", ...), or "its writes could not be confined with Landlock (...)"; empty when it succeeded.
std::string LastStartError();

// Ends a child of StartProcess (SIGKILL, if it still runs) and collects its exit status, so that
// it leaves no zombie behind. Any other id is left alone.
void EndStartedChild(Base::TProcessId id);

// As StartProcess, then waits without limit for the child's end and gives how it ended; returns at
// once when the start failed.
TChildEnd StartProcessAndWait(const std::string &program, const std::string &parameters,
                              TShowCommand showMode, const std::string &workingFolder,
                              const StartOptions &options = {});

// True when a process (not a thread, not a zombie) with this id runs. Ids that are negative as
// signed 32-bit values are never running. A zombie started by StartProcess is reaped here.
bool ProcessExists(Base::TProcessId id);

// Full path of the process's executable; empty when unknown or when its file has been deleted.
std::string GetProcessModulePath(Base::TProcessId id);

// Id of the process's parent; 0 when unknown.
Base::TProcessId GetParentProcessId(Base::TProcessId id);

// True when the process is stopped by a signal (SIGSTOP, SIGTSTP, a debugger) and so answers
// nothing until it is continued; false when it runs, sleeps, or is not there.
bool IsProcessStopped(Base::TProcessId id);

// SIGKILL to the process; true when the signal was delivered.
bool TerminateProcessById(Base::TProcessId id);

// TerminateProcessById when the process runs; false without any signal otherwise.
bool KillProcess(Base::TProcessId id);

// Starts a copy of this process (fork) in a process group of its own, keeping only descriptors 0,
// 1 and 2, as StartProcess does for a program. Gives the copy's id in this process and 0 in the
// copy; 0 in this process too when it failed, with LastStartError saying why.
Base::TProcessId StartCopyOfThisProcess(bool &isCopy);

// Ends this process at once with exit code 0; no clean-up of any kind runs.
[[noreturn]] void TerminateCurrentProcess();

// Sends the signal to the process, or to its whole process group (every child of StartProcess
// leads its own group). True when the signal was delivered.
bool SignalProcess(Base::TProcessId id, int signal, bool wholeGroup);

// Collects the exit status of every child of StartProcess that has ended. Children started by
// other means are left to their owners.
void ReapChildren();

} // namespace Process
