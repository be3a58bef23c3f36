#include "maintenance/gui/MaintenanceCommands.h"

#include "config/ConfigFile.h"
#include "config/IntegerValue.h"
#include "files/Paths.h"
#include "maintenance/DownSize.h"
#include "maintenance/SettingsApply.h"
#include "maintenance/gui/DownSizeForm.h"
#include "maintenance/gui/SettingsForm.h"
#include "process/Process.h"
#include "stack/PhpConfig.h"
#include "stack/PrivateMode.h"
#include "widgets/QuietTray.h"

#include <QCoreApplication>
#include <stdexcept>

using namespace Files;
using namespace Process;

void RunSettingsCommand(TCommandHost &host, const std::string &workFolder)
{
  const TQuietTray quiet(host);
  TfrmSettings dialog;
  const Corvala::TConfigFile config(Corvala::PrepareConfigFile(workFolder));
  dialog.IP = config.Read("ip");
  dialog.Port = Corvala::StrToInt(config.Read("port"));
  dialog.InnoDB = config.ReadFlag("innodb");
  dialog.PrivateMode = Corvala::IsPrivateModeOn(config.Read(Corvala::PrivateModeKey));
  dialog.Xdebug = Corvala::IsXdebugOn(config.Read(Corvala::XdebugKey));
  if (dialog.exec() != QDialog::Accepted)
    return;
  // The dialog goes away before the work starts.
  dialog.hide();
  QCoreApplication::processEvents();
  ApplyServerSettings(config.Path(),
                      {dialog.IP, dialog.Port, dialog.InnoDB, dialog.PrivateMode, dialog.Xdebug},
                      GetProgramPath());
  host.CloseApplication();
}

void RunDownSizeCommand(TCommandHost &host)
{
  const TQuietTray quiet(host);
  TfrmDownSize dialog(GetAppPath());
  if (dialog.exec() != QDialog::Accepted)
    return;
  const std::string program = GetProgramPath();
  if (StartProcess(program, DownSizeParameters(dialog.Selection()), TShowCommand::Normal, "") == 0)
    throw std::runtime_error("Cannot start \"" + program + "\"");
  QCoreApplication::processEvents();
  host.CloseApplication();
}
