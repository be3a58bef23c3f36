#include "stack/MySqlConfig.h"

#include "config/ConfigFile.h"
#include "utils/FileTree.h"
#include "utils/Ini.h"
#include "utils/Paths.h"

#include <stdexcept>

namespace Corvala
{

// The server's option files unescape "\\" and "\"" inside a quoted value.
static std::string QuotedValue(const std::string &text)
{
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"')
      quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

std::string MySqlSocketPath(const std::string &workFolder)
{
  std::string path = workFolder + "/" + MySqlSocketName;
  if (path.size() > MaxSocketPathLength)
    throw std::runtime_error("The MySQL socket path \"" + path + "\" is longer than " +
                             std::to_string(MaxSocketPathLength) + " bytes");
  return path;
}

std::string MySqlDataFolder(const TStackSetup &setup)
{
  return setup.isCdRom ? setup.workFolder + "/data" : setup.appPath + "data";
}

TIniValues MySqlIniSettings(const TStackSetup &setup)
{
  return {
      {"basedir", QuotedValue(setup.binFolder + "/mysql")},
      {"datadir", QuotedValue(MySqlDataFolder(setup))},
      {"bind-address", LoopbackAddress},
      {"port", std::to_string(setup.mySqlPort)},
      // Without InnoDB the server needs another default engine to start at all.
      {"default-storage-engine", "Aria"},
      {"socket", QuotedValue(MySqlSocketPath(setup.workFolder))},
      {"pid-file", QuotedValue(setup.workFolder + "/mysql.pid")},
      // The server's built-in folder is the host's, which a movable stack cannot rely on.
      {"character-sets-dir", QuotedValue(setup.binFolder + "/mysql/share/charsets")},
  };
}

std::string WriteMySqlConfig(const TStackSetup &setup)
{
  std::string path = setup.workFolder + "/my.ini";
  const TIniValues settings = MySqlIniSettings(setup);
  if (setup.isCdRom && !AppUtils::DirectoryExists(setup.workFolder + "/data")) {
    AppUtils::CopyFolder(setup.appPath + "data", setup.workFolder);
    AppUtils::SetTreeReadOnly(setup.workFolder + "/data", false);
  }
  std::vector<AppUtils::TIniEntry> entries;
  for (const auto &[key, value] : settings)
    entries.push_back({"mysqld", key, value});
  AppUtils::WriteGeneratedIni(path, entries);
  return path;
}

} // namespace Corvala
