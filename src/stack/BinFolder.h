#pragma once

#include <string>

namespace Corvala
{

// The bin folder in use: "<app>bin" off CD (nothing copied); on CD what the servers need of it is
// first copied into the work folder and made writable, and "<work>/bin" is given. The launcher
// keeps running from the disc, so its Qt runtime and the libraries only it loads stay there.
std::string PrepareBinFolder(const std::string &appPath, const std::string &workFolder, bool isCdRom);

// Files::CopyFolder of a folder on the disc into the work folder; throws std::runtime_error that
// names the source and why the copy failed, so the start stops there instead of serving a half copy.
void CopyFromDisc(const std::string &source, const std::string &workFolder);

} // namespace Corvala
