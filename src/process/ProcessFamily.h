#pragma once

#include "base/Types.h"

#include <set>
#include <string>

namespace Process
{

// Follows a started program through whatever it hands its work to: a wrapper script that starts
// the real program and ends (Debian's /usr/bin/chromium, xdg-open) leaves its children behind.
// The family is the started process, every process of its process group, every descendant seen
// while its parent was known, and every process run from the program's file.
class TProcessFamily
{
public:
  TProcessFamily(Base::TProcessId root, std::string programPath);

  // Looks at the running processes again; true while any member of the family runs.
  bool Alive();

private:
  Base::TProcessId root;
  std::string programPath;
  std::set<Base::TProcessId> known;
};

} // namespace Process
