#include "utils/SingleInstance.h"

#include "utils/TempFolder.h"
#include "utils/UniqueFd.h"

#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>

namespace AppUtils
{

bool IsFirstInstance(const std::string &name)
{
  static std::mutex guard;
  // Names this process holds. The lock is tied to the open file, so asking again through a new
  // descriptor would conflict with ourselves; the set answers that case without a second file.
  static std::set<std::string> taken;
  try {
    const std::lock_guard<std::mutex> lock(guard);
    if (name.empty() || name.find('/') != std::string::npos || taken.count(name) != 0)
      return false;
    const std::string path = GetTempFolder() + "/" + name + ".lock";
    TUniqueFd fd(open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    struct stat st {
    };
    if (!fd || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
      return false;
    taken.insert(name);
    // Never closed: the guard lasts as long as the process.
    fd.release();
    return true;
  } catch (...) {
    return false;
  }
}

} // namespace AppUtils
