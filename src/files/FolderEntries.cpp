#include "files/FolderEntries.h"

#include "base/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>

using namespace Base;

namespace Files
{

TStringArray ReadEntryNames(int dirFd)
{
  TStringArray names;
  // The listing gets its own descriptor: closedir closes it, the caller's stays open.
  const int listFd = dup(dirFd);
  if (listFd < 0)
    return names;
  DIR *dir = fdopendir(listFd);
  if (dir == nullptr) {
    close(listFd);
    return names;
  }
  while (const dirent *entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      names.push_back(name);
  }
  closedir(dir);
  return names;
}

TStringArray ReadEntryNames(const std::string &folder)
{
  const TUniqueFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir ? ReadEntryNames(dir.get()) : TStringArray();
}

} // namespace Files
