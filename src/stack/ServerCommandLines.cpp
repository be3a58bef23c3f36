#include "stack/ServerCommandLines.h"

#include "process/CommandLine.h"

using Process::CommandLineWord;

namespace Corvala
{

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
  return CommandLineWord("--defaults-file=" + myIniPath) + " \"--port=" + std::to_string(setup.mySqlPort) +
         "\" " + (setup.innoDb ? "" : "\"--skip-innodb\" ") +
         CommandLineWord("--language=" + setup.binFolder + "/mysql/share/english") +
         (setup.runningAsRoot ? " \"--user=root\"" : "");
}

std::string ApacheParameters(const std::string &httpdConfPath)
{
  return "-f " + CommandLineWord(httpdConfPath) + " -DFOREGROUND";
}

} // namespace Corvala
