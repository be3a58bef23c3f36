#include "maintenance/MaintenanceCommands.h"

#include "config/ConfigFile.h"
#include "config/IntegerValue.h"
#include "maintenance/DownSize.h"
#include "maintenance/DownSizeForm.h"
#include "maintenance/SettingsApply.h"
#include "maintenance/SettingsForm.h"
#include "shell/MainForm.h"
#include "utils/Paths.h"
#include "utils/Process.h"

#include <QCoreApplication>
#include <stdexcept>

using namespace AppUtils;

namespace
{

// Tray notifications stay off while a maintenance dialog is open, whatever way the command ends.
class TQuietTray
{
public:
  explicit TQuietTray(TfrmMain &form) : form(form) { form.SetTrayNotifications(false); }
  ~TQuietTray() { form.SetTrayNotifications(true); }
  TQuietTray(const TQuietTray &) = delete;
  TQuietTray &operator=(const TQuietTray &) = delete;

private:
  TfrmMain &form;
};

} // namespace

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
