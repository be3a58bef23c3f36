#include "config/BrowserIni.h"

#include "files/Paths.h"
#include "ini/Ini.h"

#include <algorithm>
#include <cctype>

namespace Corvala
{

std::string StartAddress(int apachePort)
{
  return "http://127.0.0.1:" + std::to_string(apachePort);
}

std::string ReplaceNoCase(const std::string &text, const std::string &placeholder, const std::string &value)
{
  const auto sameLetter = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  std::string result;
  auto from = text.begin();
  while (true) {
    const auto found = std::search(from, text.end(), placeholder.begin(), placeholder.end(), sameLetter);
    result.append(from, found);
    if (found == text.end() || placeholder.empty())
      break;
    result += value;
    from = found + static_cast<std::ptrdiff_t>(placeholder.size());
  }
  return result;
}

TBrowserSettings ReadBrowserIni(const std::string &binFolder, const std::string &url)
{
  const std::string file = binFolder + "/Browser.ini";
  TBrowserSettings settings;
  if (!Files::FileExists(file))
    return settings;
  settings.path =
      ReplaceNoCase(Ini::ReadIniStringIfExists(file, "Browser", "BrowserPath"), "{bin}", binFolder);
  settings.parameters =
      ReplaceNoCase(Ini::ReadIniStringIfExists(file, "Browser", "Parameters"), "{bin}", binFolder);
  settings.parameters = ReplaceNoCase(settings.parameters, "{url}", url);
  settings.usable = Files::FileExists(settings.path);
  return settings;
}

} // namespace Corvala
