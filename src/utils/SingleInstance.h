#pragma once

#include <string>

namespace AppUtils
{

// Takes the named single-instance guard: an exclusive flock on "<GetPrivateFolder()>/<Name>.lock",
// held until the process ends. Each user keeps their own locks, so nobody else's lock can stand in
// the way. True for the first taker; false when another process holds it or this process took it
// before. A lock that cannot be had for another reason (no private folder, a symlink planted in
// its place, an unusable name) throws std::runtime_error saying so: that is never "another
// instance runs".
bool IsFirstInstance(const std::string &name);

} // namespace AppUtils
