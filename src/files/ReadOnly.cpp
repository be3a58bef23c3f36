#include "files/ReadOnly.h"

#include <sys/stat.h>

namespace Files
{

bool SetFileReadOnly(const std::string &path, bool readOnly)
{
  struct stat st {
  };
  if (path.empty() || stat(path.c_str(), &st) != 0)
    return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  return chmod(path.c_str(), mode) == 0;
}

} // namespace Files
