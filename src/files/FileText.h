#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace Files
{

// The whole content of a regular file (symlinks followed); nullopt when the path is missing, not a
// regular file or unreadable. FIFOs and devices are never opened for reading, so a stray path cannot
// block or stream forever.
std::optional<std::string> ReadRegularFile(const std::string &path);

// All of data to the descriptor, however many writes it takes; false (errno set) when one fails.
bool WriteAll(int fd, std::string_view data);

// Writes a file's whole new content to the descriptor; false (errno set) when that fails.
using TContentWriter = std::function<bool(int fd)>;

// Replaces the file's content in one step: a temporary file in the same folder gets the content from
// writeContent, is flushed to disk (unless Scratch) and renamed over the path, so readers see the old or the
// new content, never a mix. A path that is a symlink is written through to its target. Mode and owner: the
// old file's (the owner only where the caller may set it), or newMode for a new file. Gives 0, or the errno
// of the first step that failed; then the file is untouched and no temporary file is left. A Scratch file
// (made again at every start, as the servers' generated files are) is not flushed: after a crash nothing
// reads it before it is written anew, and a flush costs milliseconds.
enum class TDurability { Durable, Scratch };
int ReplaceFileAtomically(const std::string &path, const TContentWriter &writeContent, mode_t newMode,
                          TDurability durability = TDurability::Durable);

} // namespace Files
