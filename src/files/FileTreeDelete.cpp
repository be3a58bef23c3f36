#include "files/FileTree.h"

#include "base/UniqueFd.h"
#include "files/FolderEntries.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

using namespace Base;

namespace Files
{

namespace
{

constexpr int kDirOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Removes Name inside the folder ParentFd. Folders are walked through descriptors opened without
// following symlinks, so a symlink anywhere in the tree is removed itself and never followed.
void DeleteAt(int parentFd, const std::string &name)
{
  struct stat st {
  };
  if (fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return;
  if (!S_ISDIR(st.st_mode)) {
    unlinkat(parentFd, name.c_str(), 0);
    return;
  }
  constexpr mode_t kOwnerAll = S_IRWXU;
  TUniqueFd dirFd(openat(parentFd, name.c_str(), kDirOpenFlags));
  if (!dirFd && errno == EACCES && fchmodat(parentFd, name.c_str(), (st.st_mode & 07777) | kOwnerAll, 0) == 0)
    dirFd = TUniqueFd(openat(parentFd, name.c_str(), kDirOpenFlags));
  if (dirFd) {
    // Entries of a read-only folder cannot be unlinked until the folder is writable again.
    if ((st.st_mode & kOwnerAll) != kOwnerAll)
      fchmod(dirFd.get(), (st.st_mode & 07777) | kOwnerAll);
    for (const auto &entry : ReadEntryNames(dirFd.get()))
      DeleteAt(dirFd.get(), entry);
  }
  unlinkat(parentFd, name.c_str(), AT_REMOVEDIR);
}

} // namespace

void ShellDelete(const std::string &path)
{
  try {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
      trimmed.pop_back();
    const size_t slash = trimmed.rfind('/');
    const std::string parent =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : trimmed.substr(0, slash));
    const std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
      return;
    TUniqueFd parentFd(open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parentFd)
      DeleteAt(parentFd.get(), name);
  } catch (...) {
  }
}

} // namespace Files
