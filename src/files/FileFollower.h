#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace Files
{

// Follows a text file that others append to, as a server's log: each Poll gives the whole lines
// written since the one before. The file is opened for each poll only, so a file that does not
// exist yet, is deleted, replaced or truncated is simply read again from its start.
class TFileFollower
{
public:
  // What a poll found.
  struct TNews {
    // Whole lines, each with its line feed; a last line without one waits for the rest.
    std::string text;
    // The file was truncated or replaced since the last poll: Text is from its new start.
    bool restarted = false;
  };

  // MaxBacklog: the most one poll gives. A file already larger (or one that grew by more between
  // two polls) is read from its last MaxBacklog bytes, from the first line that starts in them.
  // LineMark: when not empty, only lines holding it are given (one server's lines in a shared log).
  explicit TFileFollower(std::string path, size_t maxBacklog = 1024 * 1024, std::string lineMark = {});

  // Reads what was appended since the last poll; EFileError naming the file when it exists but
  // cannot be read.
  TNews Poll();
  const std::string &Path() const { return path; }
  // Whether the file existed at the last poll.
  bool Exists() const { return exists; }

private:
  std::string Marked(const std::string &lines) const;

  std::string path;
  size_t maxBacklog;
  std::string lineMark;
  bool exists = false;
  // The file read last, told apart from a new one by its device and inode.
  bool known = false;
  // A file read before was gone at a later poll.
  bool lost = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t offset = 0;
  // The start of a line whose line feed has not been written yet.
  std::string partial;
  // Reading started inside a line, whose rest is dropped.
  bool skipToNextLine = false;
};

} // namespace Files
