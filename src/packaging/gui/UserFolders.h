#pragma once

#include <string>

namespace Corvala
{

// The user's desktop and documents folders as the desktop's user-dirs settings name them;
// empty when unknown.
std::string GetDesktopFolder();
std::string GetMyDocumentsFolder();

} // namespace Corvala
