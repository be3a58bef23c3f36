#pragma once

#include <string>

namespace Files
{

// True when the file exists and cannot be had for exclusive reading and writing: it cannot be
// opened for both (a running executable, no write permission), it carries no write bit at all
// (read-only, even for root), or another open file holds a flock or a POSIX record lock on it.
// False for a missing path and for folders.
bool IsFileLocked(const std::string &path);

} // namespace Files
