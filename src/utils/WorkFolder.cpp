#include "utils/WorkFolder.h"

#include "utils/Md5.h"
#include "utils/Paths.h"
#include "utils/TempFolder.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace AppUtils
{

namespace
{

[[noreturn]] void Refuse(const std::string &path, const std::string &reason)
{
  throw std::runtime_error("Work folder \"" + path + "\" " + reason);
}

} // namespace

std::string WorkFolderPathFor(const std::string &programPath)
{
  return GetTempFolder() + "/" + Md5Hex(programPath);
}

std::string GetTempWorkFolder()
{
  const std::string path = WorkFolderPathFor(GetProgramPath());
  struct stat st {
  };
  if (lstat(path.c_str(), &st) != 0) {
    // Another process may create it between the look and the creation; EEXIST is then fine.
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
      const int error = errno;
      Refuse(path, std::string("cannot be created: ") + std::strerror(error));
    }
    if (lstat(path.c_str(), &st) != 0) {
      const int error = errno;
      Refuse(path, std::string("cannot be examined: ") + std::strerror(error));
    }
  }
  if (S_ISLNK(st.st_mode))
    Refuse(path, "is a symbolic link; refusing to use it");
  if (!S_ISDIR(st.st_mode))
    Refuse(path, "exists but is not a folder; refusing to use it");
  if (st.st_uid != geteuid())
    Refuse(path, "belongs to another user (uid " + std::to_string(st.st_uid) + "); refusing to use it");
  return path;
}

} // namespace AppUtils
