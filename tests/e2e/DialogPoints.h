#pragma once

// Where a user clicks in the launcher's maintenance dialogs, in the dialogs' client coordinates. The
// points are read from the dialogs themselves, laid out off screen in this process, so that they
// follow the forms and the style instead of fonts and numbers written here.
namespace E2e
{

struct TPoint {
  int x;
  int y;
};

// Server Settings: the port field's text, the box of the check box named Name (e.g. "chkXdebug"),
// and OK.
TPoint SettingsPortField();
TPoint SettingsBox(const char *name);
TPoint SettingsOk();

// Down Size: the box of the component with the check box named Name (e.g. "chkMySQL"), and OK.
TPoint DownSizeBox(const char *name);
TPoint DownSizeOk();

} // namespace E2e
