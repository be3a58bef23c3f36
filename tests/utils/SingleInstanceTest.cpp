#include "utils/SingleInstance.h"

#include "utils/TestSupport.h"

#include <csignal>

using namespace AppUtils;
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
  const TTmpDirOverride tmp(scratch.Path().string());
  const std::string name = UniqueName("twice");

  EXPECT_TRUE(IsFirstInstance(name));
  EXPECT_FALSE(IsFirstInstance(name));
  EXPECT_EQ(ModeOf(scratch.Path() / (name + ".lock")), 0600);
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
  const TTmpDirOverride tmp(scratch.Path().string());
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

TEST(IsFirstInstance, PlantedSymlinkIsNotFollowed)
{
  TScratchFolder scratch;
  const TTmpDirOverride tmp(scratch.Path().string());
  const std::string name = UniqueName("planted");
  const fs::path victim = scratch.Path() / "victim";
  fs::create_symlink(victim, scratch.Path() / (name + ".lock"));

  EXPECT_FALSE(IsFirstInstance(name));
  EXPECT_FALSE(Exists(victim));
  EXPECT_FALSE(IsFirstInstance("../" + name));
}
