#include "files/FileTree.h"

#include "base/UniqueFd.h"
#include "files/FileText.h"
#include "files/FolderEntries.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

using namespace Base;

namespace Files
{

namespace
{

// Identity of the folder a copy writes into; the source walk skips it so that copying a folder
// into one of its own sub-folders ends.
struct TreeRoot {
  dev_t dev = 0;
  ino_t ino = 0;
};

[[noreturn]] void CopyFailed(const std::string &what, const std::string &path, int error)
{
  throw std::runtime_error(what + " \"" + path + "\": " + std::strerror(error));
}

bool SameFile(const struct stat &a, const struct stat &b)
{
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string ParentOf(const std::string &path)
{
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string StripTrailingSlashes(std::string path)
{
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

void MakeFolders(const std::string &path)
{
  for (size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
    const std::string folder = path.substr(0, pos);
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
      CopyFailed("Cannot create the folder", folder, errno);
    if (pos == std::string::npos)
      break;
  }
}

// The names in a folder of the source; a folder that cannot be listed fails the copy.
TStringArray SourceEntryNames(const std::string &folder)
{
  const TUniqueFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir)
    CopyFailed("Cannot read the folder", folder, errno);
  return ReadEntryNames(dir.get());
}

bool CopyBytes(int in, int out)
{
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return got == 0;
    if (!WriteAll(out, std::string_view(buffer.data(), static_cast<size_t>(got))))
      return false;
  }
}

// The copy is written beside the target and renamed over it, so a read-only or running target is
// replaced as a whole and an interrupted copy never leaves a half-written file under the name.
void CopyRegularFile(const std::string &source, const struct stat &st, const std::string &target)
{
  struct stat existing {
  };
  if (lstat(target.c_str(), &existing) == 0 && (SameFile(existing, st) || S_ISDIR(existing.st_mode)))
    return;
  TUniqueFd in(open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in)
    CopyFailed("Cannot read", source, errno);
  std::string temp = ParentOf(target) + "/.copy-XXXXXX";
  TUniqueFd out(mkostemp(temp.data(), O_CLOEXEC));
  if (!out)
    CopyFailed("Cannot write", target, errno);
  const timespec times[2] = {st.st_atim, st.st_mtim};
  errno = 0;
  bool ok = CopyBytes(in.get(), out.get()) && fchmod(out.get(), st.st_mode & 07777) == 0 &&
            futimens(out.get(), times) == 0;
  ok = close(out.release()) == 0 && ok;
  if (ok && rename(temp.c_str(), target.c_str()) == 0)
    return;
  const int error = errno == 0 ? EIO : errno;
  unlink(temp.c_str());
  CopyFailed("Cannot write", target, error);
}

void CopySymlink(const std::string &source, const std::string &target)
{
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t length = readlink(source.c_str(), buffer.data(), buffer.size() - 1);
  if (length < 0)
    CopyFailed("Cannot read the link", source, errno);
  struct stat existing {
  };
  if (lstat(target.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode))
      return;
    unlink(target.c_str());
  }
  buffer[static_cast<size_t>(length)] = '\0';
  if (symlink(buffer.data(), target.c_str()) != 0)
    CopyFailed("Cannot write the link", target, errno);
}

void CopyEntry(const std::string &source, const std::string &target, TreeRoot root);

void CopyDirectory(const std::string &source, const struct stat &st, const std::string &target, TreeRoot root)
{
  struct stat existing {
  };
  if (lstat(target.c_str(), &existing) != 0) {
    if (mkdir(target.c_str(), 0700) != 0 || lstat(target.c_str(), &existing) != 0)
      CopyFailed("Cannot create the folder", target, errno);
  } else if (!S_ISDIR(existing.st_mode) || SameFile(existing, st)) {
    // A file or symlink in the way stays; a folder is never written through a symlink.
    return;
  } else if ((existing.st_mode & S_IRWXU) != S_IRWXU &&
             chmod(target.c_str(), (existing.st_mode & 07777) | S_IRWXU) != 0) {
    CopyFailed("Cannot write into the folder", target, errno);
  }
  if (root.ino == 0)
    root = {existing.st_dev, existing.st_ino};
  for (const auto &name : SourceEntryNames(source))
    CopyEntry(source + "/" + name, target + "/" + name, root);
  // The source's mode is applied last: a read-only source folder would block filling the copy.
  if (chmod(target.c_str(), st.st_mode & 07777) != 0)
    CopyFailed("Cannot set the mode of", target, errno);
}

void CopyEntry(const std::string &source, const std::string &target, TreeRoot root)
{
  struct stat st {
  };
  if (lstat(source.c_str(), &st) != 0)
    CopyFailed("Cannot read", source, errno);
  if (st.st_dev == root.dev && st.st_ino == root.ino)
    return;
  if (S_ISLNK(st.st_mode))
    CopySymlink(source, target);
  else if (S_ISDIR(st.st_mode))
    CopyDirectory(source, st, target, root);
  else if (S_ISREG(st.st_mode))
    CopyRegularFile(source, st, target);
}

void CopyContents(const std::string &sourceFolder, const std::string &destFolder)
{
  struct stat source {
  };
  struct stat dest {
  };
  if (stat(sourceFolder.c_str(), &source) != 0 || !S_ISDIR(source.st_mode))
    return;
  MakeFolders(destFolder);
  if (stat(destFolder.c_str(), &dest) != 0)
    CopyFailed("Cannot copy into", destFolder, errno);
  if (!S_ISDIR(dest.st_mode))
    CopyFailed("Cannot copy into", destFolder, ENOTDIR);
  if (SameFile(source, dest))
    return;
  const TreeRoot root{dest.st_dev, dest.st_ino};
  for (const auto &name : SourceEntryNames(sourceFolder))
    CopyEntry(sourceFolder + "/" + name, destFolder + "/" + name, root);
}

} // namespace

void CopyFolder(const std::string &source, const std::string &destFolder)
{
  if (source.empty() || destFolder.empty())
    return;
  if (source.size() >= 2 && source.compare(source.size() - 2, 2, "/*") == 0) {
    const std::string folder = source.size() == 2 ? "/" : source.substr(0, source.size() - 2);
    CopyContents(folder, StripTrailingSlashes(destFolder));
    return;
  }
  const std::string from = StripTrailingSlashes(source);
  const std::string dest = StripTrailingSlashes(destFolder);
  struct stat st {
  };
  if (lstat(from.c_str(), &st) != 0)
    return;
  struct stat destSt {
  };
  std::string target;
  if (stat(dest.c_str(), &destSt) == 0 && S_ISDIR(destSt.st_mode)) {
    const std::string name = from.substr(from.rfind('/') + 1);
    if (name.empty() || name == "." || name == "..")
      return;
    target = (dest == "/" ? "" : dest) + "/" + name;
  } else {
    target = dest;
    MakeFolders(ParentOf(target));
  }
  CopyEntry(from, target, TreeRoot{});
}

} // namespace Files
