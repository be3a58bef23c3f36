#include "stack/StackRun.h"

#include "config/ConfigFile.h"
#include "stack/ApacheConfig.h"
#include "stack/PhpConfig.h"
#include "stack/RequestGuards.h"
#include "stack/host/MachineNames.h"

#include <stdexcept>
#include <unistd.h>

namespace Corvala
{

std::string TStackRun::ReadConfigValue(const std::string &key) const
{
  return TConfigFile(State.ConfigFile).Read(key);
}

TStackSetup TStackRun::Setup() const
{
  TStackSetup setup;
  setup.appPath = AppPath;
  setup.binFolder = State.BinFolder;
  setup.workFolder = State.WorkFolder;
  setup.ip = ReadConfigValue("ip");
  setup.allowedHosts = ParseAllowedHosts(ReadConfigValue(AllowedHostsKey));
  if (ApacheListenAddress(setup.ip) != LoopbackAddress)
    setup.machineNames = Host::MachineNames();
  setup.apachePort = State.ApachePort;
  setup.mySqlPort = State.MySqlPort;
  setup.isCdRom = State.IsCdRom;
  setup.copyFilesToHardDisk = IsFlagOn(ReadConfigValue("copyfilestoharddisk"));
  setup.runningAsRoot = geteuid() == 0;
  setup.innoDb = IsFlagOn(ReadConfigValue("innodb"));
  setup.brand = IsFlagOn(ReadConfigValue("brand"));
  setup.xdebug = IsXdebugOn(ReadConfigValue(XdebugKey));
  setup.privateMode = State.PrivateMode;
  setup.mySqlRootPassword = MySqlRootPassword;
  setup.siteKey = State.SiteKey;
  return setup;
}

void TStackRun::Pump() const
{
  if (Opts.ProcessEvents)
    Opts.ProcessEvents();
}

void TStackRun::CheckStop() const
{
  if (Opts.StopRequested && Opts.StopRequested())
    throw TStackStartStopped();
}

void TStackRun::CannotStart(const std::string &program) const
{
  throw std::runtime_error("\"" + program + "\" could not be started: " + Processes().LastStartError());
}

} // namespace Corvala
