#pragma once

#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TestSupport
{

// Holds a listening socket on 127.0.0.1:port (or all addresses) until destroyed, as another server
// holding the port would.
class TPortHolder
{
public:
  explicit TPortHolder(int port, bool allAddresses = false)
  {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Connections of an earlier server in TIME_WAIT must not keep the port from being held.
    const int reuse = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(allAddresses ? INADDR_ANY : INADDR_LOOPBACK);
    if (bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(fd_, 5) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~TPortHolder()
  {
    if (fd_ >= 0)
      close(fd_);
  }
  TPortHolder(const TPortHolder &) = delete;
  TPortHolder &operator=(const TPortHolder &) = delete;

  bool Holding() const { return fd_ >= 0; }

private:
  int fd_ = -1;
};

} // namespace TestSupport
