#pragma once

#include <array>
#include <string>
#include <vector>

// One optional component of the stack that a down-size can delete. Paths are relative to the
// application folder (GetAppPath form, with its trailing '/').
struct TDownSizeComponent {
  const char *checkBox; // the dialog's check box
  const char *caption;
  const char *offeredBy; // the file or folder whose presence makes the component selectable
  bool offeredByFolder;
  std::vector<const char *> folders; // deleted first, in order
  std::vector<const char *> files;   // then these
  const char *favoriteSection;       // then this key of bin/Favorites.ini, when given
  const char *favoriteKey;
};

inline constexpr size_t DownSizeComponentCount = 17;

// The components in the order of their flags on the "downsize" command line.
const std::array<TDownSizeComponent, DownSizeComponentCount> &DownSizeComponents();

// True when the component's file or folder exists below AppPath.
bool IsComponentOffered(const TDownSizeComponent &component, const std::string &appPath);

// "downsize" and the 17 flags, "-1" for a selected component and "0" for one kept, separated by
// single blanks.
std::string DownSizeParameters(const std::array<bool, DownSizeComponentCount> &selected);

// Deletes the components whose flag is present and not "0" (flags in command-line order; missing
// positions keep their component), then the shared libraries no remaining extension needs.
// Every deletion is silent.
void DeleteDownSizeSelection(const std::string &appPath, const std::vector<std::string> &flags);

// The "downsize" mode: waits until this process is the only one running its executable, deletes
// the selection beside the executable and starts the executable again without arguments.
void RunDownSize(const std::vector<std::string> &flags);
