#pragma once

#include <string>

namespace Files
{

// The read-only attribute rendered as write bits: read-only removes every write bit,
// writable adds the owner's write bit. Other mode bits are kept. Works on files and folders.
// False when the attributes cannot be read or written.
bool SetFileReadOnly(const std::string &path, bool readOnly);

} // namespace Files
