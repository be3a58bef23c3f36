#include "stack/MySqlLauncher.h"

#include "base/StartupTrace.h"
#include "stack/MySqlConfig.h"
#include "stack/PrivateFiles.h"
#include "stack/ServerCommandLines.h"
#include "stack/ServerOutput.h"
#include "stack/StackTerminal.h"

#include <csignal>
#include <stdexcept>

using namespace Base;
using namespace Process;

namespace Corvala
{

std::string UnconfinedNote(const std::string &reason)
{
  return "The database server runs without write confinement: " + reason + ".";
}

// A missing data folder is mysqld's to report, in its own words; nothing can be written there.
TStringArray TMySqlLauncher::ExistingFolders(const TStringArray &folders) const
{
  TStringArray existing;
  for (const std::string &folder : folders)
    if (Run.Files().FolderExists(folder))
      existing.push_back(folder);
  return existing;
}

void TMySqlLauncher::Start(int firstPort)
{
  TStackState &state = Run.State;
  {
    const TTraceStep step("MySQL port probe");
    state.MySqlPort = Run.Ports().FindFree(firstPort, true);
  }
  if (state.MySqlPort < 0)
    throw std::runtime_error("No free port for MySQL on 127.0.0.1 from " + std::to_string(firstPort) +
                             " to 65535");
  const TStackSetup setup = Run.Setup();
  {
    const TTraceStep step("my.ini");
    state.MySqlIniPath = WriteMySqlConfig(setup);
  }
  // The empty password is in the init file now; the next start leaves root's password alone.
  if (!state.PrivateMode && Run.MySqlRootPassword)
    Run.Files().DeleteFile(state.MySqlRootPasswordFile);
  {
    const TTraceStep step("MySQL process start");
    // Its log files can be named by any client (SET GLOBAL general_log_file), past
    // secure_file_priv: only its own folders may be written, whoever the launcher runs as.
    const TWriteConfinement confinement =
        Run.Processes().ConfineWrites(ExistingFolders(MySqlWritableFolders(setup)));
    state.StatusNote = confinement.Available() ? "" : UnconfinedNote(confinement.Reason());
    // A killed launcher has no clean stop to give: SIGTERM before MariaDB serves can hang it for
    // good, holding its data folder and port, while a kill loses no acknowledged row.
    state.MySqlProcessId = Run.Processes().Start(
        state.MySqlExePath, MySqlParameters(state.MySqlIniPath, setup), TShowCommand::Hide,
        StartOptions{.parentDeathSignal = SIGKILL,
                     .environment = MySqlFileModeEnvironment(),
                     .errorFile = ServerOutputPath(state.WorkFolder, "mysql"),
                     .writeRules = confinement.Descriptor()});
  }
  if (state.MySqlProcessId == 0)
    Run.CannotStart(state.MySqlExePath);
  WriteTerminalClientOptions(state.WorkFolder, state.MySqlPort);
}

bool TMySqlLauncher::EndedOnATakenPort() const
{
  const TStackState &state = Run.State;
  return state.MySqlProcessId != 0 && !Run.Processes().Exists(state.MySqlProcessId) &&
         Run.Ports().InUse(state.MySqlPort, true);
}

} // namespace Corvala
