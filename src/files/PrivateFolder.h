#pragma once

#include <string>
#include <vector>

namespace Files
{

// The places this user may keep private files, best first: "$XDG_RUNTIME_DIR/corvala" (when the
// runtime folder is set), "${XDG_CACHE_HOME:-$HOME/.cache}/corvala" (when either is set) and,
// last, "<temporary folder>/corvala-<uid>".
std::vector<std::string> PrivateFolderCandidates();

// The first candidate that can be had as a private folder of this user (see EnsureOwnFolder);
// the cache folder's parent is created when missing. Throws std::runtime_error with the last
// candidate's reason when none can.
std::string GetPrivateFolder();

// As GetPrivateFolder, but only a folder whose file system lets programs run (not mounted
// noexec). Throws std::runtime_error naming the folders tried when there is none.
std::string GetPrivateProgramFolder();

} // namespace Files
