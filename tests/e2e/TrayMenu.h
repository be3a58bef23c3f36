#pragma once

#include "DialogPoints.h"

#include <string>
#include <sys/types.h>
#include <vector>

// The launcher's maintenance commands worked as a user works them: a right click on its tray icon,
// an entry of the menu, the dialog and the confirmation, with the pointer and keys.
namespace E2e
{

// Opens the launcher's tray menu with a right click on its icon and picks an entry by its mnemonic
// key; gives the dialog window the entry opens (empty, with a test failure, when none opened).
std::string OpenFromTray(pid_t launcher, const std::string &mnemonic, const std::string &dialogName);

// Answers Yes to "Are you sure you want to do this?" (Yes is the default button).
void ConfirmYes(const std::string &screenshot);

// Sets the port in the launcher's Server Settings, ticks the check boxes named (e.g. "chkXdebug")
// and confirms: the launcher hands over to "/setup".
void ApplySettingsPort(pid_t launcher, int port, const std::string &screenshotPrefix,
                       const std::vector<const char *> &checkBoxes = {});

} // namespace E2e
