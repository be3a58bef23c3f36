#include "packaging/TreeCopy.h"

#include "base/UniqueFd.h"
#include "files/FileText.h"
#include "files/FolderEntries.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <stdexcept>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Corvala
{

namespace
{

// Large files are copied in chunks of this size, so that a cancel is seen within a second.
constexpr size_t ChunkSize = 8 << 20;
constexpr auto ReportInterval = std::chrono::milliseconds(100);

[[noreturn]] void Fail(const std::string &what, const std::string &path)
{
  throw std::runtime_error("Cannot " + what + " \"" + path + "\": " + strerror(errno));
}

std::string NameOf(const std::string &path)
{
  return path.substr(path.rfind('/') + 1);
}

// Copies with read and write where the kernel cannot copy between the two files itself.
bool CopyByReading(int in, int out, size_t limit, size_t &copied)
{
  std::vector<char> buffer(1 << 17);
  copied = 0;
  while (copied < limit) {
    const ssize_t got = read(in, buffer.data(), std::min(buffer.size(), limit - copied));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return got == 0;
    if (!Files::WriteAll(out, std::string_view(buffer.data(), static_cast<size_t>(got))))
      return false;
    copied += static_cast<size_t>(got);
  }
  return true;
}

} // namespace

void TTreeCopy::Count(const std::string &path)
{
  struct stat st {
  };
  if (lstat(path.c_str(), &st) != 0)
    return;
  if (S_ISDIR(st.st_mode)) {
    for (const auto &name : Files::ReadEntryNames(path))
      Count(path + "/" + name);
  } else if (S_ISREG(st.st_mode)) {
    ++Progress.FilesTotal;
    Progress.BytesTotal += static_cast<uint64_t>(st.st_size);
  }
}

void TTreeCopy::BeginStep(const std::string &step)
{
  Progress.Step = step;
  CheckCancel();
  Report();
}

void TTreeCopy::Report()
{
  LastReport = std::chrono::steady_clock::now();
  if (Hooks.Progress)
    Hooks.Progress(Progress);
}

void TTreeCopy::CheckCancel() const
{
  if (Hooks.Cancelled && Hooks.Cancelled())
    throw TBuildCancelled();
}

void TTreeCopy::Advanced(uint64_t bytes)
{
  Progress.BytesDone += bytes;
  CheckCancel();
  if (std::chrono::steady_clock::now() - LastReport >= ReportInterval)
    Report();
}

void TTreeCopy::CopyInto(const std::string &source, const std::string &destFolder)
{
  struct stat st {
  };
  if (lstat(source.c_str(), &st) != 0)
    return;
  const std::string target = destFolder + "/" + NameOf(source);
  struct stat dest {
  };
  TargetIno = stat(target.c_str(), &dest) == 0 ? dest.st_ino : 0;
  TargetDev = TargetIno == 0 ? 0 : dest.st_dev;
  CopyEntry(source, target, false);
}

void TTreeCopy::CopyContents(const std::string &source, const std::string &destFolder)
{
  struct stat dest {
  };
  if (stat(destFolder.c_str(), &dest) != 0)
    Fail("read the folder", destFolder);
  TargetDev = dest.st_dev;
  TargetIno = dest.st_ino;
  CopyFolderEntries(source, destFolder, false);
}

void TTreeCopy::CopyFolderEntries(const std::string &source, const std::string &target, bool inCreatedFolder)
{
  for (const auto &name : Files::ReadEntryNames(source))
    CopyEntry(source + "/" + name, target + "/" + name, inCreatedFolder);
}

void TTreeCopy::CopyEntry(const std::string &source, const std::string &target, bool inCreatedFolder)
{
  struct stat st {
  };
  if (lstat(source.c_str(), &st) != 0)
    Fail("read", source);
  if (st.st_dev == TargetDev && st.st_ino == TargetIno)
    return;
  struct stat existing {
  };
  const bool exists = !inCreatedFolder && lstat(target.c_str(), &existing) == 0;
  if (S_ISDIR(st.st_mode)) {
    if (exists && !S_ISDIR(existing.st_mode))
      throw std::runtime_error("Cannot copy the folder \"" + source + "\": a file is in the way at \"" +
                               target + "\"");
    if (!exists) {
      if (mkdir(target.c_str(), 0700) != 0)
        Fail("create the folder", target);
      if (!inCreatedFolder)
        Created.Add(target);
      if (TargetIno == 0 && stat(target.c_str(), &existing) == 0) {
        TargetDev = existing.st_dev;
        TargetIno = existing.st_ino;
      }
    } else if ((existing.st_mode & S_IRWXU) != S_IRWXU) {
      chmod(target.c_str(), (existing.st_mode & 07777) | S_IRWXU);
    }
    CopyFolderEntries(source, target, inCreatedFolder || !exists);
    chmod(target.c_str(), (st.st_mode & 07777) | S_IRWXU);
    return;
  }
  CheckCancel();
  if (exists) {
    if (S_ISDIR(existing.st_mode))
      throw std::runtime_error("Cannot copy \"" + source + "\": a folder is in the way at \"" + target +
                               "\"");
    // Replaced as a whole: a read-only or running file in the way is no obstacle.
    if (unlink(target.c_str()) != 0)
      Fail("replace", target);
  }
  if (!S_ISLNK(st.st_mode) && !S_ISREG(st.st_mode))
    return;
  // Noted before it is written, so that a copy that fails half-way is removed too.
  if (!inCreatedFolder)
    Created.Add(target);
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink(source.c_str(), buffer.data(), buffer.size() - 1);
    if (length < 0)
      Fail("read the link", source);
    buffer[static_cast<size_t>(length)] = '\0';
    if (symlink(buffer.data(), target.c_str()) != 0)
      Fail("create the link", target);
  } else {
    CopyFile(source, st, target);
  }
}

void TTreeCopy::CopyFile(const std::string &source, const struct stat &st, const std::string &target)
{
  Base::TUniqueFd in(open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in)
    Fail("read", source);
  Base::TUniqueFd out(
      open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, (st.st_mode & 0777) | S_IWUSR));
  if (!out)
    Fail("create", target);
  bool kernelCopy = true;
  for (;;) {
    ssize_t copied = 0;
    if (kernelCopy) {
      copied = copy_file_range(in.get(), nullptr, out.get(), nullptr, ChunkSize, 0);
      if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
        kernelCopy = false;
        continue;
      }
    } else {
      size_t got = 0;
      copied = CopyByReading(in.get(), out.get(), ChunkSize, got) ? static_cast<ssize_t>(got) : -1;
    }
    if (copied < 0) {
      if (errno == EINTR)
        continue;
      Fail("copy", source + "\" to \"" + target);
    }
    if (copied == 0)
      break;
    Advanced(static_cast<uint64_t>(copied));
  }
  const timespec times[2] = {st.st_atim, st.st_mtim};
  if (fchmod(out.get(), (st.st_mode & 07777) | S_IWUSR) != 0 || futimens(out.get(), times) != 0)
    Fail("set the mode of", target);
  if (close(out.release()) != 0)
    Fail("write", target);
  ++Progress.FilesDone;
}

} // namespace Corvala
