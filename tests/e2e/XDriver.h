#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Drives a running program's windows from outside, as a user would, with xdotool: the X windows
// are found by process and name, and pointer and keys go through the XTEST extension.
namespace E2e
{

// Ids of the mapped windows whose _NET_WM_PID is Pid.
std::vector<std::string> VisibleWindowsOf(pid_t pid);

// The process's icon in the display's tray (empty while there is none). The tray embeds the icon's
// own small window; the process's other windows are far larger.
std::string TrayIconWindowOf(pid_t pid);

// The process's open pop-up menu (empty while there is none): a window outside the window manager's
// care that is larger than the icon both ways.
std::string PopupMenuOf(pid_t pid);

// The first mapped window whose name matches the pattern (empty when there is none).
std::string VisibleWindowNamed(const std::string &pattern);

// Moves the pointer to X, Y inside Window and clicks Button (1 left, 3 right).
bool ClickIn(const std::string &window, int x, int y, int button = 1);

// Sends key strokes (xdotool key names, e.g. "ctrl+a" or "Return") to the window with the focus.
bool PressKeys(const std::string &keys);

// Types Text into the window with the focus.
bool TypeText(const std::string &text);

// Makes Window the active one (or at least the focused one), so that key strokes reach it.
bool ActivateWindow(const std::string &window);

} // namespace E2e
