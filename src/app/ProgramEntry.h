#pragma once

// The program's main routine: a command line goes to the command modes, an argument-less start
// relaunches itself once with the marker, and the marked instance runs the launcher. Gives the
// exit code; the first start ends itself once the instance runs.
int StartProgram(int argc, char **argv);
