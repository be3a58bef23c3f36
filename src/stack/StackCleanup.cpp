#include "stack/StackCleanup.h"

#include "stack/DataFolderFiles.h"
#include "stack/ServerOutput.h"

namespace Corvala
{

namespace
{
constexpr int DeleteRetryRounds = 2000;
constexpr auto DeleteRetryPause = std::chrono::milliseconds(1);
} // namespace

void TStackCleanup::EndSplash()
{
  if (Run.State.SplashProcessId != 0)
    Run.Processes().EndChild(Run.State.SplashProcessId);
  Run.State.SplashProcessId = 0;
}

bool TStackCleanup::StopServers()
{
  const TStackState &state = Run.State;
  EndSplash();
  const TServerProcess apache{state.ApacheProcessId, state.ApacheExePath, 0};
  const TServerProcess mysql{state.MySqlProcessId, state.MySqlExePath, state.MySqlPort};
  const std::vector<bool> stoppedCleanly =
      Run.Processes().StopStarted({apache, mysql}, Run.Opts.StopGrace, Run.Opts.ProcessEvents);
  if (!state.WorkFolder.empty())
    for (const char *server : {"apache", "mysql"})
      CopyServerOutput(ServerOutputPath(state.WorkFolder, server));
  return state.MySqlProcessId == 0 || stoppedCleanly[1];
}

// Stopped servers may still be closing their files; each deletion is retried for a while, and a
// path that cannot be deleted at all is left so that the launcher still ends.
void TStackCleanup::DeleteWithRetries(const std::string &path, TPathCall exists, TPathCall remove) const
{
  TStackFiles &files = Run.Files();
  for (int round = 0; round < DeleteRetryRounds && (files.*exists)(path); ++round) {
    Run.Pump();
    Run.Clock().Sleep(DeleteRetryPause);
    (files.*remove)(path);
  }
}

void TStackCleanup::RemoveTemporaryFiles(bool dataFolderConsistent) const
{
  DeleteWithRetries(Run.State.WorkFolder, &TStackFiles::FolderExists, &TStackFiles::DeleteFolder);
  if (!Run.State.HandOverPage.empty())
    Run.Files().DeleteFile(Run.State.HandOverPage);
  // After a crash of MySQL the data folder's files are what its recovery needs: nothing goes.
  if (Run.State.IsCdRom || !dataFolderConsistent)
    return;
  // The servers' loose files; the databases are the sub-folders and are never touched, and
  // neither is the server's own state.
  const std::string dataFolder = Run.AppPath + "data";
  for (const std::string &name : Run.Files().FileNames(dataFolder))
    if (!IsServerStateFile(name))
      DeleteWithRetries(dataFolder + "/" + name, &TStackFiles::FileExists, &TStackFiles::DeleteFile);
}

} // namespace Corvala
