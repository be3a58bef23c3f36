#pragma once

#include <string>

namespace Corvala
{

// The bin folder in use: "<app>bin" off CD (nothing copied); on CD the folder is first copied
// into the work folder and made writable, and "<work>/bin" is given.
std::string PrepareBinFolder(const std::string &appPath, const std::string &workFolder, bool isCdRom);

} // namespace Corvala
