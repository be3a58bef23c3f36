#pragma once

#include <string>

namespace Corvala
{

// The bin folder in use: "<app>bin" off CD (nothing copied); on CD what the servers need of it is
// first copied into the work folder and made writable, and "<work>/bin" is given. The launcher
// keeps running from the disc, so its Qt runtime and the libraries only it loads stay there.
std::string PrepareBinFolder(const std::string &appPath, const std::string &workFolder, bool isCdRom);

} // namespace Corvala
