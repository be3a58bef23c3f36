#pragma once

#include "base/Types.h"

#include <functional>

// The work of the "downsize" mode. It receives exactly 17 flags: arguments 2 to 18 of the command
// line, positions the command line does not give filled with "0" (keep the component).
using TDownSizeRunner = std::function<void(const Base::TStringArray &flags)>;

// Registers the down-size work for the "downsize" mode; the program does this before it hands
// its command line over. Without a runner the mode fails with an error.
void SetDownSizeRunner(TDownSizeRunner runner);

// Recognises the command mode of the command line and runs it; a command line that matches no mode
// does nothing. Gives the process's exit code: 0, or 1 when an error escaped the mode (it is shown
// as "Application Error").
int RunCommandLine(int argc, char **argv);
