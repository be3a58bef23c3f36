#pragma once

#include <QString>
#include <string>

// The tray (and window) menu's applications-menu entry of the running launcher (Program), named
// Title there.
// Its caption for the entry's present state: "Add to Applications Menu", "Remove from
// Applications Menu", or, when an entry of this title starts a program that is gone (the tree was
// moved), "Update Applications Menu Entry...".
QString DesktopEntryCaption(const std::string &title, const std::string &program);

// Adds the launcher with its icon at every size it carries, removes what an earlier add wrote, or
// offers to point a stale entry at this launcher. A failure is shown in one "Error" box.
void RunDesktopEntryCommand(const std::string &title, const std::string &program);
