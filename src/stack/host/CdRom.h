#pragma once

#include <string>

namespace Host
{

// True when the mount holding Path (the longest mount point that is a whole-component prefix of
// it) is an optical disc file system, iso9660 or udf. The mount table is /proc/self/mountinfo, or
// the file named by $CORVALA_MOUNTINFO when that is set. False when the table cannot be read.
bool IsOnCdRom(const std::string &path);

// IsOnCdRom of the running executable.
bool IsCdRomDrive();

} // namespace Host
