#include "stack/StackServers.h"

#include "base/StartupTrace.h"
#include "stack/BinFolder.h"
#include "stack/PhpConfig.h"
#include "stack/ServerCommandLines.h"

using namespace Base;

namespace Corvala
{

void TStackServers::Start(int apachePort, bool mySqlPaused)
{
  TStackState &state = Run.State;
  {
    const TTraceStep step("bin folder");
    state.BinFolder = PrepareBinFolder(Run.AppPath, state.WorkFolder, state.IsCdRom);
  }
  state.MySqlExePath = MySqlExePath(state.BinFolder);
  state.ApacheExePath = ApacheExePath(state.BinFolder);
  Run.CheckStop();
  if (!mySqlPaused && Run.Files().FileExists(state.MySqlExePath))
    MySql.Start(3306);
  WritePhpIni();
  Run.CheckStop();
  Apache.Start(apachePort);
}

void TStackServers::WritePhpIni() const
{
  const TTraceStep step("php.ini");
  WritePhpConfig(Run.Setup());
}

// PHP learns MySQL's port from php.ini, which Apache reads only when it starts, so a move of MySQL
// restarts Apache as well.
bool TStackServers::MoveOffTakenPorts()
{
  TStackState &state = Run.State;
  if (MySql.EndedOnATakenPort()) {
    const TTraceStep step("MySQL moves off a taken port");
    state.MySqlProcessId = 0;
    Run.Processes().StopStarted({{state.ApacheProcessId, state.ApacheExePath, 0}}, Run.Opts.StopGrace,
                                Run.Opts.ProcessEvents);
    state.ApacheProcessId = 0;
    MySql.Start(state.MySqlPort + 1);
    WritePhpIni();
    Apache.Start(state.ApachePort);
    return true;
  }
  if (Apache.EndedOnATakenPort()) {
    const TTraceStep step("Apache moves off a taken port");
    state.ApacheProcessId = 0;
    Apache.Start(state.ApachePort + 1);
    return true;
  }
  return false;
}

} // namespace Corvala
