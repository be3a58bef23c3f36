#pragma once

#include "base/Types.h"
#include "shell/LogSource.h"

#include <functional>
#include <string>

// What the start-up sequence hands to the main window once the servers run.
struct TStartupInfo {
  std::string appName;        // the configured title, as read (may be empty)
  int apachePort = 0;         // the HTTP port in use
  bool brand = true;          // "brand" is not "0": branded distribution
  bool showTrayIcon = true;   // "trayicon" is not "0"
  bool showToolbar = true;    // "toolbar" is not "0"
  bool showStatusBar = true;  // "statusbar" is not "0"
  bool fullScreen = false;    // "fullscreen" is not "0"
  bool isCdRom = false;       // the program runs from a CD-ROM
  bool developerTools = true; // F12 and "Inspect" open the engine's developer tools
  std::string binFolder;      // the bin folder in use
  std::string favoritesFile;  // where Favorites.ini is looked for
  Base::TProcessId splashProcessId = 0;
};

// How the main window reaches the server stack, which it does not own.
struct TStackHooks {
  std::function<void()> stopServers; // run when the main window is destroyed
  std::function<void()> endSplash;   // ends the splash process, which the stack started
  // Opens the user's terminal on the running stack; throws std::runtime_error saying why it cannot.
  std::function<void()> openTerminal;
  // The running stack's logs, asked for when the Logs window first opens.
  std::function<TRunLogs()> runLogs;
};
