#include "config/ConfigFile.h"

#include "utils/ExeResources.h"
#include "utils/Ini.h"

#include <stdexcept>

namespace Corvala
{

std::string PrepareConfigFile(const std::string &workFolder)
{
  // An empty folder would put the file in the file-system root.
  if (workFolder.empty())
    throw std::runtime_error("No work folder for Config.ini");
  std::string path = workFolder + "/Config.ini";
  AppUtils::ExtractResourceToFile("res_Config_ini", path);
  return path;
}

bool IsFlagOn(const std::string &value)
{
  return value != "0";
}

std::string TConfigFile::Read(const std::string &key) const
{
  return AppUtils::ReadIniString(path_, "INI", key);
}

void TConfigFile::Write(const std::string &key, const std::string &value) const
{
  AppUtils::WriteIniString(path_, "INI", key, value);
}

} // namespace Corvala
