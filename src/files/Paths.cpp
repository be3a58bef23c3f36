#include "files/Paths.h"

#include "base/Trim.h"

#include <cctype>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Base;

namespace Files
{

std::string GetProgramPath()
{
  char buffer[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0)
    return {};
  return std::string(buffer, static_cast<size_t>(n));
}

std::string AppDirOf(const std::string &programPath)
{
  const size_t slash = programPath.rfind('/');
  if (slash == std::string::npos)
    return {};
  if (slash == 0)
    return "/";
  return programPath.substr(0, slash);
}

std::string AppPathOf(const std::string &programPath)
{
  const size_t slash = programPath.rfind('/');
  if (slash == std::string::npos)
    return {};
  return programPath.substr(0, slash + 1);
}

std::string GetAppDir()
{
  return AppDirOf(GetProgramPath());
}

std::string GetAppPath()
{
  return AppPathOf(GetProgramPath());
}

static std::string CurrentDirectory()
{
  char buffer[PATH_MAX + 1];
  if (getcwd(buffer, sizeof buffer) == nullptr)
    return {};
  return buffer;
}

std::string FullPathName(const std::string &path)
{
  std::string joined = path;
  if (path.empty() || path[0] != '/')
    joined = CurrentDirectory() + "/" + path;
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= joined.size()) {
    size_t next = joined.find('/', pos);
    if (next == std::string::npos)
      next = joined.size();
    const std::string part = joined.substr(pos, next - pos);
    if (part == "..") {
      if (!parts.empty())
        parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = next + 1;
  }
  std::string result;
  for (const auto &part : parts)
    result += "/" + part;
  if (result.empty())
    return std::string(1, '/');
  // A trailing separator names the folder itself; keep it as the caller wrote it.
  if (joined.back() == '/')
    result += '/';
  return result;
}

std::string ExpandFromAppDir(const std::string &path)
{
  const std::string appDir = GetAppDir();
  // A failed change leaves the current directory as it is; the expansion then uses it.
  if (TrimBlanks(CurrentDirectory()) != TrimBlanks(appDir))
    static_cast<void>(chdir(appDir.c_str()));
  return FullPathName(path);
}

bool FileExists(const std::string &path)
{
  struct stat st {
  };
  return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool RegularFileExists(const std::string &path)
{
  struct stat st {
  };
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string &path)
{
  struct stat st {
  };
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace Files
