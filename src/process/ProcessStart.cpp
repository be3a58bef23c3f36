#include "files/FileIO.h"
#include "files/Paths.h"
#include "process/CommandLine.h"
#include "process/Process.h"
#include "process/StartedChildren.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace Base;
using namespace Files;

extern char **environ;

namespace Process
{

namespace
{

thread_local std::string lastStartError;

// Everything the child needs, prepared before the clone: between clone and exec only plain system
// calls may run, since the child shares the launcher's memory (and other threads may hold locks).
struct ChildPlan {
  std::string executable;
  TStringArray arguments;
  TStringArray environment;
  std::string workingFolder;
  int parentDeathSignal = 0;
  // The write end of the pipe that becomes the child's standard error; -1 to keep the launcher's.
  int errorOutput = -1;
  pid_t parent = 0;
  int descriptorLimit = 0;
  // The Landlock ruleset the child restricts itself to; -1 for none.
  int writeRules = -1;
};

// What the child sends through the error pipe when it cannot become the program: the step that
// failed and its errno. The pipe closes without data exactly when the exec succeeded.
enum class ChildStep : int { Exec, WriteConfinement };
struct ChildFailure {
  ChildStep step;
  int error;
};

bool StartsWith(const char *entry, const std::string &prefix)
{
  return std::strncmp(entry, prefix.c_str(), prefix.size()) == 0;
}

bool IsReplaced(const char *entry, const TStringArray &replacements)
{
  for (const std::string &replacement : replacements) {
    const size_t equals = replacement.find('=');
    if (equals != std::string::npos && StartsWith(entry, replacement.substr(0, equals + 1)))
      return true;
  }
  return false;
}

TStringArray ChildEnvironment(const StartOptions &options)
{
  const std::string marker = std::string(RelaunchMarkerVariable) + "=";
  TStringArray environment;
  for (char **entry = environ; entry != nullptr && *entry != nullptr; ++entry)
    if (!StartsWith(*entry, marker) && !IsReplaced(*entry, options.environment) &&
        !(options.withoutDisplay &&
          (StartsWith(*entry, "DISPLAY=") || StartsWith(*entry, "WAYLAND_DISPLAY="))))
      environment.emplace_back(*entry);
  environment.insert(environment.end(), options.environment.begin(), options.environment.end());
  return environment;
}

std::vector<char *> NullTerminated(TStringArray &texts)
{
  std::vector<char *> pointers;
  pointers.reserve(texts.size() + 1);
  for (auto &text : texts)
    pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// A relative program path names a file in the launcher's current folder, not in the child's.
std::string ExecutablePath(const std::string &program)
{
  if (program.front() == '/')
    return program;
  char buffer[PATH_MAX + 1];
  if (getcwd(buffer, sizeof buffer) == nullptr)
    return program;
  return std::string(buffer) + "/" + program;
}

int DescriptorLimit()
{
  const long limit = sysconf(_SC_OPEN_MAX);
  return limit < 0 || limit > INT_MAX ? 65536 : static_cast<int>(limit);
}

// Only a process that can gain no privileges may restrict itself without CAP_SYS_ADMIN, and the
// restriction then holds for root too. Gives 0, or the errno of the step that failed.
__attribute__((no_sanitize("address"))) int RestrictWrites(int rules)
{
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || syscall(SYS_landlock_restrict_self, rules, 0) != 0)
    return errno;
  return 0;
}

[[noreturn]] __attribute__((no_sanitize("address"))) void FailChild(int errorPipe, ChildStep step, int error)
{
  const ChildFailure failure{step, error};
  if (write(errorPipe, &failure, sizeof failure) < 0) {
    // Nothing else can report it; the parent then sees the pipe close without a running program.
  }
  _exit(127);
}

void CloseInheritedDescriptors(int errorPipe, int descriptorLimit)
{
  // Marking instead of closing keeps the error pipe open until the exec itself.
  if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
    return;
  for (int fd = 3; fd < descriptorLimit; ++fd)
    if (fd != errorPipe)
      close(fd);
}

// The child runs on a small stack of its own in the launcher's memory until it execs. The address
// sanitizer does not know that stack and warns on every call that does not return, so the child's
// own code is left uninstrumented.
[[noreturn]] __attribute__((no_sanitize("address"))) void RunChild(const ChildPlan &plan, char *const argv[],
                                                                   char *const envp[], int errorPipe)
{
  // The launcher's handlers and blocked signals must not reach the started program.
  struct sigaction defaultAction {
  };
  defaultAction.sa_handler = SIG_DFL;
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
    sigaction(signalNumber, &defaultAction, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);

  setpgid(0, 0);
  if (plan.parentDeathSignal != 0) {
    prctl(PR_SET_PDEATHSIG, plan.parentDeathSignal);
    // The parent may have ended before the request took effect. Not raise(): it would name the
    // launcher's thread, whose memory the child shares.
    if (getppid() != plan.parent)
      kill(getpid(), plan.parentDeathSignal);
  }
  if (!plan.workingFolder.empty() && chdir(plan.workingFolder.c_str()) != 0) {
    // The launcher's current folder stays in effect.
  }
  if (plan.errorOutput >= 0)
    dup2(plan.errorOutput, STDERR_FILENO);
  // The program must never run unconfined when it was meant to be.
  if (plan.writeRules >= 0)
    if (const int error = RestrictWrites(plan.writeRules); error != 0)
      FailChild(errorPipe, ChildStep::WriteConfinement, error);
  CloseInheritedDescriptors(errorPipe, plan.descriptorLimit);
  execve(plan.executable.c_str(), argv, envp);
  FailChild(errorPipe, ChildStep::Exec, errno);
}

struct ChildStart {
  const ChildPlan *plan;
  char *const *argv;
  char *const *envp;
  int errorPipe[2];
};

__attribute__((no_sanitize("address"))) int ChildMain(void *argument)
{
  const auto *start = static_cast<const ChildStart *>(argument);
  close(start->errorPipe[0]);
  RunChild(*start->plan, start->argv, start->envp, start->errorPipe[1]);
}

// Enough for RunChild's few frames; the exec replaces it.
constexpr size_t ChildStackSize = size_t{64} * 1024;

// Starts the child in the launcher's memory until it execs (as posix_spawn does): a fork would
// copy the page tables of a process that holds the browser engine, tens of milliseconds per
// server. Gives the id once the program runs, 0 when the clone or the exec failed.
TProcessId Spawn(ChildPlan &plan)
{
  std::vector<char *> argv = NullTerminated(plan.arguments);
  std::vector<char *> envp = NullTerminated(plan.environment);
  ChildStart start{&plan, argv.data(), envp.data(), {-1, -1}};
  if (pipe2(start.errorPipe, O_CLOEXEC) != 0) {
    lastStartError = std::strerror(errno);
    return 0;
  }
  int *errorPipe = start.errorPipe;
  std::vector<char> stack(ChildStackSize);

  // No handler of the launcher may run in the child before its signals are reset.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  // The launcher's thread waits here until the child has exec'd or ended. The child has its own
  // descriptors, folder and signal handlers: only the memory is shared.
  const pid_t pid = clone(ChildMain, stack.data() + stack.size(), CLONE_VM | CLONE_VFORK | SIGCHLD, &start);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  close(errorPipe[1]);
  if (pid < 0) {
    lastStartError = std::strerror(errno);
    close(errorPipe[0]);
    return 0;
  }

  ChildFailure failure{ChildStep::Exec, 0};
  ssize_t received;
  do
    received = read(errorPipe[0], &failure, sizeof failure);
  while (received < 0 && errno == EINTR);
  close(errorPipe[0]);
  if (received == 0)
    return static_cast<TProcessId>(pid);
  lastStartError = std::strerror(failure.error);
  if (failure.step == ChildStep::WriteConfinement)
    lastStartError = "its writes could not be confined with Landlock (" + lastStartError + ")";
  kill(pid, SIGKILL);
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  return 0;
}

TProcessId StartChild(const std::string &program, const std::string &parameters,
                      const std::string &workingFolder, const StartOptions &options, int errorOutput = -1)
{
  lastStartError.clear();
  ChildPlan plan;
  // The program's path is taken as it is, never through the command line's rules.
  if (program.empty()) {
    lastStartError = "no program named";
    return 0;
  }
  plan.arguments.push_back(program);
  for (std::string &argument : SplitCommandLine(parameters))
    plan.arguments.push_back(std::move(argument));
  plan.executable = ExecutablePath(program);
  plan.environment = ChildEnvironment(options);
  if (DirectoryExists(workingFolder))
    plan.workingFolder = workingFolder;
  plan.parentDeathSignal = options.parentDeathSignal;
  plan.errorOutput = errorOutput;
  plan.parent = getpid();
  plan.descriptorLimit = DescriptorLimit();
  plan.writeRules = options.writeRules;
  return Spawn(plan);
}

} // namespace

std::string LastStartError()
{
  return lastStartError;
}

TProcessId StartProcess(const std::string &program, const std::string &parameters, TShowCommand,
                        const std::string &workingFolder, const StartOptions &options)
{
  int errorOutput = -1;
  if (!options.errorFile.empty()) {
    errorOutput =
        open(options.errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (errorOutput < 0) {
      lastStartError = "\"" + options.errorFile + "\" cannot be created: " + std::strerror(errno);
      return 0;
    }
  }
  const TProcessId id = StartChild(program, parameters, workingFolder, options, errorOutput);
  if (errorOutput >= 0)
    close(errorOutput);
  if (id != 0)
    RememberStartedChild(id);
  return id;
}

TChildEnd StartProcessAndWait(const std::string &program, const std::string &parameters, TShowCommand,
                              const std::string &workingFolder, const StartOptions &options)
{
  int errorPipe[2] = {-1, -1};
  if (options.captureErrors && pipe2(errorPipe, O_CLOEXEC) != 0)
    return {};
  const TProcessId id = StartChild(program, parameters, workingFolder, options, errorPipe[1]);
  TChildEnd end;
  if (errorPipe[1] >= 0) {
    close(errorPipe[1]);
    // Read before the wait: a child that fills the pipe would otherwise wait for us for ever.
    if (id != 0)
      end.errors = ReadToEnd(errorPipe[0]);
    close(errorPipe[0]);
  }
  if (id == 0)
    return end;
  end.started = true;
  int status = 0;
  while (waitpid(static_cast<pid_t>(id), &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status))
    end.exitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    end.signal = WTERMSIG(status);
  return end;
}

TProcessId StartCopyOfThisProcess(bool &isCopy)
{
  lastStartError.clear();
  isCopy = false;
  const pid_t pid = fork();
  if (pid < 0) {
    lastStartError = std::strerror(errno);
    return 0;
  }
  if (pid > 0)
    return static_cast<TProcessId>(pid);
  isCopy = true;
  setpgid(0, 0);
  close_range(3, ~0U, 0);
  return 0;
}

} // namespace Process
