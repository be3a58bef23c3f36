#pragma once

#include <string>

namespace Corvala
{

// The external browser named by "<bin>/Browser.ini", section "Browser".
struct TBrowserSettings {
  std::string path;       // "BrowserPath" with every "{bin}" (any case) replaced by the bin folder
  std::string parameters; // "Parameters" likewise, then every "{url}" (any case) by the address to open
  bool usable = false;    // the file exists and path names an existing file
};

// "http://127.0.0.1:<port>", the address of the local site.
std::string StartAddress(int apachePort);

// Every occurrence of placeholder in text, compared without regard to letter case, replaced by
// value. The replacement itself is not searched again.
std::string ReplaceNoCase(const std::string &text, const std::string &placeholder, const std::string &value);

// Reads and expands "<binFolder>/Browser.ini", with url as the address "{url}" stands for; a
// missing file or key reads as empty text.
TBrowserSettings ReadBrowserIni(const std::string &binFolder, const std::string &url);

} // namespace Corvala
