#pragma once

#include <string>

namespace AppUtils
{

// "<GetTempFolder()>/<Md5Hex(ProgramPath)>": the work folder of the installation whose launcher
// is ProgramPath. Only forms the path.
std::string WorkFolderPathFor(const std::string &programPath);

// The running launcher's work folder, created with mode 0700 when missing (one level).
// Throws std::runtime_error naming the path and the reason when it cannot be created, or when
// the name is taken by a symlink, by something that is not a folder, or by a folder of another
// user: the temporary folder may be shared, and such a folder is not ours to trust.
std::string GetTempWorkFolder();

} // namespace AppUtils
