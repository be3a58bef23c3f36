#pragma once

#include "base/Types.h"

#include <string>

namespace Files
{

// Entry names of an open folder, "." and ".." left out, read in full before the caller changes
// anything in it; empty when it cannot be read. The descriptor stays open.
Base::TStringArray ReadEntryNames(int dirFd);

// The same for a folder given by path (a symlink to a folder is followed).
Base::TStringArray ReadEntryNames(const std::string &folder);

} // namespace Files
