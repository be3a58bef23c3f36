#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Tree
{

// Whether the file starts with the ELF magic.
bool IsElfFile(const std::string &path);

// The shared libraries an ELF program or library names as its dependencies (its DT_NEEDED
// entries), in file order. Nothing when the file is not a readable little-endian ELF file or its
// dynamic section is damaged; an empty list for a file that needs nothing (a static program).
// Reads only the headers, the dynamic section and the string table, never the whole file.
std::optional<std::vector<std::string>> ReadNeededLibraries(const std::string &path);

} // namespace Tree
