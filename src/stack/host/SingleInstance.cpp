#include "stack/host/SingleInstance.h"

#include "base/UniqueFd.h"
#include "files/PrivateFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Base;
using namespace Files;

namespace Host
{

namespace
{

std::mutex guard;
// The locks this process holds, by name. The lock is tied to the open file, so asking again
// through a new descriptor would conflict with ourselves; the map answers that case.
std::map<std::string, int> taken;

std::string LockPath(const std::string &name)
{
  return GetPrivateFolder() + "/" + name + ".lock";
}

std::string ShowRequestPath(const std::string &name)
{
  return GetPrivateFolder() + "/" + name + ".show";
}

bool SameFile(const struct stat &a, const struct stat &b)
{
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

bool IsFirstInstance(const std::string &name)
{
  const std::lock_guard<std::mutex> lock(guard);
  if (name.empty() || name.find('/') != std::string::npos)
    throw std::runtime_error("\"" + name + "\" cannot name a single-instance lock");
  if (taken.count(name) != 0)
    return false;
  const std::string path = LockPath(name);
  auto cannotOpen = [&](int error) {
    throw std::runtime_error("The single-instance lock \"" + path +
                             "\" cannot be opened: " + std::strerror(error));
  };
  // The instance before may have removed the file between our open and our lock: the lock then
  // guards nothing, and the file is opened again.
  while (true) {
    TUniqueFd fd(open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    if (!fd)
      cannotOpen(errno);
    struct stat held {
    }, named{};
    if (fstat(fd.get(), &held) != 0)
      cannotOpen(errno);
    if (!S_ISREG(held.st_mode))
      cannotOpen(EINVAL);
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK)
        return false;
      cannotOpen(errno);
    }
    if (stat(path.c_str(), &named) == 0 && SameFile(held, named)) {
      taken[name] = fd.release();
      return true;
    }
  }
}

void ReleaseInstance(const std::string &name)
{
  const std::lock_guard<std::mutex> lock(guard);
  const auto held = taken.find(name);
  if (held == taken.end())
    return;
  // Removed while still locked, so no other start can take this file in between.
  unlink(LockPath(name).c_str());
  close(held->second);
  taken.erase(held);
}

void RequestShow(const std::string &name)
{
  const std::string path = ShowRequestPath(name);
  const TUniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
  if (!fd)
    throw std::runtime_error("\"" + path + "\" cannot be created: " + std::strerror(errno));
}

bool TakeShowRequest(const std::string &name)
{
  try {
    return unlink(ShowRequestPath(name).c_str()) == 0;
  } catch (const std::runtime_error &) {
    return false;
  }
}

std::optional<std::string> ShowRequestProblem(const std::string &name)
{
  const std::string path = ShowRequestPath(name);
  struct stat st {
  };
  if (lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
    return std::nullopt;
  return "A later start cannot bring this window to the front: \"" + path +
         "\" is not a file. Remove it to let it do so.";
}

} // namespace Host
