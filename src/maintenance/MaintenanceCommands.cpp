#include "maintenance/MaintenanceCommands.h"

#include "config/ConfigFile.h"
#include "config/IntegerValue.h"
#include "maintenance/DownSize.h"
#include "maintenance/DownSizeForm.h"
#include "maintenance/SettingsApply.h"
#include "maintenance/SettingsForm.h"
#include "shell/MainForm.h"
#include "shell/QuietTray.h"
#include "utils/Paths.h"
#include "utils/Process.h"

#include <QCoreApplication>
#include <stdexcept>

using namespace AppUtils;

void RunSettingsCommand(TfrmMain &form, const std::string &workFolder)
{
  const TQuietTray quiet(form);
  TfrmSettings dialog;
  const Corvala::TConfigFile config(Corvala::PrepareConfigFile(workFolder));
  dialog.IP = config.Read("ip");
  dialog.Port = Corvala::StrToInt(config.Read("port"));
  if (dialog.exec() != QDialog::Accepted)
    return;
  // The dialog goes away before the work starts.
  dialog.hide();
  QCoreApplication::processEvents();
  ApplyServerSettings(config.Path(), dialog.IP, dialog.Port, GetProgramPath());
  form.CloseApplication();
}

void RunDownSizeCommand(TfrmMain &form)
{
  const TQuietTray quiet(form);
  TfrmDownSize dialog(GetAppPath());
  if (dialog.exec() != QDialog::Accepted)
    return;
  const std::string program = GetProgramPath();
  if (StartProcess(program, DownSizeParameters(dialog.Selection()), TShowCommand::Normal, "") == 0)
    throw std::runtime_error("Cannot start \"" + program + "\"");
  QCoreApplication::processEvents();
  form.CloseApplication();
}
