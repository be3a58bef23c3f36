#include "process/WriteConfinement.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/landlock.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

// Access bits of ABIs newer than the oldest kernel headers this builds with (Debian 12's know ABI 2);
// the kernel numbers them once and for all.
#ifndef LANDLOCK_ACCESS_FS_REFER
#define LANDLOCK_ACCESS_FS_REFER (1ULL << 13)
#endif
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14)
#endif

namespace Process
{

namespace
{

// The ABI version, or the reason there is none.
struct TLandlockSupport {
  int abi = 0;
  std::string missing;
};

TLandlockSupport QueryLandlock()
{
  const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (abi > 0)
    return {static_cast<int>(abi), {}};
  if (errno == ENOSYS)
    return {0, "this kernel has no Landlock"};
  if (errno == EOPNOTSUPP)
    return {0, "Landlock is turned off in this kernel"};
  throw std::runtime_error(std::string("Landlock's version cannot be read: ") + std::strerror(errno));
}

// Every access that changes the file system, as far as the ABI knows it. Without "refer" (ABI 1)
// Landlock denies every rename and link into another folder, inside the rules too.
unsigned long long WriteAccess(int abi)
{
  unsigned long long access = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
                              LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR |
                              LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
                              LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO |
                              LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
  if (abi >= 2)
    access |= LANDLOCK_ACCESS_FS_REFER;
  if (abi >= 3)
    access |= LANDLOCK_ACCESS_FS_TRUNCATE;
  return access;
}

// The accesses a rule on a file (not a folder) may carry; the kernel refuses the others there.
constexpr unsigned long long FileAccess = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_TRUNCATE;

} // namespace

TWriteConfinement::TWriteConfinement(int descriptor, std::string reason)
    : descriptor_(descriptor), reason_(std::move(reason))
{
}

TWriteConfinement::~TWriteConfinement()
{
  if (descriptor_ >= 0)
    close(descriptor_);
}

TWriteConfinement::TWriteConfinement(TWriteConfinement &&other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), reason_(std::move(other.reason_))
{
}

TWriteConfinement &TWriteConfinement::operator=(TWriteConfinement &&other) noexcept
{
  if (this != &other) {
    if (descriptor_ >= 0)
      close(descriptor_);
    descriptor_ = std::exchange(other.descriptor_, -1);
    reason_ = std::move(other.reason_);
  }
  return *this;
}

TWriteConfinement TWriteConfinement::Unavailable(std::string reason)
{
  return TWriteConfinement(-1, std::move(reason));
}

TWriteConfinement TWriteConfinement::Beneath(const Base::TStringArray &paths)
{
  const TLandlockSupport support = QueryLandlock();
  if (support.abi == 0)
    return Unavailable(support.missing);
  landlock_ruleset_attr attributes{};
  attributes.handled_access_fs = WriteAccess(support.abi);
  const long ruleset = syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0);
  if (ruleset < 0)
    throw std::runtime_error(std::string("Landlock's rules cannot be created: ") + std::strerror(errno));
  TWriteConfinement rules(static_cast<int>(ruleset));
  for (const std::string &path : paths)
    rules.Allow(path, attributes.handled_access_fs);
  return rules;
}

void TWriteConfinement::Allow(const std::string &path, unsigned long long handled) const
{
  const int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0)
    throw std::runtime_error("Writes cannot be allowed beneath \"" + path + "\": " + std::strerror(errno));
  struct stat status {
  };
  landlock_path_beneath_attr rule{};
  rule.parent_fd = fd;
  int result = fstat(fd, &status);
  if (result == 0) {
    rule.allowed_access = S_ISDIR(status.st_mode) ? handled : handled & FileAccess;
    result =
        static_cast<int>(syscall(SYS_landlock_add_rule, descriptor_, LANDLOCK_RULE_PATH_BENEATH, &rule, 0));
  }
  const int error = errno;
  close(fd);
  if (result != 0)
    throw std::runtime_error("Writes cannot be allowed beneath \"" + path + "\": " + std::strerror(error));
}

int LandlockAbi()
{
  return QueryLandlock().abi;
}

} // namespace Process
