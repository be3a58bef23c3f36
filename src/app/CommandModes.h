#pragma once

// Recognises the command mode of the command line and runs it; a command line that matches no mode
// does nothing. Gives the process's exit code: 0, or 1 when an error escaped the mode (it is shown
// as "Application Error").
int RunCommandLine(int argc, char **argv);
