#pragma once

#include "widgets/CommandHost.h"

// Tray notifications stay off while a dialog of the main window is open, whatever way it ends.
class TQuietTray
{
public:
  explicit TQuietTray(TCommandHost &host) : host(host) { host.SetTrayNotifications(false); }
  ~TQuietTray() { host.SetTrayNotifications(true); }
  TQuietTray(const TQuietTray &) = delete;
  TQuietTray &operator=(const TQuietTray &) = delete;

private:
  TCommandHost &host;
};
