#include "stack/host/CdRom.h"

#include "files/Paths.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

using namespace Files;

namespace Host
{

namespace
{

// mountinfo writes blank, tab, newline and backslash in paths as three octal digits after '\'.
std::string UnescapeOctal(const std::string &text)
{
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto isOctal = [&](size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '7'; };
    if (text[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
      result +=
          static_cast<char>(((text[i + 1] - '0') << 6) | ((text[i + 2] - '0') << 3) | (text[i + 3] - '0'));
      i += 3;
    } else {
      result += text[i];
    }
  }
  return result;
}

bool IsUnder(const std::string &path, const std::string &mountPoint)
{
  if (mountPoint == "/")
    return true;
  return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
         (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// File-system type of the mount holding Path; empty when no line matches.
std::string FileSystemTypeOf(const std::string &path, std::istream &mountInfo)
{
  std::string bestType;
  size_t bestLength = 0;
  bool found = false;
  std::string line;
  while (std::getline(mountInfo, line)) {
    // id parent major:minor root mount-point options [optional fields...] - type source super-options
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;)
      words.push_back(word);
    size_t separator = 6;
    while (separator < words.size() && words[separator] != "-")
      ++separator;
    if (words.size() < 6 || separator + 1 >= words.size())
      continue;
    const std::string mountPoint = UnescapeOctal(words[4]);
    // Later lines are mounted on top of earlier ones at the same point, so ties go to the later line.
    if (IsUnder(path, mountPoint) && (!found || mountPoint.size() >= bestLength)) {
      found = true;
      bestLength = mountPoint.size();
      bestType = words[separator + 1];
    }
  }
  return bestType;
}

std::string ResolvedPath(const std::string &path)
{
  char buffer[PATH_MAX];
  if (realpath(path.c_str(), buffer) != nullptr)
    return buffer;
  return FullPathName(path);
}

} // namespace

bool IsOnCdRom(const std::string &path)
{
  try {
    if (path.empty())
      return false;
    const char *override = std::getenv("CORVALA_MOUNTINFO");
    std::ifstream mountInfo(override != nullptr && *override != '\0' ? override : "/proc/self/mountinfo");
    if (!mountInfo)
      return false;
    const std::string type = FileSystemTypeOf(ResolvedPath(path), mountInfo);
    return type == "iso9660" || type == "udf";
  } catch (...) {
    return false;
  }
}

bool IsCdRomDrive()
{
  return IsOnCdRom(GetProgramPath());
}

} // namespace Host
