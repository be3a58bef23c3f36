#pragma once

#include <unistd.h>

namespace Base
{

// Owns one file descriptor and closes it on destruction.
class TUniqueFd
{
public:
  explicit TUniqueFd(int fd = -1) noexcept : fd_(fd) {}
  ~TUniqueFd()
  {
    if (fd_ >= 0)
      ::close(fd_);
  }
  TUniqueFd(const TUniqueFd &) = delete;
  TUniqueFd &operator=(const TUniqueFd &) = delete;
  TUniqueFd(TUniqueFd &&other) noexcept : fd_(other.release()) {}
  TUniqueFd &operator=(TUniqueFd &&other) noexcept
  {
    if (this != &other) {
      if (fd_ >= 0)
        ::close(fd_);
      fd_ = other.release();
    }
    return *this;
  }

  int get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }
  int release() noexcept
  {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

private:
  int fd_;
};

} // namespace Base
