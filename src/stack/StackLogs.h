#pragma once

#include <string>
#include <vector>

namespace Corvala
{

// One log the servers of a run write into the work folder.
struct TStackLog {
  std::string caption;
  std::string path;
  // When not empty, the log is shared and only its lines holding this are this log's.
  std::string lineMark;
};

// The run's logs: Apache's error log, PHP's errors (which mod_php writes into Apache's error log,
// tagged with its module's name) and what MySQL writes, which has no log file of its own.
std::vector<TStackLog> StackLogs(const std::string &workFolder);

} // namespace Corvala
