#pragma once

#include "stack/ApacheLauncher.h"
#include "stack/MySqlLauncher.h"
#include "stack/StackRun.h"

namespace Corvala
{

// The servers' start from the bin folder on: MySQL, the php.ini that tells PHP its port, Apache,
// and their moves off ports that others took.
class TStackServers
{
public:
  explicit TStackServers(TStackRun &run) : Run(run), MySql(run), Apache(run) {}

  // The bin folder, MySQL (when the kit has it and it is not held paused), php.ini and Apache
  // from ApachePort up. A MySQL held paused keeps its port in php.ini.
  void Start(int apachePort, bool mySqlPaused = false);
  // MySQL again from FirstPort up, as after a pause.
  void StartMySql(int firstPort) { MySql.Start(firstPort); }
  // Another program may bind a port between its probe and the server's own bind, and the server
  // then ends at once: it starts again from the next port. True when a server moved.
  bool MoveOffTakenPorts();
  std::chrono::steady_clock::time_point ApacheStarted() const { return Apache.Started(); }

private:
  void WritePhpIni() const;

  TStackRun &Run;
  TMySqlLauncher MySql;
  TApacheLauncher Apache;
};

} // namespace Corvala
