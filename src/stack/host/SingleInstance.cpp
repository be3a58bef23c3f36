#include "stack/host/SingleInstance.h"

#include "base/UniqueFd.h"
#include "files/PrivateFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Base;
using namespace Files;

namespace Host
{

bool IsFirstInstance(const std::string &name)
{
  static std::mutex guard;
  // Names this process holds. The lock is tied to the open file, so asking again through a new
  // descriptor would conflict with ourselves; the set answers that case without a second file.
  static std::set<std::string> taken;
  const std::lock_guard<std::mutex> lock(guard);
  if (name.empty() || name.find('/') != std::string::npos)
    throw std::runtime_error("\"" + name + "\" cannot name a single-instance lock");
  if (taken.count(name) != 0)
    return false;
  const std::string path = GetPrivateFolder() + "/" + name + ".lock";
  auto cannotOpen = [&](int error) {
    throw std::runtime_error("The single-instance lock \"" + path +
                             "\" cannot be opened: " + std::strerror(error));
  };
  TUniqueFd fd(open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
  if (!fd)
    cannotOpen(errno);
  struct stat st {
  };
  if (fstat(fd.get(), &st) != 0)
    cannotOpen(errno);
  if (!S_ISREG(st.st_mode))
    cannotOpen(EINVAL);
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK)
      return false;
    cannotOpen(errno);
  }
  taken.insert(name);
  // Never closed: the guard lasts as long as the process.
  fd.release();
  return true;
}

bool RequestShow(const std::string &name)
{
  try {
    const TUniqueFd fd(open((GetPrivateFolder() + "/" + name + ".show").c_str(),
                            O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    return static_cast<bool>(fd);
  } catch (const std::runtime_error &) {
    return false;
  }
}

bool TakeShowRequest(const std::string &name)
{
  try {
    return unlink((GetPrivateFolder() + "/" + name + ".show").c_str()) == 0;
  } catch (const std::runtime_error &) {
    return false;
  }
}

} // namespace Host
