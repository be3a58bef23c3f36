#pragma once

#include <string>

namespace Host
{

// Takes the named single-instance guard: an exclusive flock on "<GetPrivateFolder()>/<Name>.lock",
// held until the process ends. Each user keeps their own locks, so nobody else's lock can stand in
// the way. True for the first taker; false when another process holds it or this process took it
// before. A lock that cannot be had for another reason (no private folder, a symlink planted in
// its place, an unusable name) throws std::runtime_error saying so: that is never "another
// instance runs".
bool IsFirstInstance(const std::string &name);

// A later start asks the running instance of Name to bring its window to the front: it leaves the
// request "<GetPrivateFolder()>/<Name>.show" (mode 0600) behind, which the instance takes. False
// when it cannot be left.
bool RequestShow(const std::string &name);
// Takes a request left by RequestShow: true when there was one, which is gone then.
bool TakeShowRequest(const std::string &name);

} // namespace Host
