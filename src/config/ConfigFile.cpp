#include "config/ConfigFile.h"

#include "config/IntegerValue.h"
#include "ini/Ini.h"
#include "resources/ExeResources.h"

#include <arpa/inet.h>
#include <stdexcept>

namespace Corvala
{

std::string PrepareConfigFile(const std::string &workFolder)
{
  // An empty folder would put the file in the file-system root.
  if (workFolder.empty())
    throw std::runtime_error("No work folder for Config.ini");
  std::string path = workFolder + "/Config.ini";
  Resources::ExtractResourceToFile("res_Config_ini", path);
  return path;
}

bool IsFlagOn(const std::string &value)
{
  return value != "0";
}

std::string TConfigFile::Read(const std::string &key) const
{
  return Ini::ReadIniString(path_, "INI", key);
}

// A wrong value is reported with where it came from: the user fixes it there (in Server Settings, or
// in the file a distribution is built from).
[[noreturn]] static void RefuseValue(const std::string &path, const std::string &key,
                                     const std::string &reason)
{
  const std::string fileName = path.substr(path.rfind('/') + 1);
  throw std::runtime_error(fileName + ", key \"" + key + "\": " + reason);
}

int TConfigFile::ReadInteger(const std::string &key) const
{
  try {
    return StrToInt(Read(key));
  } catch (const std::invalid_argument &error) {
    RefuseValue(path_, key, error.what());
  }
}

std::string TConfigFile::ReadListenAddress(const std::string &key) const
{
  std::string value = Read(key);
  if (value == AllAddresses)
    return value;
  in_addr address{};
  // inet_pton takes exactly four decimal parts, each 0 to 255, and nothing around them.
  if (inet_pton(AF_INET, value.c_str(), &address) != 1)
    RefuseValue(path_, key,
                "'" + value + "' is not a valid IPv4 address (" + LoopbackAddress +
                    " serves this computer only, 0.0.0.0 or " + AllAddresses + " every network)");
  return value;
}

void TConfigFile::Write(const std::string &key, const std::string &value) const
{
  Ini::WriteIniString(path_, "INI", key, value);
}

} // namespace Corvala
