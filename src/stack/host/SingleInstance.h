#pragma once

#include <optional>
#include <string>

namespace Host
{

// Takes the named single-instance guard: an exclusive flock on "<GetPrivateFolder()>/<Name>.lock",
// held until the process ends or ReleaseInstance. Each user keeps their own locks, so nobody else's
// lock can stand in the way. True for the first taker; false when another process holds it or this
// process took it before. A lock that cannot be had for another reason (no private folder, a
// symlink planted in its place, an unusable name) throws std::runtime_error saying so: that is
// never "another instance runs".
bool IsFirstInstance(const std::string &name);

// Gives the guard up at the instance's end and removes its file, so that no lock file stays behind
// for each installation that ever ran. A start that opened the file before it went finds that it
// no longer names the lock and takes a new one.
void ReleaseInstance(const std::string &name);

// A later start asks the running instance of Name to bring its window to the front: it leaves the
// request "<GetPrivateFolder()>/<Name>.show" (mode 0600) behind, which the instance takes. Throws
// std::runtime_error saying why when it cannot be left.
void RequestShow(const std::string &name);
// Takes a request left by RequestShow: true when there was one, which is gone then.
bool TakeShowRequest(const std::string &name);
// Why requests to show the window cannot reach this instance (something that is not a file stands
// where they are left); nothing when they can.
std::optional<std::string> ShowRequestProblem(const std::string &name);

} // namespace Host
