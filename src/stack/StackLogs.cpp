#include "stack/StackLogs.h"

#include "stack/ServerOutput.h"

namespace Corvala
{

std::vector<TStackLog> StackLogs(const std::string &workFolder)
{
  const std::string apacheLog = workFolder + "/error.log";
  return {{"Apache", apacheLog, {}},
          {"PHP", apacheLog, "[php:"},
          {"MySQL", ServerOutputPath(workFolder, "mysql"), {}}};
}

} // namespace Corvala
