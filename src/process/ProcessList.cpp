#include "process/ProcessList.h"

#include "files/Paths.h"
#include "process/Process.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <memory>

using namespace Base;
using namespace Files;

namespace Process
{

namespace
{

// The comparison key of a path: its real path, empty when the file does not exist.
std::string PathKey(const std::string &path)
{
  if (path.empty())
    return {};
  const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

// Calls match for every process started from the file, ascending; stops when match gives false.
template <typename Match> void ForEachProcessOf(const std::string &path, Match match)
{
  if (!FileExists(path))
    return;
  const std::string key = PathKey(path);
  if (key.empty())
    return;
  for (const TProcessId id : ListProcessIds())
    if (PathKey(GetProcessModulePath(id)) == key && !match(id))
      return;
}

} // namespace

TCardinalArray ListProcessIds()
{
  TCardinalArray ids;
  struct CloseDir {
    void operator()(DIR *dir) const { closedir(dir); }
  };
  const std::unique_ptr<DIR, CloseDir> proc(opendir("/proc"));
  if (!proc)
    return ids;
  while (const dirent *entry = readdir(proc.get())) {
    const std::string name = entry->d_name;
    if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    const unsigned long value = std::strtoul(name.c_str(), nullptr, 10);
    if (value > 0 && value <= 0x7FFFFFFFUL)
      ids.push_back(static_cast<TProcessId>(value));
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

TCardinalArray FindProcessesByPath(const std::string &path)
{
  TCardinalArray ids;
  ForEachProcessOf(path, [&ids](TProcessId id) {
    ids.push_back(id);
    return true;
  });
  return ids;
}

TProcessId FindProcessByPath(const std::string &path)
{
  TProcessId found = 0;
  ForEachProcessOf(path, [&found](TProcessId id) {
    found = id;
    return false;
  });
  return found;
}

} // namespace Process
