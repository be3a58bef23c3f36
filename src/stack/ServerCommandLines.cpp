#include "stack/ServerCommandLines.h"

#include <stdexcept>

namespace Corvala
{

// Quotes group an argument and are removed; nothing can escape a quote inside one.
static const std::string &Checked(const std::string &path)
{
  if (path.find('"') != std::string::npos)
    throw std::runtime_error("The path \"" + path + "\" cannot be passed to a server");
  return path;
}

std::string MySqlExePath(const std::string &binFolder)
{
  return binFolder + "/mysql/bin/mysqld";
}

std::string ApacheExePath(const std::string &binFolder)
{
  return binFolder + "/Apache/Apache";
}

std::string MySqlParameters(const std::string &myIniPath, const TStackSetup &setup)
{
  return "\"--defaults-file=" + Checked(myIniPath) + "\" \"--port=" + std::to_string(setup.mySqlPort) +
         "\" " + (setup.innoDb ? "" : "\"--skip-innodb\" ") +
         "\"--language=" + Checked(setup.binFolder + "/mysql/share/english") + "\"" +
         (setup.runningAsRoot ? " \"--user=root\"" : "");
}

std::string ApacheParameters(const std::string &httpdConfPath)
{
  return "-f \"" + Checked(httpdConfPath) + "\" -DFOREGROUND";
}

} // namespace Corvala
