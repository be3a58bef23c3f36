#pragma once

// The launcher itself: starts the server stack, shows the main window on the local site and runs
// the event loop; the window's end stops the stack. Gives the exit code.
int RunLauncher(int argc, char **argv);
