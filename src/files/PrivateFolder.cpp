#include "files/PrivateFolder.h"

#include "files/OwnFolder.h"
#include "files/TempFolder.h"

#include <cstdlib>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Files
{

namespace
{

constexpr char FolderName[] = "corvala";

std::string Variable(const char *name)
{
  const char *value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? value : std::string();
}

std::string CacheRoot()
{
  std::string cache = Variable("XDG_CACHE_HOME");
  if (!cache.empty())
    return cache;
  const std::string home = Variable("HOME");
  return home.empty() ? std::string() : home + "/.cache";
}

// The candidate as a private folder of ours, or the reason it is not one.
bool Usable(const std::string &path, std::string &reason)
{
  // The cache folder itself may not exist yet on a fresh account; it is the user's, as its files are.
  const std::string parent = path.substr(0, path.rfind('/'));
  if (parent == CacheRoot())
    mkdir(parent.c_str(), 0700);
  try {
    EnsureOwnFolder(path, "Private folder", true);
    return true;
  } catch (const std::runtime_error &error) {
    reason = error.what();
    return false;
  }
}

bool ProgramsCanRun(const std::string &path)
{
  struct statvfs fs {
  };
  return statvfs(path.c_str(), &fs) == 0 && (fs.f_flag & ST_NOEXEC) == 0;
}

} // namespace

std::vector<std::string> PrivateFolderCandidates()
{
  std::vector<std::string> candidates;
  const std::string runtime = Variable("XDG_RUNTIME_DIR");
  if (!runtime.empty())
    candidates.push_back(runtime + "/" + FolderName);
  const std::string cache = CacheRoot();
  if (!cache.empty())
    candidates.push_back(cache + "/" + FolderName);
  candidates.push_back(GetTempFolder() + "/" + FolderName + "-" + std::to_string(geteuid()));
  return candidates;
}

std::string GetPrivateFolder()
{
  std::string reason;
  for (const std::string &candidate : PrivateFolderCandidates())
    if (Usable(candidate, reason))
      return candidate;
  throw std::runtime_error(reason);
}

std::string GetPrivateProgramFolder()
{
  std::string tried;
  for (const std::string &candidate : PrivateFolderCandidates()) {
    std::string reason;
    if (!Usable(candidate, reason)) {
      tried += "\n" + reason;
      continue;
    }
    if (ProgramsCanRun(candidate))
      return candidate;
    tried += "\n\"" + candidate + "\" is on a file system mounted noexec";
  }
  throw std::runtime_error("No folder of yours lets programs run:" + tried);
}

} // namespace Files
