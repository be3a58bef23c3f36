#pragma once

#include <string>

class TCommandHost;

// The main window's Rebrand command: the rebrand dialog filled from BrandFile and, after "Go!", the
// distribution build of the running launcher under the wait cursor, its output folder opened on
// the desktop. A failure is shown in one "Error" box. The tray's notifications are off while the
// command runs and on again on every way out.
void BuildDistribution(TCommandHost &host, const std::string &brandFile);
