#pragma once

#include <string>

namespace Files
{

// Makes sure Path is a folder of this user, creating it with mode 0700 when missing (one level).
// The temporary folder may be shared, so a name taken by a symlink, by something that is not a
// folder or by another user's folder is not ours to trust. With MakePrivate, a folder of ours that
// others could reach is made mode 0700 again. Throws std::runtime_error
// "<Kind> \"<Path>\" <reason>" when the folder cannot be had.
void EnsureOwnFolder(const std::string &path, const std::string &kind, bool makePrivate = false);

} // namespace Files
