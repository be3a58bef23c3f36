#include "files/FileTree.h"

#include "files/Paths.h"
#include "files/ReadOnly.h"

#include <dirent.h>
#include <memory>
#include <sys/stat.h>

using namespace Base;

namespace Files
{

namespace
{

struct DirCloser {
  void operator()(DIR *dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsDotName(const std::string &name)
{
  return name == "." || name == "..";
}

bool IsSymlink(const std::string &path)
{
  struct stat st {
  };
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool SetTreeReadOnlyImpl(const std::string &folder, bool readOnly)
{
  if (!SetFileReadOnly(folder, readOnly))
    return false;
  DirHandle dir(opendir(folder.c_str()));
  if (!dir)
    return false;
  while (const dirent *entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (IsDotName(name))
      continue;
    const std::string path = folder + "/" + name;
    // A symlink may lead out of the tree or back up into it; the attribute belongs to its target.
    if (IsSymlink(path))
      continue;
    const bool ok = FileExists(path) ? SetFileReadOnly(path, readOnly) : SetTreeReadOnlyImpl(path, readOnly);
    if (!ok)
      return false;
  }
  return true;
}

} // namespace

bool DeleteFolder(const std::string &path)
{
  try {
    if (DirectoryExists(path))
      ShellDelete(path);
    return !DirectoryExists(path);
  } catch (...) {
    return false;
  }
}

bool DeleteFileSilently(const std::string &path)
{
  try {
    if (FileExists(path))
      ShellDelete(path);
    return !FileExists(path);
  } catch (...) {
    return false;
  }
}

bool SetTreeReadOnly(const std::string &folder, bool readOnly)
{
  try {
    return DirectoryExists(folder) && SetTreeReadOnlyImpl(folder, readOnly);
  } catch (...) {
    return false;
  }
}

TStringArray ListEntryNames(const std::string &folder)
{
  TStringArray names;
  try {
    if (!DirectoryExists(folder))
      return names;
    DirHandle dir(opendir(folder.c_str()));
    if (!dir)
      return names;
    while (const dirent *entry = readdir(dir.get()))
      names.emplace_back(entry->d_name);
  } catch (...) {
    names.clear();
  }
  return names;
}

namespace
{

TStringArray ListEntriesWhere(const std::string &folder, bool wantFolders)
{
  TStringArray result;
  try {
    for (auto &name : ListEntryNames(folder)) {
      if (!IsDotName(name) && DirectoryExists(folder + "/" + name) == wantFolders)
        result.push_back(std::move(name));
    }
  } catch (...) {
    result.clear();
  }
  return result;
}

} // namespace

TStringArray ListSubfolderNames(const std::string &folder)
{
  return ListEntriesWhere(folder, true);
}

TStringArray ListFileNames(const std::string &folder)
{
  return ListEntriesWhere(folder, false);
}

} // namespace Files
