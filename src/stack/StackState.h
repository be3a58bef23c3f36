#pragma once

#include "base/Types.h"

#include <string>

namespace Corvala
{

// What the start-up found and started (empty or 0 when a step did not happen).
struct TStackState {
  std::string AppName;
  std::string WorkFolder;
  std::string ConfigFile;
  std::string BrandFile;
  std::string BinFolder;
  std::string MySqlExePath;
  int MySqlPort = 0;
  std::string MySqlIniPath;
  Base::TProcessId MySqlProcessId = 0;
  int ApachePort = 0;
  std::string HttpdConfPath;
  std::string ApacheExePath;
  Base::TProcessId ApacheProcessId = 0;
  Base::TProcessId SplashProcessId = 0;
  std::string BrowserIniPath;
  std::string BrowserPath;
  std::string BrowserParameters;
  // The page that hands the site's key to the external browser; empty when there is none.
  std::string HandOverPage;
  bool UseExternalBrowser = false;
  bool IsCdRom = false;
  // Config.ini's "only my account" mode; then the key the site wants from every request (a cookie
  // named SiteKeyName, or once in the address) and where MySQL's root password over TCP is kept.
  bool PrivateMode = false;
  std::string SiteKey;
  std::string MySqlRootPasswordFile;
  // One line for the window's status bar, shown once the site is up; empty when there is nothing
  // to say. Set when MySQL runs without its write confinement on a kernel without Landlock.
  std::string StatusNote;
};

} // namespace Corvala
