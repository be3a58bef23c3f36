#include "files/FileText.h"

#include "base/UniqueFd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Base;

namespace Files
{

namespace
{

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
  TUniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd.get(), buffer, sizeof buffer);
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

int ReplaceFileAtomically(const std::string &path, const TContentWriter &writeContent, mode_t newMode,
                          TDurability durability)
{
  const bool flush = durability == TDurability::Durable;
  const std::string target = WriteTarget(path);
  struct stat old {
  };
  const bool exists = stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode))
    return S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
  const std::string folder = FolderOf(target);
  std::string temp = folder + "/.new-XXXXXX";
  TUniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0)
    return errno;
  int error = 0;
  const auto check = [&error](bool ok) {
    if (!ok && error == 0)
      error = errno != 0 ? errno : EIO;
  };
  // Only a privileged caller may hand the new file to another owner, so that step is best effort.
  if (exists && fchown(fd.get(), old.st_uid, old.st_gid) != 0)
    errno = 0;
  check(fchmod(fd.get(), exists ? (old.st_mode & 07777) : newMode) == 0);
  if (error == 0) {
    errno = 0;
    check(writeContent(fd.get()));
  }
  if (error == 0 && flush)
    check(fsync(fd.get()) == 0);
  check(close(fd.release()) == 0);
  if (error == 0)
    check(rename(temp.c_str(), target.c_str()) == 0);
  if (error != 0) {
    unlink(temp.c_str());
    return error;
  }
  if (!flush)
    return 0;
  // Makes the rename itself durable; the content is already safe, so a failure here is not reported.
  TUniqueFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0)
    fsync(dir.get());
  return 0;
}

} // namespace Files
