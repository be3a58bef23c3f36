#pragma once

#include <string>

namespace Digest
{

// MD5 digest of the text's bytes as 32 lower-case hexadecimal digits.
// An empty text hashes the running executable's full path (the work folder and lock name).
std::string Md5Hex(const std::string &text = {});

} // namespace Digest
