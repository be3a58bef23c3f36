#pragma once

#include <string>

namespace Host
{

// "<GetTempFolder()>/<Md5Hex(ProgramPath)>": the work folder of the installation whose launcher
// is ProgramPath. Only forms the path.
std::string WorkFolderPathFor(const std::string &programPath);

// The running launcher's work folder, created with mode 0700 when missing (one level).
// Throws std::runtime_error naming the path and the reason when it cannot be created, or when
// the name is taken by a symlink, by something that is not a folder, or by a folder of another
// user: the temporary folder may be shared, and such a folder is not ours to trust. The message
// then also says how to start anyway: with TMPDIR set to a private folder.
std::string GetTempWorkFolder();

// Throws std::runtime_error naming the folder, the reason and the way out (another TMPDIR) when
// no file can be created in the work folder (read-only, full) or its disk has less free room
// than the servers need; pages would otherwise come up blank without a word.
void CheckWorkFolderWritable(const std::string &path);

} // namespace Host
