#pragma once

#include <string>

namespace AppUtils
{

// Takes the named single-instance guard: an exclusive flock on "<GetTempFolder()>/<Name>.lock",
// held until the process ends. True only for the first taker; false when another process holds
// it, when this process took it before, or when the lock file cannot be opened as a regular file
// of its own (a symlink planted there is never followed).
bool IsFirstInstance(const std::string &name);

} // namespace AppUtils
