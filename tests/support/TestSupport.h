#pragma once

// Helpers shared by the test programs: scratch folders, whole-file bytes, modes, $TMPDIR, shell
// commands, whether a process pauses, and running a piece of code in a child process as the
// unprivileged user "nobody".

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace TestSupport
{

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// A fresh folder under the temporary folder, removed with everything in it at the end of the test.
class TScratchFolder
{
public:
  explicit TScratchFolder(const std::string &prefix = "corvala-test")
  {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TScratchFolder()
  {
    std::error_code error;
    // Read-only folders inside would stop the removal of their entries for a non-root user.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
    for (auto it = fs::recursive_directory_iterator(path_, error); !error && it != fs::end(it);
         it.increment(error))
      if (it->is_directory(error) && !it->is_symlink(error))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path_, error);
  }
  TScratchFolder(const TScratchFolder &) = delete;
  TScratchFolder &operator=(const TScratchFolder &) = delete;

  const fs::path &Path() const { return path_; }

  // Path of name inside the folder.
  std::string File(const std::string &name) const { return (path_ / name).string(); }

  // Writes the file name inside the folder, parent folders created, and gives its path.
  std::string Write(const std::string &name, const std::string &bytes) const
  {
    const fs::path file = path_ / name;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
    return file.string();
  }

  // Text with every "{root}" replaced by the folder's path, for expected file contents.
  std::string Fill(std::string text) const
  {
    const std::string root = path_.string();
    for (size_t at = text.find("{root}"); at != std::string::npos; at = text.find("{root}", at + root.size()))
      text.replace(at, 6, root);
    return text;
  }

private:
  fs::path path_;
};

// Sets an environment variable (or, with no value, removes it) for the life of the object and
// puts the old value back.
class TEnvOverride
{
public:
  TEnvOverride(const char *name, const std::optional<std::string> &value) : name_(name)
  {
    const char *old = std::getenv(name);
    if (old != nullptr)
      old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~TEnvOverride()
  {
    if (old_)
      setenv(name_.c_str(), old_->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  TEnvOverride(const TEnvOverride &) = delete;
  TEnvOverride &operator=(const TEnvOverride &) = delete;

private:
  std::string name_;
  std::optional<std::string> old_;
};

// Points $TMPDIR somewhere for the life of the object.
class TTmpDirOverride : public TEnvOverride
{
public:
  explicit TTmpDirOverride(const std::string &value) : TEnvOverride("TMPDIR", value) {}
};

inline void WriteBytes(const fs::path &path, const std::string &bytes)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out)
    throw std::runtime_error("cannot write " + path.string());
}

inline std::string ReadBytes(const fs::path &path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Permission bits (07777) of the path itself; symlinks are not followed. -1 when it is missing.
inline int ModeOf(const fs::path &path)
{
  struct stat st {
  };
  if (lstat(path.c_str(), &st) != 0)
    return -1;
  return static_cast<int>(st.st_mode & 07777);
}

inline bool Exists(const fs::path &path)
{
  struct stat st {
  };
  return lstat(path.c_str(), &st) == 0;
}

// Runs body in a forked child that has dropped root, supplementary groups included, for the user
// nobody; gives the child's exit code (body's result, so 1 for true and 0 for false), 120 when the
// child could not drop root, or -1 when it did not exit normally. Body must not use gtest assertions.
inline int RunAsNobody(const std::function<int()> &body)
{
  const pid_t pid = fork();
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
      _exit(120);
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}

// Hands a whole tree to nobody so that a child running as nobody owns it.
inline void GiveToNobody(const fs::path &root)
{
  EXPECT_EQ(lchown(root.c_str(), kNobody, kNobody), 0);
  for (const auto &entry : fs::recursive_directory_iterator(root))
    EXPECT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
}

// Whether the process is asleep in a timed pause right now (its current system call is a sleep), as
// a command is while it waits for another program to end.
inline bool IsPausing(pid_t pid)
{
  std::ifstream file("/proc/" + std::to_string(pid) + "/syscall");
  long call = -1;
  file >> call;
#ifdef SYS_nanosleep
  if (call == SYS_nanosleep)
    return true;
#endif
  return call == SYS_clock_nanosleep;
}

struct RunResult {
  int ExitCode;       // -1 when the shell did not exit normally
  std::string Output; // standard output and standard error
};

// Runs a command line through the shell.
inline RunResult RunCommand(const std::string &commandLine)
{
  FILE *pipe = popen((commandLine + " 2>&1").c_str(), "r");
  if (pipe == nullptr)
    return {-1, ""};
  std::string output;
  char buffer[4096];
  while (const size_t got = fread(buffer, 1, sizeof buffer, pipe))
    output.append(buffer, got);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// The text as one word of a shell command line.
inline std::string ShellQuoted(const std::string &text)
{
  std::string quoted = "'";
  for (const char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

} // namespace TestSupport
