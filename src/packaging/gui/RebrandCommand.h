#pragma once

#include "packaging/gui/BuildRun.h"

#include <string>

class TCommandHost;

// The main window's Rebrand command: the rebrand dialog filled from BrandFile and, after "Go!", the
// distribution build of the running launcher on a thread of its own, watched in a progress window
// with Cancel while the main window goes on working; the database server holds still (Hold) while
// its data is copied. The command runs until the build has ended: a request to end the program
// meanwhile cancels the build first. A finished build is named in a message that offers to open
// its folder; a failure is shown in one "Error" box. The tray's notifications are off while the
// command runs and on again on every way out. LauncherPath is the launcher the distribution copies
// and runs for its resource commands; empty: this program.
void BuildDistribution(TCommandHost &host, const std::string &brandFile, const TDataHold &hold = {},
                       const std::string &launcherPath = {});
