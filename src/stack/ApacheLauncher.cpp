#include "stack/ApacheLauncher.h"

#include "base/StartupTrace.h"
#include "config/ConfigFile.h"
#include "stack/ApacheConfig.h"
#include "stack/ServerCommandLines.h"
#include "stack/ServerOutput.h"

#include <csignal>
#include <stdexcept>

using namespace Base;
using namespace Process;

namespace Corvala
{

void TApacheLauncher::Start(int firstPort)
{
  TStackState &state = Run.State;
  {
    const TTraceStep step("Apache port probe");
    state.ApachePort = Run.Ports().FindFree(firstPort, Run.ApacheLocalOnly);
  }
  if (state.ApachePort < 0)
    throw std::runtime_error("No free port for Apache on " +
                             std::string(Run.ApacheLocalOnly ? LoopbackAddress : "0.0.0.0") + " from " +
                             std::to_string(firstPort) + " to 65535");
  {
    const TTraceStep step("httpd.conf");
    state.HttpdConfPath = WriteApacheConfig(Run.Setup());
  }
  {
    const TTraceStep step("Apache process start");
    state.ApacheProcessId =
        Run.Processes().Start(state.ApacheExePath, ApacheParameters(state.HttpdConfPath), TShowCommand::Hide,
                              StartOptions{.parentDeathSignal = SIGTERM,
                                           .errorFile = ServerOutputPath(state.WorkFolder, "apache")});
    StartedAt = Run.Clock().Now();
  }
  if (state.ApacheProcessId == 0)
    Run.CannotStart(state.ApacheExePath);
}

bool TApacheLauncher::EndedOnATakenPort() const
{
  const TStackState &state = Run.State;
  return state.ApacheProcessId != 0 && !Run.Processes().Exists(state.ApacheProcessId) &&
         Run.Ports().InUse(state.ApachePort, Run.ApacheLocalOnly);
}

} // namespace Corvala
