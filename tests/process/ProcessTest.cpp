#include "process/Process.h"
#include "process/ProcessList.h"

#include "support/TestSupport.h"
#include "support/WaitUntil.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace Base;
using namespace Process;
using namespace TestSupport;

namespace
{

const std::string childProgram = CORVALA_TEST_CHILD;

std::string Quoted(const fs::path &path)
{
  return "\"" + path.string() + "\"";
}

char StateOf(TProcessId id)
{
  std::ifstream file("/proc/" + std::to_string(id) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const size_t close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() ? '\0' : stat[close + 2];
}

bool HasNoChildLeft()
{
  return waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
}

using Report = std::multimap<std::string, std::string>;

std::string Only(const Report &report, const std::string &key)
{
  const auto range = report.equal_range(key);
  return std::distance(range.first, range.second) == 1 ? range.first->second : "<" + key + " not once>";
}

std::vector<std::string> All(const Report &report, const std::string &key)
{
  std::vector<std::string> values;
  for (auto [it, end] = report.equal_range(key); it != end; ++it)
    values.push_back(it->second);
  return values;
}

class ProcessTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    // Orphans of the children come to this process, so the tests can see how they end.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    folder = root / "Ünïcödé folder";
    fs::create_directories(folder);
  }

  void TearDown() override
  {
    // Twice: a grandchild comes to this process only once its own parent has gone.
    for (int pass = 0; pass < 2; ++pass)
      for (const TProcessId id : started)
        if (GetParentProcessId(id) == static_cast<TProcessId>(getpid())) {
          killpg(static_cast<pid_t>(id), SIGKILL);
          kill(static_cast<pid_t>(id), SIGKILL);
          waitpid(static_cast<pid_t>(id), nullptr, 0);
        }
  }

  fs::path CopyChild(const std::string &name)
  {
    const fs::path copy = folder / name;
    fs::copy_file(childProgram, copy, fs::copy_options::overwrite_existing);
    return copy;
  }

  TProcessId Start(const fs::path &program, const std::string &parameters, const StartOptions &options = {})
  {
    const TProcessId id = StartProcess(program.string(), parameters, TShowCommand::Hide, "", options);
    if (id != 0)
      started.push_back(id);
    return id;
  }

  // Runs the child's report mode to its end and reads what it wrote.
  Report RunReport(const std::string &program, const std::string &extra = "",
                   TShowCommand showMode = TShowCommand::Normal, const std::string &workingFolder = "",
                   const StartOptions &options = {})
  {
    const fs::path file = root / ("report " + std::to_string(++reports));
    StartProcessAndWait(program, "report " + Quoted(file) + extra, showMode, workingFolder, options);
    Report report;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
      const size_t equals = line.find('=');
      report.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
    return report;
  }

  TProcessId ReadId(const fs::path &file)
  {
    const ::testing::AssertionResult written =
        WaitUntil([&] { return fs::exists(file); }, 60s, "the child to write " + file.string());
    EXPECT_TRUE(written);
    if (!written)
      return 0;
    TProcessId id = 0;
    std::ifstream(file) >> id;
    started.push_back(id);
    return id;
  }

  const TScratchFolder scratch{"corvala proc"};
  const fs::path root = scratch.Path();
  fs::path folder;
  std::vector<TProcessId> started;
  int reports = 0;
};

TEST_F(ProcessTest, CommandLineReachesTheChildAsArguments)
{
  // The program's path is taken as it is, quotes and all; only the parameters are split.
  const fs::path copy = CopyChild("child \"copy\"");
  const std::string program = copy.string();
  const Report report = RunReport(program, " plain \"two  words\" \"\" tab\there");
  const std::vector<std::string> args = All(report, "arg");
  ASSERT_EQ(args.size(), 8u);
  EXPECT_EQ(args[0], copy.string());
  EXPECT_EQ(args[1], "report");
  EXPECT_EQ(std::vector<std::string>(args.begin() + 3, args.end()),
            (std::vector<std::string>{"plain", "two  words", "", "tab", "here"}));
}

TEST_F(ProcessTest, WorkingFolderOnlyWhenItExists)
{
  const std::string current = fs::current_path().string();
  EXPECT_EQ(Only(RunReport(childProgram, "", TShowCommand::Normal, folder.string()), "cwd"), folder.string());
  EXPECT_EQ(Only(RunReport(childProgram, "", TShowCommand::Normal, (root / "missing").string()), "cwd"),
            current);
  EXPECT_EQ(Only(RunReport(childProgram, "", TShowCommand::Normal, CopyChild("a file").string()), "cwd"),
            current);
}

// The child runs in the launcher's memory until its exec; what it changes for itself (signal
// handlers and mask, folder, descriptors, process group) must stay its own.
static void CountSignal(int) {}

TEST_F(ProcessTest, WhatTheChildSetsUpLeavesTheStarterUnchanged)
{
  struct sigaction handler {
  };
  handler.sa_handler = CountSignal;
  struct sigaction before {
  };
  ASSERT_EQ(sigaction(SIGUSR1, &handler, &before), 0);
  sigset_t blocked, mask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR2);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &mask), 0);
  const int kept = open("/dev/null", O_RDONLY);
  ASSERT_GE(kept, 0);
  const std::string current = fs::current_path().string();
  const pid_t group = getpgrp();

  EXPECT_EQ(Only(RunReport(childProgram, "", TShowCommand::Normal, folder.string()), "cwd"), folder.string());
  EXPECT_EQ(Start(root / "missing", ""), 0u);

  struct sigaction after {
  };
  ASSERT_EQ(sigaction(SIGUSR1, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, &CountSignal);
  sigset_t now;
  ASSERT_EQ(pthread_sigmask(SIG_SETMASK, nullptr, &now), 0);
  EXPECT_EQ(sigismember(&now, SIGUSR2), 1);
  EXPECT_EQ(fcntl(kept, F_GETFD), 0);
  EXPECT_EQ(fs::current_path().string(), current);
  EXPECT_EQ(getpgrp(), group);
  close(kept);
  pthread_sigmask(SIG_SETMASK, &mask, nullptr);
  sigaction(SIGUSR1, &before, nullptr);
}

TEST_F(ProcessTest, FailedExecGivesZeroAndLeavesNoChild)
{
  const fs::path text = folder / "not a program";
  std::ofstream(text) << "#!/no/such/interpreter\n";
  fs::permissions(text, fs::perms::owner_all);

  EXPECT_EQ(Start(root / "missing", ""), 0u);
  EXPECT_EQ(Start(text, ""), 0u);
  EXPECT_EQ(Start(folder, ""), 0u);
  EXPECT_EQ(Start("", "x"), 0u);
  EXPECT_EQ(Start("\"\"", "x"), 0u);
  EXPECT_TRUE(HasNoChildLeft());
}

TEST_F(ProcessTest, EnvironmentIsInheritedButNeverTheLaunchersMarker)
{
  ASSERT_EQ(setenv("CORVALA_TEST_MARK", "inherited value", 1), 0);
  ASSERT_EQ(setenv(RelaunchMarkerVariable, "1", 1), 0);
  const std::string marker = std::string(RelaunchMarkerVariable) + "=";
  const auto count = [](const std::vector<std::string> &entries, const std::string &prefix) {
    return std::count_if(entries.begin(), entries.end(),
                         [&](const std::string &e) { return e.starts_with(prefix); });
  };

  for (const TShowCommand showMode : {TShowCommand::Hide, TShowCommand::Normal, TShowCommand::Relaunch}) {
    const int number = static_cast<int>(showMode);
    const std::vector<std::string> env = All(RunReport(childProgram, "", showMode), "env");
    EXPECT_EQ(count(env, "CORVALA_TEST_MARK=inherited value"), 1) << number;
    EXPECT_EQ(count(env, marker), 0) << number;
  }
  unsetenv(RelaunchMarkerVariable);
  unsetenv("CORVALA_TEST_MARK");
}

// Given entries replace the inherited values of their names and nothing else; an entry without
// a name is no name at all.
TEST_F(ProcessTest, GivenEnvironmentEntriesReplaceOnlyTheirOwnNames)
{
  const TestSupport::TEnvOverride replaced("CORVALA_TEST_MARK", "inherited value");
  const TestSupport::TEnvOverride kept("CORVALA_TEST_KEEP", "kept");
  StartOptions options;
  options.environment = {"CORVALA_TEST_MARK=given", "CORVALA_TEST_EMPTY=", "no name", "=value"};
  const std::vector<std::string> env =
      All(RunReport(childProgram, "", TShowCommand::Normal, "", options), "env");
  const auto has = [&](const std::string &entry) { return std::count(env.begin(), env.end(), entry); };
  EXPECT_EQ(has("CORVALA_TEST_MARK=given"), 1);
  EXPECT_EQ(has("CORVALA_TEST_MARK=inherited value"), 0);
  EXPECT_EQ(has("CORVALA_TEST_EMPTY="), 1);
  EXPECT_EQ(has("CORVALA_TEST_KEEP=kept"), 1) << "the rest of the environment is inherited";
}

TEST_F(ProcessTest, WaitGivesHowTheChildEndedAndWhenAskedItsStandardErrorWithoutADisplay)
{
  const char *display = getenv("DISPLAY");
  const std::string oldDisplay = display ? display : "";
  ASSERT_EQ(setenv("DISPLAY", ":97", 1), 0);
  ASSERT_EQ(setenv("WAYLAND_DISPLAY", "wayland-97", 1), 0);
  const StartOptions command{.captureErrors = true, .withoutDisplay = true};

  TChildEnd end = StartProcessAndWait("/bin/sh", "-c \"echo [$DISPLAY$WAYLAND_DISPLAY] >&2; exit 3\"",
                                      TShowCommand::Normal, "", command);
  EXPECT_TRUE(end.started);
  EXPECT_EQ(end.exitCode, 3);
  EXPECT_EQ(end.signal, 0);
  EXPECT_EQ(end.errors, "[]\n");
  EXPECT_FALSE(end.Succeeded());

  // Without the options the display is passed on and standard error stays the launcher's.
  end = StartProcessAndWait("/bin/sh", "-c \"exit ${DISPLAY:+7}\"", TShowCommand::Normal, "");
  EXPECT_EQ(end.exitCode, 7);
  EXPECT_EQ(end.errors, "");

  // More than a pipe holds, then success.
  end = StartProcessAndWait("/bin/sh", "-c \"head -c 300000 /dev/zero >&2\"", TShowCommand::Normal, "",
                            command);
  EXPECT_EQ(end.errors.size(), 300000u);
  EXPECT_TRUE(end.Succeeded());

  end = StartProcessAndWait("/bin/sh", "-c \"kill -TERM $$\"", TShowCommand::Normal, "", command);
  EXPECT_EQ(end.signal, SIGTERM);
  EXPECT_EQ(end.exitCode, -1);
  EXPECT_FALSE(end.Succeeded());

  end = StartProcessAndWait((root / "missing").string(), "", TShowCommand::Normal, "", command);
  EXPECT_FALSE(end.started);
  EXPECT_FALSE(end.Succeeded());

  unsetenv("WAYLAND_DISPLAY");
  if (display)
    setenv("DISPLAY", oldDisplay.c_str(), 1);
  else
    unsetenv("DISPLAY");
  EXPECT_TRUE(HasNoChildLeft());
}

TEST_F(ProcessTest, ChildLeadsItsOwnGroupAndInheritsNoDescriptor)
{
  const int plain = open("/dev/null", O_RDONLY);
  int pipeEnds[2];
  ASSERT_GE(plain, 0);
  ASSERT_EQ(pipe(pipeEnds), 0);

  const Report report = RunReport(childProgram);
  EXPECT_EQ(Only(report, "fds"), "");
  EXPECT_EQ(Only(report, "pgid"), Only(report, "pid"));
  EXPECT_NE(Only(report, "pgid"), std::to_string(getpgid(0)));
  close(plain);
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}

TEST_F(ProcessTest, ProcessExistsOnlyForRunningProcesses)
{
  EXPECT_TRUE(ProcessExists(static_cast<TProcessId>(getpid())));
  EXPECT_FALSE(ProcessExists(0));
  EXPECT_FALSE(ProcessExists(0xFFFFFFFF));
  EXPECT_FALSE(ProcessExists(0x80000000));

  TProcessId threadId = 0;
  std::thread([&threadId] {
    threadId = static_cast<TProcessId>(gettid());
    EXPECT_FALSE(ProcessExists(threadId));
  }).join();
  EXPECT_NE(threadId, static_cast<TProcessId>(getpid()));
}

TEST_F(ProcessTest, ZombieIsNotRunningAndOnlyOurStartsAreReaped)
{
  const TProcessId started = Start(childProgram, "sleep 0");
  const pid_t forked = fork();
  if (forked == 0)
    _exit(3);
  ASSERT_NE(started, 0u);
  ASSERT_TRUE(WaitUntil([&] { return StateOf(started) == 'Z' && StateOf(forked) == 'Z'; }, 60s,
                        "both children to end"));

  EXPECT_FALSE(ProcessExists(started));
  EXPECT_EQ(waitpid(static_cast<pid_t>(started), nullptr, WNOHANG), -1);
  EXPECT_FALSE(ProcessExists(static_cast<TProcessId>(forked)));
  int status = 0;
  ASSERT_EQ(waitpid(forked, &status, WNOHANG), forked);
  EXPECT_EQ(WEXITSTATUS(status), 3);
}

TEST_F(ProcessTest, ReapChildrenCollectsEndedStarts)
{
  const TProcessId first = Start(childProgram, "sleep 0");
  const TProcessId second = Start(childProgram, "sleep 0");
  ASSERT_TRUE(WaitUntil([&] { return StateOf(first) == 'Z' && StateOf(second) == 'Z'; }, 60s,
                        "both children to end"));
  ReapChildren();
  EXPECT_TRUE(HasNoChildLeft());
}

TEST_F(ProcessTest, FindsEveryCopyByItsRealPathInAscendingOrder)
{
  const fs::path copy = CopyChild("server copy");
  const fs::path other = CopyChild("other copy");
  const fs::path link = root / "link to folder";
  fs::create_directory_symlink(folder, link);

  const TProcessId a = Start(copy, "sleep 60");
  const TProcessId b = Start(link / "server copy", "sleep 60");
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  const TCardinalArray expected = {std::min(a, b), std::max(a, b)};

  EXPECT_EQ(GetProcessModulePath(b), copy.string());
  EXPECT_EQ(FindProcessesByPath(copy.string()), expected);
  EXPECT_EQ(FindProcessesByPath((link / "server copy").string()), expected);
  EXPECT_EQ(FindProcessesByPath((folder / "." / "server copy").string()), expected);
  EXPECT_EQ(FindProcessByPath(copy.string()), std::min(a, b));
  EXPECT_TRUE(FindProcessesByPath(other.string()).empty());
  EXPECT_TRUE(FindProcessesByPath(folder.string()).empty());
  EXPECT_TRUE(FindProcessesByPath((root / "missing").string()).empty());
  EXPECT_EQ(FindProcessByPath((root / "missing").string()), 0u);
}

TEST_F(ProcessTest, DeletedProgramFileMatchesNothing)
{
  const fs::path copy = CopyChild("deleted copy");
  const TProcessId old = Start(copy, "sleep 60");
  ASSERT_NE(old, 0u);
  fs::remove(copy);
  EXPECT_TRUE(FindProcessesByPath(copy.string()).empty());
  EXPECT_TRUE(ProcessExists(old));
  EXPECT_EQ(GetProcessModulePath(old), "");

  CopyChild("deleted copy");
  EXPECT_TRUE(FindProcessesByPath(copy.string()).empty());
  const TProcessId fresh = Start(copy, "sleep 60");
  EXPECT_EQ(FindProcessesByPath(copy.string()), TCardinalArray{fresh});
}

TEST_F(ProcessTest, ParentIdsOfWorkerLikeChildren)
{
  // The name shows up in /proc/PID/stat between parentheses.
  const fs::path copy = CopyChild("a) b) (c");
  const TProcessId parent = Start(copy, "spawn " + Quoted(root / "worker") + " 60");
  const TProcessId worker = ReadId(root / "worker");
  ASSERT_NE(parent, 0u);
  ASSERT_NE(worker, 0u);

  EXPECT_EQ(GetParentProcessId(parent), static_cast<TProcessId>(getpid()));
  EXPECT_EQ(GetParentProcessId(worker), parent);
  EXPECT_EQ(GetParentProcessId(static_cast<TProcessId>(getpid())), static_cast<TProcessId>(getppid()));
  EXPECT_EQ(GetParentProcessId(0xFFFFFFFF), 0u);
  TCardinalArray both = {parent, worker};
  std::sort(both.begin(), both.end());
  EXPECT_EQ(FindProcessesByPath(copy.string()), both);
}

TEST_F(ProcessTest, SignalsReachOneProcessOrItsWholeGroup)
{
  const fs::path copy = CopyChild("group leader");
  const TProcessId leader = Start(copy, "spawn " + Quoted(root / "member") + " 60");
  const TProcessId member = ReadId(root / "member");
  ASSERT_NE(member, 0u);

  EXPECT_TRUE(SignalProcess(leader, SIGTERM, false));
  EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(leader); }, 60s, "the group's leader to end"));
  EXPECT_TRUE(ProcessExists(member));
  // The group outlives its leader and keeps the leader's id.
  EXPECT_TRUE(SignalProcess(leader, SIGKILL, true));
  EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(member); }, 60s, "the group's member to end"));

  EXPECT_FALSE(SignalProcess(0, 0, false));
  EXPECT_FALSE(SignalProcess(0, 0, true));
  EXPECT_FALSE(SignalProcess(0xFFFFFFFF, 0, false));
}

TEST_F(ProcessTest, AStoppedProcessIsToldFromARunningOne)
{
  const TProcessId id = Start(childProgram, "sleep 60");
  ASSERT_NE(id, 0u);
  EXPECT_FALSE(IsProcessStopped(id));
  ASSERT_TRUE(SignalProcess(id, SIGSTOP, false));
  EXPECT_TRUE(WaitUntil([&] { return IsProcessStopped(id); }, 60s, "the process to stop"));
  ASSERT_TRUE(SignalProcess(id, SIGCONT, false));
  EXPECT_TRUE(WaitUntil([&] { return !IsProcessStopped(id); }, 60s, "the process to go on"));
  EXPECT_TRUE(KillProcess(id));
  EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(id); }, 60s, "the process to end"));
  EXPECT_FALSE(IsProcessStopped(id));
  EXPECT_FALSE(IsProcessStopped(0));
}

TEST_F(ProcessTest, KillProcessOnlyForRunningProcesses)
{
  const TProcessId id = Start(childProgram, "sleep 60");
  ASSERT_NE(id, 0u);
  EXPECT_TRUE(KillProcess(id));
  EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(id); }, 60s, "the process to end"));
  EXPECT_TRUE(HasNoChildLeft());
  EXPECT_FALSE(KillProcess(id));
  EXPECT_FALSE(TerminateProcessById(id));
  EXPECT_FALSE(KillProcess(0));
}

TEST_F(ProcessTest, DieWithParentSendsTermWhenTheStarterEnds)
{
  StartProcessAndWait(childProgram, "intermediate 1 " + Quoted(root / "dies"), TShowCommand::Normal, "");
  StartProcessAndWait(childProgram, "intermediate 0 " + Quoted(root / "lives"), TShowCommand::Normal, "");
  const TProcessId dies = ReadId(root / "dies");
  const TProcessId lives = ReadId(root / "lives");
  ASSERT_NE(dies, 0u);
  ASSERT_NE(lives, 0u);

  int status = 0;
  ASSERT_TRUE(WaitUntil(
      [&] { return waitpid(static_cast<pid_t>(dies), &status, WNOHANG) == static_cast<pid_t>(dies); }, 60s,
      "the child that dies with its parent to end"));
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_EQ(waitpid(static_cast<pid_t>(lives), nullptr, WNOHANG), 0);
  EXPECT_TRUE(ProcessExists(lives));
}

TEST_F(ProcessTest, TerminateCurrentProcessEndsAtOnceWithCodeZero)
{
  const pid_t child = fork();
  if (child == 0) {
    std::atexit([] { _exit(7); });
    TerminateCurrentProcess();
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace

TEST_F(ProcessTest, AFailedStartSaysWhyAndAnErrorFileTakesTheChildsStandardError)
{
  const fs::path text = folder / "not executable";
  std::ofstream(text) << "plain text\n";
  fs::permissions(text, fs::perms::owner_read | fs::perms::owner_write);
  const fs::path noInterpreter = folder / "no interpreter";
  std::ofstream(noInterpreter) << "#!/no/such/interpreter\n";
  fs::permissions(noInterpreter, fs::perms::owner_all);

  EXPECT_EQ(Start(text, ""), 0u);
  EXPECT_EQ(LastStartError(), "Permission denied");
  EXPECT_EQ(Start(noInterpreter, ""), 0u);
  EXPECT_EQ(LastStartError(), "No such file or directory");

  // The file is emptied first: what it holds is this run's alone.
  const std::string errors = (folder / "errors.log").string();
  std::ofstream(errors) << "an earlier run\n";
  const TProcessId child = Start("/bin/sh", "-c \"echo said on its way out >&2\"", {.errorFile = errors});
  ASSERT_NE(child, 0u);
  EXPECT_EQ(LastStartError(), "");
  ASSERT_TRUE(WaitUntil([&] { return StateOf(child) == 'Z'; }, 60s, "the child to end"));
  EXPECT_EQ(ReadBytes(errors), "said on its way out\n");
}

TEST_F(ProcessTest, EndStartedChildLeavesNoZombieAndSparesOtherIds)
{
  const TProcessId running = Start(childProgram, "sleep 60");
  const TProcessId ended = Start(childProgram, "sleep 0");
  ASSERT_NE(running, 0u);
  ASSERT_TRUE(WaitUntil([&] { return StateOf(ended) == 'Z'; }, 60s, "the second child to end"));
  const pid_t forked = fork();
  if (forked == 0) {
    pause();
    _exit(0);
  }

  EndStartedChild(running);
  EndStartedChild(ended);
  EXPECT_EQ(StateOf(running), '\0');
  EXPECT_EQ(StateOf(ended), '\0');
  // Not a start of ours: its owner reaps it.
  EndStartedChild(static_cast<TProcessId>(forked));
  EXPECT_TRUE(ProcessExists(static_cast<TProcessId>(forked)));
  kill(forked, SIGKILL);
  waitpid(forked, nullptr, 0);
  EXPECT_TRUE(HasNoChildLeft());
}

// The copy runs on as this program, in a process group of its own and with only the standard
// descriptors, as a started program would.
TEST_F(ProcessTest, TheCopyOfThisProcessLeadsItsOwnGroupAndKeepsOnlyTheStandardDescriptors)
{
  int inherited[2];
  ASSERT_EQ(pipe(inherited), 0);
  bool isCopy = false;
  const TProcessId copy = StartCopyOfThisProcess(isCopy);
  if (isCopy) {
    const bool ownGroup = getpgid(0) == getpid();
    const bool closed = fcntl(inherited[0], F_GETFD) < 0 && fcntl(inherited[1], F_GETFD) < 0;
    const bool standard = fcntl(STDERR_FILENO, F_GETFD) >= 0;
    _exit((ownGroup ? 0 : 1) | (closed ? 0 : 2) | (standard ? 0 : 4));
  }
  close(inherited[0]);
  close(inherited[1]);
  ASSERT_NE(copy, 0u) << LastStartError();
  EXPECT_FALSE(isCopy);
  int status = 0;
  ASSERT_EQ(waitpid(static_cast<pid_t>(copy), &status, 0), static_cast<pid_t>(copy));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: shares the group, 2: kept a descriptor, 4: lost standard error";
}
