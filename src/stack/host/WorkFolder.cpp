#include "stack/host/WorkFolder.h"

#include "digest/Md5.h"
#include "files/OwnFolder.h"
#include "files/Paths.h"
#include "files/TempFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace Files;
using namespace Digest;

namespace Host
{

namespace
{

// The name is fixed, so another account can take it first in a shared temporary folder; the
// variable moves the whole work folder somewhere else.
constexpr char OtherPlaceHint[] =
    " To start anyway, start the program with TMPDIR set to a private folder of yours (for example "
    "TMPDIR=~/.cache).";

// Room the servers need for their configuration, logs, sessions and socket besides what they had.
constexpr unsigned long long MinimumFreeBytes = 4ULL * 1024 * 1024;

[[noreturn]] void CannotWrite(const std::string &path, const std::string &reason)
{
  throw std::runtime_error("The work folder \"" + path + "\" cannot be written: " + reason + "." +
                           OtherPlaceHint);
}

} // namespace

std::string WorkFolderPathFor(const std::string &programPath)
{
  return GetTempFolder() + "/" + Md5Hex(programPath);
}

std::string GetTempWorkFolder()
{
  std::string path = WorkFolderPathFor(GetProgramPath());
  try {
    EnsureOwnFolder(path, "Work folder");
  } catch (const std::runtime_error &error) {
    throw std::runtime_error(error.what() + std::string(".") + OtherPlaceHint);
  }
  return path;
}

void CheckWorkFolderWritable(const std::string &path)
{
  const std::string probe = path + "/.write-test";
  const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0)
    CannotWrite(path, std::strerror(errno));
  close(fd);
  unlink(probe.c_str());
  struct statvfs fs {
  };
  if (statvfs(path.c_str(), &fs) != 0)
    return;
  const unsigned long long freeBytes = static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
  if (freeBytes < MinimumFreeBytes)
    CannotWrite(path, "only " + std::to_string(freeBytes / 1024) +
                          " KB are free on its disk, and the servers need " +
                          std::to_string(MinimumFreeBytes / 1024 / 1024) + " MB");
}

} // namespace Host
