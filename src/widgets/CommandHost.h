#pragma once

class QWidget;

// What the maintenance and packaging commands need of the window they run from (the main window),
// so that they depend on it and not on the browser behind it.
class TCommandHost
{
public:
  // The window the commands' dialogs belong to.
  virtual QWidget *DialogOwner() = 0;
  // Tray notifications on or off; off while a command's dialog is open.
  virtual void SetTrayNotifications(bool enabled) = 0;
  // Ends the launcher, once a command has handed its work on.
  virtual void CloseApplication() = 0;

protected:
  ~TCommandHost() = default;
};
