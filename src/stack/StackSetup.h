#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Corvala
{

// Everything the server configuration writers are given; the start-up fills it once per run.
struct TStackSetup {
  std::string appPath;    // application folder, with trailing '/'
  std::string binFolder;  // bin folder in use, no trailing '/'
  std::string workFolder; // per-installation work folder, no trailing '/'
  std::string ip;         // "ip" of Config.ini as read
  // Host names the site answers to besides the loopback ones ("allowedhosts" of Config.ini).
  std::vector<std::string> allowedHosts;
  // This computer's own names, which the site answers to when it listens on every address.
  std::vector<std::string> machineNames;
  int apachePort = 0;
  int mySqlPort = 0; // 0 when MySQL is not started
  bool isCdRom = false;
  bool copyFilesToHardDisk = true; // the "copyfilestoharddisk" flag; only matters on CD
  bool runningAsRoot = false;
  // The "innodb" flag: MySQL with InnoDB as its default engine; off, the old Aria-only server.
  bool innoDb = true;
  // The "brand" flag: a branded distribution, whose PHP runs with production settings; off, the
  // developer's own tree, with development ones.
  bool brand = false;
  // The "xdebug" key: PHP loads Xdebug (when the tree still has it) for the site and the terminal.
  bool xdebug = false;
  // The "only my account" mode: root over TCP needs a password and Apache wants the site's key.
  bool privateMode = false;
  // Set: the password the start gives MySQL's root over TCP (empty gives back the open default).
  std::optional<std::string> mySqlRootPassword;
  // The per-start key every request to the site must carry (empty: the site is open).
  std::string siteKey;
};

} // namespace Corvala
