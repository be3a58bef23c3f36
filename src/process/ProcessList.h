#pragma once

#include "base/Types.h"

#include <string>

namespace Process
{

// Ids of all processes, ascending.
Base::TCardinalArray ListProcessIds();

// Ids, ascending, of the running processes started from the file at path. Two paths name the same
// file when their real paths (symlinks resolved) are equal; a missing file or a folder matches
// nothing, and neither does a process whose file has been deleted.
Base::TCardinalArray FindProcessesByPath(const std::string &path);

// The first id FindProcessesByPath would give, 0 when none.
Base::TProcessId FindProcessByPath(const std::string &path);

} // namespace Process
