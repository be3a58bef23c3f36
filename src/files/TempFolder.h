#pragma once

#include <string>

namespace Files
{

// The user's temporary folder: $TMPDIR when set and not empty, else /tmp; no trailing '/'.
std::string GetTempFolder();

// "%s/%s%d%s" from the base folder (Folder when it is an existing folder, else GetTempFolder()),
// Prefix, Number and Suffix. While that file exists and is locked the number goes up by one;
// an existing file that is not locked is given back for the caller to overwrite.
std::string MakeUniqueTempFileName(const std::string &prefix, const std::string &folder, int number,
                                   const std::string &suffix);

} // namespace Files
