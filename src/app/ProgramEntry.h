#pragma once

// The program's main routine: a command line goes to the command modes, an argument-less start
// relaunches itself once with the marker, and the marked instance runs the launcher. Every path
// ends the process.
int StartProgram(int argc, char **argv);
