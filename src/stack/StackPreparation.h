#pragma once

#include "stack/StackRun.h"

namespace Corvala
{

// The steps before any child starts, and the settings the servers' start reads first.
class TStackPreparation
{
public:
  explicit TStackPreparation(TStackRun &run) : Run(run) {}

  // The single-instance check, the work folder, leftover servers of this installation, the
  // environment, Config.ini, Brand.ini and AppName. False when another instance runs.
  bool Prepare();
  // Checks Config.ini's "port" and "ip" and reads the private mode; gives Apache's first port.
  int ReadServerSettings();

private:
  void StopLeftoverServers() const;
  void ReadPrivateMode();

  TStackRun &Run;
};

} // namespace Corvala
