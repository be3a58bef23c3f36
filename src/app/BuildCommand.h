#pragma once

#include "base/Types.h"

// "--build-distribution BRAND.INI": the Rebrand dialog's distribution build of this program's
// stack, for build scripts, without a display. The progress goes to standard error as plain lines,
// the finished distribution's folder and contents to standard output. A failure, or SIGINT, SIGTERM
// or SIGHUP meanwhile, removes what the build made and is reported as one "Application Error" line
// on standard error (never in a box). Arguments: those after the mode word. Gives the exit code.
int RunBuildDistributionCommand(const Base::TStringArray &arguments);
