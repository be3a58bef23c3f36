#pragma once

#include <string>

class TfrmMain;

// The main window's Rebrand command: the rebrand dialog filled from BrandFile and, after "Go!", the
// distribution build of the running launcher under the wait cursor, its output folder opened on
// the desktop. A failure is shown in one "Error" box. The tray's notifications are off while the
// command runs and on again on every way out.
void BuildDistribution(TfrmMain &form, const std::string &brandFile);

// Connects the main window's Rebrand button to BuildDistribution on BrandFile.
void ConnectRebrand(TfrmMain &form, const std::string &brandFile);
