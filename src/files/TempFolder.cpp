#include "files/TempFolder.h"

#include "files/FileLock.h"
#include "files/Paths.h"

#include <climits>
#include <cstdlib>

namespace Files
{

std::string GetTempFolder()
{
  const char *value = std::getenv("TMPDIR");
  std::string folder = value != nullptr && *value != '\0' ? value : "/tmp";
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder;
}

std::string MakeUniqueTempFileName(const std::string &prefix, const std::string &folder, int number,
                                   const std::string &suffix)
{
  for (;;) {
    const std::string base = !folder.empty() && DirectoryExists(folder) ? folder : GetTempFolder();
    std::string candidate = base + "/" + prefix + std::to_string(number) + suffix;
    if (number == INT_MAX || !FileExists(candidate) || !IsFileLocked(candidate))
      return candidate;
    ++number;
  }
}

} // namespace Files
