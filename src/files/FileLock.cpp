#include "files/FileLock.h"

#include "base/UniqueFd.h"
#include "files/Paths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

using namespace Base;

namespace Files
{

namespace
{

bool HasRecordLock(int fd)
{
  struct flock probe {
  };
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  return fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

} // namespace

bool IsFileLocked(const std::string &path)
{
  if (!FileExists(path))
    return false;
  TUniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd)
    return true;
  struct stat st {
  };
  // Root opens read-only files for writing all the same; the missing write bits still mean read-only.
  if (fstat(fd.get(), &st) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    return true;
  if (HasRecordLock(fd.get()))
    return true;
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
    return true;
  flock(fd.get(), LOCK_UN);
  return false;
}

} // namespace Files
