#pragma once

#include <string>

class TCommandHost;

// The tray menu's "Server Settings...": shows the settings of the working Config.ini (rewritten from
// the executable first) in the dialog and, on OK, hands the change to a command copy of the program
// and closes the launcher. Errors reach the default error report and leave the launcher running.
void RunSettingsCommand(TCommandHost &host, const std::string &workFolder);

// The tray menu's "Down Size...": shows the dialog and, on OK, starts the program's "downsize" mode
// with the selection and closes the launcher. When that start fails, the error is raised and the
// launcher keeps running.
void RunDownSizeCommand(TCommandHost &host);
