#pragma once

#include <map>
#include <string>
#include <vector>

namespace Corvala
{

// What the applications menu shows for a launcher (a tree's, or a distribution's runme).
struct TDesktopProgram {
  // The program the entry starts.
  std::string ProgramPath;
  // The menu's name for it: the launcher's title.
  std::string Title;
  // Its icon as PNG files by pixel size (square sizes of the hicolor theme only).
  std::map<int, std::string> Icons;
};

// Where the program stands in the applications menu of $XDG_DATA_HOME (else ~/.local/share).
enum class TDesktopEntryState {
  // No entry of ours for it.
  Missing,
  // An entry that starts this program.
  Present,
  // An entry of this title whose program is gone: the tree was moved.
  Stale,
};

struct TDesktopEntryLookup {
  TDesktopEntryState State = TDesktopEntryState::Missing;
  // The entry's .desktop file when Present or Stale.
  std::string File;
  // The program a stale entry starts.
  std::string OldProgram;
};

// The applications folder and hicolor icon theme of the user's data folder.
std::string DesktopDataFolder();

// Finds this program's entry: the .desktop file of ours that starts it, or else one of the same
// title whose program no longer exists.
TDesktopEntryLookup FindDesktopEntry(const std::string &programPath, const std::string &title);

// Writes a .desktop file for the program into "<data>/applications" and its icons into
// "<data>/icons/hicolor/<N>x<N>/apps", and gives the .desktop file's path. The file lists every
// file it wrote, so that RemoveDesktopEntry removes exactly those. Throws naming the file that
// could not be written; what was written before is removed then.
std::string WriteDesktopEntry(const TDesktopProgram &program);

// Removes the .desktop file and the icons it lists as written with it; nothing else.
void RemoveDesktopEntry(const std::string &desktopFile);

// The Exec line's value for a program path, quoted and escaped as desktop files require.
std::string DesktopExecValue(const std::string &programPath);

} // namespace Corvala
