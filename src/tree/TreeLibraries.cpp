#include "tree/TreeLibraries.h"

#include "files/FileTree.h"
#include "files/FolderEntries.h"
#include "tree/ElfNeeded.h"

#include <map>
#include <sys/stat.h>

using namespace Files;
using namespace Tree;

namespace Corvala
{

namespace
{

// Modules that a library opens by path at run time, so no ELF file names them: NSS's soft token,
// trust and database modules, opened from libnss3's own folder.
const std::map<std::string, std::vector<std::string>> &RunTimeModules()
{
  static const std::map<std::string, std::vector<std::string>> modules = {
      {"libnss3.so",
       {"libsoftokn3.so", "libfreebl3.so", "libfreeblpriv3.so", "libnssckbi.so", "libnssdbm3.so"}}};
  return modules;
}

bool IsRegularFile(const std::string &path)
{
  struct stat info {
  };
  return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void CollectElfFiles(const std::string &folder, const std::vector<std::string> &skip,
                     std::vector<std::string> &files)
{
  for (const std::string &name : ReadEntryNames(folder)) {
    const std::string path = folder + "/" + name;
    struct stat info {
    };
    if (lstat(path.c_str(), &info) != 0)
      continue;
    if (S_ISDIR(info.st_mode)) {
      bool skipped = false;
      for (const std::string &other : skip)
        skipped = skipped || path == other;
      if (!skipped)
        CollectElfFiles(path, skip, files);
    } else if (S_ISREG(info.st_mode) && IsElfFile(path)) {
      files.push_back(path);
    }
  }
}

} // namespace

std::vector<std::string> ElfFilesBelow(const std::string &folder, const std::vector<std::string> &skip)
{
  std::vector<std::string> skipPaths;
  skipPaths.reserve(skip.size());
  for (const std::string &relative : skip)
    skipPaths.push_back(folder + "/" + relative);
  std::vector<std::string> files;
  CollectElfFiles(folder, skipPaths, files);
  return files;
}

std::set<std::string> NeededLibraries(const std::string &libraryFolder,
                                      const std::vector<std::string> &programs)
{
  std::set<std::string> needed;
  std::vector<std::string> pending = programs;
  const auto want = [&](const std::string &name) {
    const std::string path = libraryFolder + "/" + name;
    if (!needed.contains(name) && IsRegularFile(path)) {
      needed.insert(name);
      pending.push_back(path);
    }
  };
  while (!pending.empty()) {
    const std::string file = pending.back();
    pending.pop_back();
    // A library that cannot be read is kept by whoever names it; its own needs are unknown.
    for (const std::string &name : ReadNeededLibraries(file).value_or(std::vector<std::string>{}))
      want(name);
    const auto modules = RunTimeModules().find(file.substr(file.find_last_of('/') + 1));
    if (modules != RunTimeModules().end() && file.starts_with(libraryFolder + "/"))
      for (const std::string &module : modules->second)
        want(module);
  }
  return needed;
}

std::vector<std::string> TreePrograms(const std::string &appPath)
{
  const std::string root = appPath.ends_with('/') ? appPath.substr(0, appPath.size() - 1) : appPath;
  std::vector<std::string> programs;
  for (const std::string &name : ListFileNames(root)) {
    const std::string path = root + "/" + name;
    if (IsRegularFile(path) && IsElfFile(path))
      programs.push_back(path);
  }
  for (std::string &file : ElfFilesBelow(root + "/bin", {"lib"}))
    programs.push_back(std::move(file));
  return programs;
}

void RemoveUnneededLibraries(const std::string &appPath)
{
  const std::string folder = appPath + LibraryFolder;
  const std::set<std::string> needed = NeededLibraries(folder, TreePrograms(appPath));
  for (const std::string &name : ListFileNames(folder)) {
    const std::string path = folder + "/" + name;
    if (!needed.contains(name) && IsRegularFile(path) && IsElfFile(path))
      DeleteFileSilently(path);
  }
}

} // namespace Corvala
