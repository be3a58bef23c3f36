#pragma once

#include "shell/MainForm.h"

// Tray notifications stay off while a dialog of the main window is open, whatever way it ends.
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
