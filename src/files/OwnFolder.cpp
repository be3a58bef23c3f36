#include "files/OwnFolder.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace Files
{

void EnsureOwnFolder(const std::string &path, const std::string &kind, bool makePrivate)
{
  auto refuse = [&](const std::string &reason) {
    throw std::runtime_error(kind + " \"" + path + "\" " + reason);
  };
  auto refuseWithError = [&](const std::string &reason) {
    const int error = errno;
    refuse(reason + ": " + std::strerror(error));
  };
  struct stat st {
  };
  if (lstat(path.c_str(), &st) != 0) {
    // Another process may create it between the look and the creation; EEXIST is then fine.
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
      refuseWithError("cannot be created");
    if (lstat(path.c_str(), &st) != 0)
      refuseWithError("cannot be examined");
  }
  if (S_ISLNK(st.st_mode))
    refuse("is a symbolic link; refusing to use it");
  if (!S_ISDIR(st.st_mode))
    refuse("exists but is not a folder; refusing to use it");
  if (st.st_uid != geteuid())
    refuse("belongs to another user (uid " + std::to_string(st.st_uid) + "); refusing to use it");
  if (makePrivate && (st.st_mode & 0077) != 0 && chmod(path.c_str(), 0700) != 0)
    refuseWithError("cannot be made private");
}

} // namespace Files
