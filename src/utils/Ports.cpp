#include "utils/Ports.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace AppUtils
{

namespace
{

constexpr int MaxPort = 65535;
constexpr int ListenQueue = 15;

sockaddr_in Ipv4Address(int port, bool loopback)
{
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(loopback ? INADDR_LOOPBACK : INADDR_ANY);
  return address;
}

} // namespace

bool IsPortInUse(int port, bool localOnly)
{
  if (port < 0 || port > MaxPort)
    return true;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return true;
  // Linux never lets this bind over a live listener, but without it a port our own server has just
  // released (TIME_WAIT) would look busy and every restart would drift to the next port.
  const int reuse = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  const sockaddr_in address = Ipv4Address(port, localOnly);
  const bool usable = bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
                      listen(fd, ListenQueue) == 0;
  close(fd);
  return !usable;
}

int FindFreePort(int start, bool localOnly)
{
  for (int port = std::max(start, 0); port <= MaxPort; ++port)
    if (!IsPortInUse(port, localOnly))
      return port;
  return -1;
}

bool IsPortAccepting(int port)
{
  if (port <= 0 || port > MaxPort)
    return false;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  const sockaddr_in address = Ipv4Address(port, true);
  const bool accepted = connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
  close(fd);
  return accepted;
}

} // namespace AppUtils
