#pragma once

#include <string>

namespace AppUtils
{

// The user's desktop and documents folders as the desktop's user-dirs settings name them;
// empty when unknown.
std::string GetDesktopFolder();
std::string GetMyDocumentsFolder();

} // namespace AppUtils
