#include "stack/host/Ports.h"

#include "support/TestSupport.h"

#include <arpa/inet.h>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Host;
using namespace TestSupport;

namespace
{

// A real listening socket, as another server holding a port would have; port 0 takes any free one.
// Servers such as Apache and MariaDB set SO_REUSEADDR on theirs (reuse).
class Listener
{
public:
  Listener(in_addr_t address, int port, bool reuse = false)
  {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    if (reuse)
      setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(address);
    socklen_t length = sizeof addr;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd_, 5) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr *>(&addr), &length) != 0)
      Close();
    else
      port_ = ntohs(addr.sin_port);
  }
  ~Listener() { Close(); }
  Listener(const Listener &) = delete;
  Listener &operator=(const Listener &) = delete;

  bool Listening() const { return fd_ >= 0; }
  int Port() const { return port_; }
  int Fd() const { return fd_; }
  void Close()
  {
    if (fd_ >= 0)
      close(fd_);
    fd_ = -1;
  }

private:
  int fd_ = -1;
  int port_ = -1;
};

// A port below 65535 that is free now together with the one after it.
int FreePortPair()
{
  for (int attempt = 0; attempt < 50; ++attempt) {
    Listener probe(INADDR_ANY, 0);
    const int port = probe.Port();
    probe.Close();
    if (port > 0 && port < 65535 && Listener(INADDR_ANY, port).Listening() &&
        Listener(INADDR_ANY, port + 1).Listening())
      return port;
  }
  return -1;
}

int UnprivilegedPortStart()
{
  int start = 1024;
  std::ifstream("/proc/sys/net/ipv4/ip_unprivileged_port_start") >> start;
  return start;
}

} // namespace

TEST(Ports, OutOfRangePortsAreInUse)
{
  EXPECT_TRUE(IsPortInUse(-1, true));
  EXPECT_TRUE(IsPortInUse(65536, false));
  EXPECT_EQ(FindFreePort(65536, true), -1);
  // Port 0 would be any port the system picks, which no configuration can name.
  EXPECT_EQ(FindFreePort(0, true), -1);
  EXPECT_EQ(FindFreePort(-80, false), -1);
}

TEST(Ports, PortHeldByAListenerIsSkipped)
{
  const int port = FreePortPair();
  ASSERT_GT(port, 0);
  EXPECT_FALSE(IsPortInUse(port, true));
  EXPECT_EQ(FindFreePort(port, true), port);
  {
    Listener local(INADDR_LOOPBACK, port);
    ASSERT_TRUE(local.Listening());
    EXPECT_TRUE(IsPortInUse(port, true));
    EXPECT_TRUE(IsPortInUse(port, false));
    EXPECT_EQ(FindFreePort(port, true), port + 1);
    EXPECT_EQ(FindFreePort(port, false), port + 1);
  }
  {
    Listener reusing(INADDR_LOOPBACK, port, true);
    ASSERT_TRUE(reusing.Listening());
    EXPECT_TRUE(IsPortInUse(port, true));
  }
  Listener everywhere(INADDR_ANY, port);
  ASSERT_TRUE(everywhere.Listening());
  EXPECT_TRUE(IsPortInUse(port, true));
  EXPECT_EQ(FindFreePort(port, true), port + 1);
  everywhere.Close();
  // The probe closed its own socket: the port is usable again at once.
  EXPECT_EQ(FindFreePort(port, true), port);
  EXPECT_TRUE(Listener(INADDR_LOOPBACK, port).Listening());
}

TEST(Ports, LastPortBusyGivesNoPort)
{
  // If another program already holds 65535, it is busy all the same.
  Listener last(INADDR_ANY, 65535);
  EXPECT_TRUE(IsPortInUse(65535, true));
  EXPECT_EQ(FindFreePort(65535, true), -1);
  EXPECT_EQ(FindFreePort(65535, false), -1);
}

TEST(Ports, PortLeftInTimeWaitByAClosedServerIsFree)
{
  Listener server(INADDR_LOOPBACK, 0, true);
  ASSERT_TRUE(server.Listening());
  const int port = server.Port();
  const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
  const int accepted = accept(server.Fd(), nullptr, nullptr);
  ASSERT_GE(accepted, 0);
  // The server side closes first, so its end of the connection stays in TIME_WAIT on the port.
  close(accepted);
  server.Close();
  char byte = 0;
  EXPECT_EQ(read(client, &byte, 1), 0);
  close(client);
  EXPECT_FALSE(IsPortInUse(port, true));
}

TEST(Ports, PrivilegedPortsAreInUseForUnprivilegedUsers)
{
  const int limit = UnprivilegedPortStart();
  if (limit <= 1)
    GTEST_SKIP() << "every port may be bound by any user here";
  if (geteuid() != 0) {
    EXPECT_TRUE(IsPortInUse(limit - 1, true));
    EXPECT_EQ(LowestUsablePort(), limit);
    return;
  }
  EXPECT_EQ(LowestUsablePort(), 1);
  int port = limit - 1;
  while (port > 0 && IsPortInUse(port, true))
    --port;
  ASSERT_GT(port, 0) << "no free privileged port to test with";
  EXPECT_EQ(FindFreePort(port, true), port);
  EXPECT_EQ(RunAsNobody([port, limit] {
              return IsPortInUse(port, true) && LowestUsablePort() == limit &&
                     FindFreePort(port, true) >= limit;
            }),
            1);
}
