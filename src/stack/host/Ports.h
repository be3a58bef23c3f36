#pragma once

#include <chrono>
#include <string>

namespace Host
{

// True when a TCP listener cannot be opened on the port at 127.0.0.1 (localOnly) or 0.0.0.0: the
// probe binds and listens for real and closes at once. Ports outside 0..65535 are in use without a
// probe. Ports below 1024 count as in use for users not allowed to bind them.
bool IsPortInUse(int port, bool localOnly);

// The first port from start upwards that is not in use; -1 when none is free up to 65535, and for
// a start of 0 or below (port 0 would let the system pick one). Ports below LowestUsablePort() are
// passed over at once.
int FindFreePort(int start, bool localOnly);

// The lowest port this process may bind: 1 with the capability to bind privileged ports (root),
// else the system's first unprivileged port (net.ipv4.ip_unprivileged_port_start, 1024 by default).
int LowestUsablePort();

// True when a server on 127.0.0.1 at the port accepts a connection and sends its first bytes within
// Wait, as MySQL greets every client once it serves. A listening socket alone does not tell: MySQL
// opens it before it has finished starting.
bool ServerGreets(int port, std::chrono::milliseconds wait);

// The same through the Unix socket at Path: only the server that made the socket answers there.
bool ServerGreetsOnSocket(const std::string &path, std::chrono::milliseconds wait);

} // namespace Host
