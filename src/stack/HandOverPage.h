#pragma once

#include <string>

namespace Corvala
{

// "<private folder>/<Md5Hex(programPath)>-open.html": the page an external browser is given in the
// "only my account" mode. A file of the user's private folder, so that no command line, which
// every account may read, carries the site's key.
std::string HandOverPagePath(const std::string &programPath);

// Writes the page (mode 0600, replaced as a whole) that opens address at once, and gives its
// "file://" address. Throws std::runtime_error naming the file when it cannot be written.
std::string WriteHandOverPage(const std::string &path, const std::string &address);

} // namespace Corvala
