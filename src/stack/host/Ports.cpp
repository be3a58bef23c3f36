#include "stack/host/Ports.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fstream>
#include <linux/capability.h>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace Host
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

bool MayBindPrivilegedPorts()
{
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("CapEff:", 0) != 0)
      continue;
    unsigned long long effective = 0;
    std::istringstream(line.substr(7)) >> std::hex >> effective;
    return (effective >> CAP_NET_BIND_SERVICE & 1) != 0;
  }
  return geteuid() == 0;
}

} // namespace

int LowestUsablePort()
{
  if (MayBindPrivilegedPorts())
    return 1;
  int start = 1024;
  std::ifstream("/proc/sys/net/ipv4/ip_unprivileged_port_start") >> start;
  return std::max(start, 1);
}

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
  // Port 0 asks the system for any port: never a port of its own to configure.
  if (start < 1)
    return -1;
  for (int port = std::max(start, LowestUsablePort()); port <= MaxPort; ++port)
    if (!IsPortInUse(port, localOnly))
      return port;
  return -1;
}

namespace
{

// Connects FD to Address and waits for the server's first byte; closes FD.
bool GreetsAt(int fd, const sockaddr *address, socklen_t length, std::chrono::milliseconds wait)
{
  bool greeted = false;
  if (connect(fd, address, length) == 0) {
    pollfd readable{fd, POLLIN, 0};
    char byte = 0;
    greeted = poll(&readable, 1, static_cast<int>(wait.count())) == 1 && recv(fd, &byte, 1, 0) == 1;
  }
  close(fd);
  return greeted;
}

} // namespace

bool ServerGreets(int port, std::chrono::milliseconds wait)
{
  if (port <= 0 || port > MaxPort)
    return false;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  const sockaddr_in address = Ipv4Address(port, true);
  return GreetsAt(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address, wait);
}

bool ServerGreetsOnSocket(const std::string &path, std::chrono::milliseconds wait)
{
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path)
    return false;
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  return GreetsAt(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address, wait);
}

} // namespace Host
