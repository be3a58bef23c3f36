#include "config/Favorites.h"

#include "base/Trim.h"
#include "files/Paths.h"
#include "ini/Ini.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

using namespace Base;
using namespace Files;
using namespace Ini;

namespace
{

std::string Lower(std::string text)
{
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string ReadValue(const std::string &file, const std::string &section, const std::string &key)
{
  return TrimBlanks(ReadIniStringIfExists(file, section, TrimBlanks(key)));
}

} // namespace

std::string FavoritesFilePath(const std::string &file)
{
  if (!FileExists(file))
    return {};
  char resolved[PATH_MAX];
  return realpath(file.c_str(), resolved) ? std::string(resolved) : std::string();
}

TFavoriteKeys ReadFavoriteKeys(const std::string &file)
{
  TFavoriteKeys keys;
  ReadIniSectionKeys(file, "DIRS", keys.folders);
  ReadIniSectionKeys(file, "URLS", keys.addresses);
  return keys;
}

std::string ReplacePlaceholder(const std::string &text, const std::string &placeholder,
                               const std::string &value)
{
  const std::string lowerText = Lower(text);
  const std::string lowerPlaceholder = Lower(placeholder);
  std::string result;
  size_t from = 0;
  for (size_t at = lowerText.find(lowerPlaceholder); at != std::string::npos;
       at = lowerText.find(lowerPlaceholder, from)) {
    result += text.substr(from, at - from) + value;
    from = at + placeholder.size();
  }
  return result + text.substr(from);
}

std::string FavoriteFolder(const std::string &file, const std::string &key)
{
  const std::string value = ReadValue(file, "DIRS", key);
  if (value.empty())
    return {};
  return ExpandFromAppDir(ReplacePlaceholder(value, "{APPDIR}", GetAppDir()));
}

std::string FavoriteAddress(const std::string &file, const std::string &key, int port)
{
  return ReplacePlaceholder(ReadValue(file, "URLS", key), "{LOCALHOST:PORT}",
                            "127.0.0.1:" + std::to_string(port));
}
