#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace AppUtils
{

// The whole content of a regular file (symlinks followed); nullopt when the path is missing, not a
// regular file or unreadable. FIFOs and devices are never opened for reading, so a stray path cannot
// block or stream forever.
std::optional<std::string> ReadRegularFile(const std::string &path);

// Replaces the file's content in one step: a temporary file in the same folder is written, flushed
// to disk and renamed over the path, so readers see the old or the new content, never a mix. A path
// that is a symlink is written through to its target. Mode: the old file's, or newMode for a new
// file. Returns false (leaving no temporary file) when any step fails.
bool ReplaceFileAtomically(const std::string &path, const std::string &content, mode_t newMode);

} // namespace AppUtils
