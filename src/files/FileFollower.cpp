#include "files/FileFollower.h"

#include "base/UniqueFd.h"
#include "files/FileIO.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Files
{

TFileFollower::TFileFollower(std::string path, size_t maxBacklog, std::string lineMark)
    : path(std::move(path)), maxBacklog(maxBacklog), lineMark(std::move(lineMark))
{
}

TFileFollower::TNews TFileFollower::Poll()
{
  const auto fail = [this](int error) {
    throw EFileError(error, "Cannot read \"" + path + "\": " + FileErrorText(error));
  };
  TNews news;
  const Base::TUniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) {
    if (errno != ENOENT && errno != ENOTDIR)
      fail(errno);
    // Gone (the stack stopped) or not there yet: what comes later is a new file, which may even
    // get the old one's inode.
    exists = false;
    lost = lost || known;
    known = false;
    return news;
  }
  struct stat status {
  };
  if (fstat(fd.get(), &status) != 0)
    fail(errno);
  exists = true;
  const bool replaced = known && (status.st_dev != device || status.st_ino != inode);
  if (!known || replaced || status.st_size < offset) {
    news.restarted = known || lost;
    known = true;
    lost = false;
    device = status.st_dev;
    inode = status.st_ino;
    offset = 0;
    partial.clear();
    skipToNextLine = false;
  }
  if (status.st_size - offset > static_cast<off_t>(maxBacklog)) {
    offset = status.st_size - static_cast<off_t>(maxBacklog);
    partial.clear();
    // Unless the skipped bytes ended with a whole line, reading starts within one.
    char before = '\n';
    skipToNextLine = pread(fd.get(), &before, 1, offset - 1) != 1 || before != '\n';
  }
  std::string read;
  read.resize(static_cast<size_t>(status.st_size - offset));
  size_t done = 0;
  while (done < read.size()) {
    const ssize_t n =
        pread(fd.get(), read.data() + done, read.size() - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      fail(errno);
    // Truncated while read: the next poll starts again.
    if (n == 0)
      break;
    done += static_cast<size_t>(n);
  }
  read.resize(done);
  offset += static_cast<off_t>(done);
  if (skipToNextLine) {
    const size_t feed = read.find('\n');
    if (feed == std::string::npos)
      return news;
    read.erase(0, feed + 1);
    skipToNextLine = false;
  }
  partial += read;
  const size_t lastFeed = partial.rfind('\n');
  if (lastFeed != std::string::npos) {
    news.text = Marked(partial.substr(0, lastFeed + 1));
    partial.erase(0, lastFeed + 1);
  }
  // A line that never ends must not grow without a bound.
  if (partial.size() > maxBacklog) {
    news.text += Marked(partial + '\n');
    partial.clear();
  }
  return news;
}

std::string TFileFollower::Marked(const std::string &lines) const
{
  if (lineMark.empty())
    return lines;
  std::string kept;
  for (size_t start = 0; start < lines.size();) {
    const size_t end = lines.find('\n', start);
    const size_t next = end == std::string::npos ? lines.size() : end + 1;
    const std::string_view line(lines.data() + start, next - start);
    if (line.find(lineMark) != std::string_view::npos)
      kept += line;
    start = next;
  }
  return kept;
}

} // namespace Files
