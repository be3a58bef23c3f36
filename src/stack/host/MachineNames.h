#pragma once

#include <string>
#include <vector>

namespace Host
{

// The names other computers of the network reach this one by: its host name and, for a name
// without a domain, the same name under ".local" (as multicast DNS announces it), lower-cased.
// Empty when the system has no name or only "localhost". Asks no name server, so a start
// never waits for one.
std::vector<std::string> MachineNames();

} // namespace Host
