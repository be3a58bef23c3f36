#include "files/FileLock.h"

#include "support/TestSupport.h"

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>

using namespace Files;
using namespace TestSupport;

namespace
{

// A child process that holds a lock on a file until it is killed.
class TLockHolder
{
public:
  enum class Kind { Flock, RecordLock };

  TLockHolder(const fs::path &file, Kind kind)
  {
    int fds[2];
    if (pipe(fds) != 0)
      throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const int fd = open(file.c_str(), O_RDWR);
      struct flock record {
      };
      record.l_type = F_WRLCK;
      record.l_whence = SEEK_SET;
      const bool locked =
          fd >= 0 && (kind == Kind::Flock ? flock(fd, LOCK_EX) == 0 : fcntl(fd, F_SETLK, &record) == 0);
      const char answer = locked ? 'L' : 'E';
      if (write(fds[1], &answer, 1) != 1 || !locked)
        _exit(1);
      for (;;)
        pause();
    }
    close(fds[1]);
    char answer = 0;
    locked_ = read(fds[0], &answer, 1) == 1 && answer == 'L';
    close(fds[0]);
  }
  ~TLockHolder() { Stop(); }
  TLockHolder(const TLockHolder &) = delete;
  TLockHolder &operator=(const TLockHolder &) = delete;

  bool locked() const { return locked_; }
  void Stop()
  {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

private:
  pid_t pid_ = -1;
  bool locked_ = false;
};

} // namespace

TEST(IsFileLocked, MissingFolderAndFreeFileAreNotLocked)
{
  TScratchFolder scratch;
  const fs::path file = scratch.Path() / "free \"file\"\nname ü";
  WriteBytes(file, "x");
  EXPECT_FALSE(IsFileLocked(scratch.File("missing")));
  EXPECT_FALSE(IsFileLocked(scratch.Path().string()));
  EXPECT_FALSE(IsFileLocked(file.string()));
  // Asking must not leave a lock behind.
  EXPECT_FALSE(IsFileLocked(file.string()));
}

TEST(IsFileLocked, ReadOnlyFileIsLocked)
{
  TScratchFolder scratch;
  const fs::path file = scratch.Path() / "read only";
  WriteBytes(file, "x");
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  EXPECT_TRUE(IsFileLocked(file.string()));
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  EXPECT_FALSE(IsFileLocked(file.string()));
}

TEST(IsFileLocked, RunningExecutableIsLockedUntilItEnds)
{
  TScratchFolder scratch;
  const fs::path program = scratch.Path() / "my sleep";
  fs::copy_file("/bin/sleep", program);
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  EXPECT_FALSE(IsFileLocked(program.string()));

  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    execl(program.c_str(), "sleep", "600", static_cast<char *>(nullptr));
    const char failed = 'E';
    static_cast<void>(write(fds[1], &failed, 1));
    _exit(127);
  }
  close(fds[1]);
  char byte = 0;
  // End of file on the pipe means the child's exec closed it: the program is now running.
  const ssize_t got = read(fds[0], &byte, 1);
  close(fds[0]);
  ASSERT_EQ(got, 0) << "exec failed";

  EXPECT_TRUE(IsFileLocked(program.string()));
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_FALSE(IsFileLocked(program.string()));
}

TEST(IsFileLocked, LockHeldByAnotherProcess)
{
  TScratchFolder scratch;
  const fs::path file = scratch.Path() / "held file";
  WriteBytes(file, "x");
  for (const auto kind : {TLockHolder::Kind::Flock, TLockHolder::Kind::RecordLock}) {
    TLockHolder holder(file, kind);
    ASSERT_TRUE(holder.locked());
    EXPECT_TRUE(IsFileLocked(file.string()));
    holder.Stop();
    EXPECT_FALSE(IsFileLocked(file.string()));
  }
}
