#include "stack/host/SingleInstance.h"

#include "support/TestSupport.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/wait.h>

using namespace Host;
using namespace TestSupport;

namespace
{

// Names are process-wide, so each test takes its own.
std::string UniqueName(const std::string &tag)
{
  return "corvala-test-" + tag + "-" + std::to_string(getpid());
}

} // namespace

TEST(IsFirstInstance, SecondCallInTheSameProcessIsFalse)
{
  TScratchFolder scratch;
  const TEnvOverride runtime("XDG_RUNTIME_DIR", scratch.Path().string());
  const std::string name = UniqueName("twice");

  EXPECT_TRUE(IsFirstInstance(name));
  EXPECT_FALSE(IsFirstInstance(name));
  EXPECT_EQ(ModeOf(scratch.Path() / "corvala" / (name + ".lock")), 0600);
  EXPECT_TRUE(IsFirstInstance(UniqueName("other")));

  // A forked child shares the held lock and the record of it.
  const pid_t pid = fork();
  if (pid == 0)
    _exit(IsFirstInstance(name) ? 1 : 0);
  int status = -1;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(IsFirstInstance, AnotherProcessHoldingTheNameWins)
{
  TScratchFolder scratch;
  const TEnvOverride runtime("XDG_RUNTIME_DIR", scratch.Path().string());
  const std::string name = UniqueName("shared");

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const char answer = IsFirstInstance(name) ? 'Y' : 'N';
    if (write(fds[1], &answer, 1) != 1)
      _exit(1);
    for (;;)
      pause();
  }
  close(fds[1]);
  char answer = 0;
  ASSERT_EQ(read(fds[0], &answer, 1), 1);
  close(fds[0]);
  EXPECT_EQ(answer, 'Y');

  EXPECT_FALSE(IsFirstInstance(name));
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_TRUE(IsFirstInstance(name));
}

TEST(IsFirstInstance, ALockThatCannotBeOpenedIsAnErrorNotAnotherInstance)
{
  TScratchFolder scratch;
  const TEnvOverride runtime("XDG_RUNTIME_DIR", scratch.Path().string());
  const std::string name = UniqueName("planted");
  const fs::path folder = scratch.Path() / "corvala";
  fs::create_directory(folder);
  const fs::path victim = scratch.Path() / "victim";
  fs::create_symlink(victim, folder / (name + ".lock"));

  EXPECT_THROW(IsFirstInstance(name), std::runtime_error);
  EXPECT_FALSE(Exists(victim));
  EXPECT_THROW(IsFirstInstance("../" + name), std::runtime_error);
  EXPECT_THROW(IsFirstInstance(""), std::runtime_error);
}

// The locks live in the user's own folder: a lock file that another user left in the temporary
// folder (as an earlier run as root did) is no obstacle, and none are added to the shared folder.
TEST(IsFirstInstance, LocksAreKeptInTheUsersOwnFolderNotTheSharedTemporaryOne)
{
  TScratchFolder scratch;
  const TTmpDirOverride tmp((scratch.Path() / "tmp").string());
  fs::create_directory(scratch.Path() / "tmp");
  fs::create_directory(scratch.Path() / "home");
  const TEnvOverride runtime("XDG_RUNTIME_DIR", std::nullopt);
  const TEnvOverride cache("XDG_CACHE_HOME", std::nullopt);
  const TEnvOverride home("HOME", (scratch.Path() / "home").string());
  const std::string name = UniqueName("home");
  WriteBytes(scratch.Path() / "tmp" / (name + ".lock"), "");
  if (geteuid() == 0) {
    ASSERT_EQ(chown((scratch.Path() / "tmp" / (name + ".lock")).c_str(), 65534, 65534), 0);
  }
  chmod((scratch.Path() / "tmp" / (name + ".lock")).c_str(), 0400);

  EXPECT_TRUE(IsFirstInstance(name));
  EXPECT_TRUE(Exists(scratch.Path() / "home/.cache/corvala" / (name + ".lock")));
  EXPECT_EQ(ModeOf(scratch.Path() / "home/.cache/corvala"), 0700);
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path() / "tmp"), fs::directory_iterator()), 1);
}

// The lock file goes with the instance, and the next start takes a new one.
TEST(ReleaseInstance, RemovesTheLockFileAndTheNextStartTakesANewOne)
{
  TScratchFolder scratch;
  const TEnvOverride runtime("XDG_RUNTIME_DIR", scratch.Path().string());
  const std::string name = UniqueName("release");
  const fs::path lock = scratch.Path() / "corvala" / (name + ".lock");
  ASSERT_TRUE(IsFirstInstance(name));
  // A start that opened the file while this instance still ran.
  const int early = open(lock.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(early, 0);
  ReleaseInstance(name);
  EXPECT_FALSE(fs::exists(lock));
  ReleaseInstance(name);

  // The early opener now gets its flock on a file no one else can find; that keeps no later start
  // out.
  ASSERT_EQ(flock(early, LOCK_EX | LOCK_NB), 0);
  const pid_t pid = fork();
  if (pid == 0)
    _exit(IsFirstInstance(name) ? 0 : 1);
  int status = -1;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(early);
  EXPECT_TRUE(IsFirstInstance(name));
  ReleaseInstance(name);
}

TEST(RequestShow, SaysWhyARequestCannotBeLeftAndTheInstanceSeesWhatIsInTheWay)
{
  TScratchFolder scratch;
  const TEnvOverride runtime("XDG_RUNTIME_DIR", scratch.Path().string());
  const std::string name = UniqueName("show");
  const fs::path request = scratch.Path() / "corvala" / (name + ".show");
  EXPECT_FALSE(ShowRequestProblem(name).has_value());
  RequestShow(name);
  EXPECT_FALSE(ShowRequestProblem(name).has_value());
  EXPECT_TRUE(TakeShowRequest(name));
  EXPECT_FALSE(TakeShowRequest(name));

  fs::create_directory(request);
  try {
    RequestShow(name);
    ADD_FAILURE() << "a request was left where a folder stands";
  } catch (const std::runtime_error &error) {
    EXPECT_EQ(std::string(error.what()), "\"" + request.string() + "\" cannot be created: Is a directory");
  }
  const std::optional<std::string> problem = ShowRequestProblem(name);
  ASSERT_TRUE(problem.has_value());
  EXPECT_NE(problem->find(request.string() + "\" is not a file"), std::string::npos) << *problem;
}
