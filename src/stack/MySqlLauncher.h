#pragma once

#include "stack/StackRun.h"

#include <string>

namespace Corvala
{

// The stack's note when MySQL starts without its write confinement, for the reason given.
std::string UnconfinedNote(const std::string &reason);

// MySQL's start: a free port, my.ini, the process.
class TMySqlLauncher
{
public:
  explicit TMySqlLauncher(TStackRun &run) : Run(run) {}

  // Starts MySQL on the first free port from FirstPort, writing only in MySqlWritableFolders (those
  // that exist); where the kernel has no Landlock it starts unconfined and State.StatusNote says
  // so. Raises when there is no port, the rules cannot be made, or mysqld could not be started.
  void Start(int firstPort);
  // MySQL ended during its start and its port is taken now: another program bound it between the
  // probe and the server's own bind.
  bool EndedOnATakenPort() const;

private:
  Base::TStringArray ExistingFolders(const Base::TStringArray &folders) const;

  TStackRun &Run;
};

} // namespace Corvala
