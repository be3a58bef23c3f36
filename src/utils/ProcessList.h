#pragma once

#include "utils/Types.h"

#include <string>

namespace AppUtils
{

// Ids of all processes, ascending.
TCardinalArray ListProcessIds();

// Ids, ascending, of the running processes started from the file at path. Two paths name the same
// file when their real paths (symlinks resolved) are equal; a missing file or a folder matches
// nothing, and neither does a process whose file has been deleted.
TCardinalArray FindProcessesByPath(const std::string &path);

// The first id FindProcessesByPath would give, 0 when none.
TProcessId FindProcessByPath(const std::string &path);

} // namespace AppUtils
