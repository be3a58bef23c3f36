#include "utils/FileText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AppUtils
{

namespace
{

// Closes the descriptor when the scope ends, however it ends.
class TFd
{
public:
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd()
  {
    if (fd_ >= 0)
      close(fd_);
  }
  TFd(const TFd &) = delete;
  TFd &operator=(const TFd &) = delete;
  int Get() const { return fd_; }
  bool Close()
  {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

private:
  int fd_;
};

std::string FolderOf(const std::string &path)
{
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a write should land in: the target of a symlink, so the link itself survives.
std::string WriteTarget(const std::string &path)
{
  struct stat st {
  };
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
    return path;
  char *resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr)
    return path;
  std::string target(resolved);
  free(resolved);
  return target;
}

} // namespace

std::optional<std::string> ReadRegularFile(const std::string &path)
{
  struct stat st {
  };
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  TFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.Get() < 0 || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return std::nullopt;
    if (n == 0)
      return content;
    content.append(buffer, static_cast<size_t>(n));
  }
}

bool WriteAll(int fd, std::string_view data)
{
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

int ReplaceFileAtomically(const std::string &path, const TContentWriter &writeContent, mode_t newMode)
{
  const std::string target = WriteTarget(path);
  struct stat old {
  };
  const bool exists = stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode))
    return S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
  const std::string folder = FolderOf(target);
  std::string temp = folder + "/.new-XXXXXX";
  TFd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (fd.Get() < 0)
    return errno;
  int error = 0;
  const auto check = [&error](bool ok) {
    if (!ok && error == 0)
      error = errno != 0 ? errno : EIO;
  };
  // Only a privileged caller may hand the new file to another owner, so that step is best effort.
  if (exists && fchown(fd.Get(), old.st_uid, old.st_gid) != 0)
    errno = 0;
  check(fchmod(fd.Get(), exists ? (old.st_mode & 07777) : newMode) == 0);
  if (error == 0) {
    errno = 0;
    check(writeContent(fd.Get()));
  }
  if (error == 0)
    check(fsync(fd.Get()) == 0);
  check(fd.Close());
  if (error == 0)
    check(rename(temp.c_str(), target.c_str()) == 0);
  if (error != 0) {
    unlink(temp.c_str());
    return error;
  }
  // Makes the rename itself durable; the content is already safe, so a failure here is not reported.
  TFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0)
    fsync(dir.Get());
  return 0;
}

} // namespace AppUtils
