#include "stack/StackPreparation.h"

#include "base/StartupTrace.h"
#include "config/ConfigFile.h"
#include "digest/Md5.h"
#include "files/Paths.h"
#include "stack/PrivateMode.h"
#include "stack/ServerCommandLines.h"
#include "stack/ServerEnvironment.h"

using namespace Base;
using namespace Files;
using namespace Digest;

namespace Corvala
{

bool TStackPreparation::Prepare()
{
  TStackState &state = Run.State;
  Run.ProgramPath = Run.Installation().ProgramPath();
  Run.AppPath = AppPathOf(Run.ProgramPath);
  {
    const TTraceStep step("single-instance check");
    if (!Run.Installation().IsFirstInstance(Md5Hex(Run.ProgramPath)))
      return false;
  }

  {
    const TTraceStep step("work folder");
    state.WorkFolder = Run.Installation().PrepareWorkFolder();
    state.IsCdRom = Run.Installation().IsCdRom();
  }
  {
    const TTraceStep step("leftover servers");
    StopLeftoverServers();
  }

  const TTraceStep step("Config.ini, Brand.ini");
  if (Run.Opts.SetEnvironment)
    SetServerEnvironment(Run.ProgramPath);
  state.ConfigFile = Run.Installation().WriteConfigFile(state.WorkFolder);
  state.BrandFile = Run.Installation().WriteBrandFile(state.WorkFolder);
  state.AppName = Run.ReadConfigValue("title");
  return true;
}

// A launcher that was killed leaves its servers behind (they also get SIGTERM when it dies, but
// may still be shutting down). Two mysqld on one data folder must never run, so those of this
// installation are stopped before anything is written or started.
void TStackPreparation::StopLeftoverServers() const
{
  const std::string workBin = Run.State.WorkFolder + "/bin";
  for (const std::string &bin : {Run.AppPath + "bin", workBin}) {
    Run.Processes().StopByPath(ApacheExePath(bin), Run.Opts.StopGrace, Run.Opts.ProcessEvents);
    Run.Processes().StopByPath(MySqlExePath(bin), Run.Opts.StopGrace, Run.Opts.ProcessEvents);
  }
}

int TStackPreparation::ReadServerSettings()
{
  // A wrong value stops the start before anything runs.
  const TConfigFile config(Run.State.ConfigFile);
  const int apachePort = config.ReadInteger("port");
  Run.ApacheLocalOnly = config.ReadListenAddress("ip") == LoopbackAddress;
  ReadPrivateMode();
  return apachePort;
}

// The private mode's secrets: a key per start for the site, MySQL's root password per installation.
// Once the mode is off again, the next start gives root over TCP back its empty password, once.
void TStackPreparation::ReadPrivateMode()
{
  TStackState &state = Run.State;
  state.PrivateMode = IsPrivateModeOn(Run.ReadConfigValue(PrivateModeKey));
  state.MySqlRootPasswordFile = MySqlRootPasswordPath(Run.ProgramPath);
  if (state.PrivateMode) {
    if (state.SiteKey.empty())
      state.SiteKey = NewRandomKey();
    Run.MySqlRootPassword = ReadOrCreateMySqlRootPassword(state.MySqlRootPasswordFile);
  } else if (FileExists(state.MySqlRootPasswordFile)) {
    Run.MySqlRootPassword = "";
  }
}

} // namespace Corvala
