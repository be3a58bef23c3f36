#include "stack/host/MachineNames.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <unistd.h>

namespace Host
{

std::vector<std::string> MachineNames()
{
  char buffer[HOST_NAME_MAX + 1] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0)
    return {};
  std::string name = buffer;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name.empty() || name == "localhost" || name.starts_with("localhost."))
    return {};
  if (name.find('.') != std::string::npos)
    return {name};
  return {name, name + ".local"};
}

} // namespace Host
