#pragma once

#include "stack/StackSetup.h"

#include <string>

namespace Corvala
{

// "<bin>/mysql/bin/mysqld": MySQL is started only when this file exists.
std::string MySqlExePath(const std::string &binFolder);

// "<bin>/Apache/Apache".
std::string ApacheExePath(const std::string &binFolder);

// mysqld's parameters: "--defaults-file=<ini>" "--port=<setup.mySqlPort>", "--skip-innodb" when
// setup.innoDb is off (exactly the old command line), "--language=<bin>/mysql/share/english", each
// as one command-line word (any path passes), and "--user=root" when running as root (for anyone
// else mysqld refuses the switch: "One can only use the --user switch if running as root").
std::string MySqlParameters(const std::string &myIniPath, const TStackSetup &setup);

// Apache's parameters: -f "<httpd.conf>" -DFOREGROUND (in the foreground the started process stays
// Apache's parent).
std::string ApacheParameters(const std::string &httpdConfPath);

} // namespace Corvala
