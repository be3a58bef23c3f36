#include "process/ProcessFamily.h"

#include "process/ProcessList.h"

#include <fstream>
#include <map>
#include <sstream>

using namespace Base;

namespace Process
{

namespace
{

struct TProcessLinks {
  TProcessId parent = 0;
  TProcessId group = 0;
};

// Parent and process group of every running process (zombies have ended and are left out).
std::map<TProcessId, TProcessLinks> RunningProcesses()
{
  std::map<TProcessId, TProcessLinks> processes;
  for (const TProcessId id : ListProcessIds()) {
    std::ifstream file("/proc/" + std::to_string(id) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The name in parentheses may hold anything; the fields after its last ')' are plain.
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
      continue;
    std::istringstream fields(text.substr(close + 1));
    char state = 0;
    TProcessLinks links;
    if (fields >> state >> links.parent >> links.group && state != 'Z' && state != 'X')
      processes[id] = links;
  }
  return processes;
}

} // namespace

TProcessFamily::TProcessFamily(TProcessId root, std::string programPath)
    : root(root), programPath(std::move(programPath)), known{root}
{
}

bool TProcessFamily::Alive()
{
  if (root == 0)
    return !FindProcessesByPath(programPath).empty();
  const std::map<TProcessId, TProcessLinks> processes = RunningProcesses();
  std::set<TProcessId> members;
  // Parents come before their children in most cases but not all: repeat until nothing is added.
  for (bool added = true; added;) {
    added = false;
    for (const auto &[id, links] : processes) {
      const bool member = known.count(id) != 0 || links.group == root || members.count(links.parent) != 0;
      if (member && members.insert(id).second)
        added = true;
    }
  }
  known = members;
  return !members.empty() || !FindProcessesByPath(programPath).empty();
}

} // namespace Process
