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
// in double quotes, and "--user=root" when running as root (for anyone else mysqld refuses the
// switch: "One can only use the --user switch if running as root"). Throws std::runtime_error when
// a path holds a double quote, which the argument rules cannot carry.
std::string MySqlParameters(const std::string &myIniPath, const TStackSetup &setup);

// Apache's parameters: -f "<httpd.conf>" -DFOREGROUND (in the foreground the started process stays
// Apache's parent). Throws like MySqlParameters.
std::string ApacheParameters(const std::string &httpdConfPath);

} // namespace Corvala
