#include "stack/MySqlConfig.h"

#include "config/ConfigFile.h"
#include "stack/MySqlSystemTables.h"
#include "utils/FileText.h"
#include "utils/FileTree.h"
#include "utils/Ini.h"
#include "utils/Paths.h"

#include <cerrno>
#include <cstring>
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

std::string MySqlInitFilePath(const std::string &workFolder)
{
  return workFolder + "/mysql-init.sql";
}

TIniValues MySqlIniSettings(const TStackSetup &setup)
{
  TIniValues settings = {
      {"basedir", QuotedValue(setup.binFolder + "/mysql")},
      {"datadir", QuotedValue(MySqlDataFolder(setup))},
      {"bind-address", LoopbackAddress},
      {"port", std::to_string(setup.mySqlPort)},
      // Without InnoDB the server needs another default engine to start at all.
      {"default-storage-engine", setup.innoDb ? "InnoDB" : "Aria"},
      {"socket", QuotedValue(MySqlSocketPath(setup.workFolder))},
      {"pid-file", QuotedValue(setup.workFolder + "/mysql.pid")},
      // The server's built-in folder is the host's, which a movable stack cannot rely on.
      {"character-sets-dir", QuotedValue(setup.binFolder + "/mysql/share/charsets")},
      // As Debian's own server configuration: a database made without a charset takes any text.
      {"character-set-server", "utf8mb4"},
      {"collation-server", "utf8mb4_general_ci"},
  };
  if (!setup.innoDb)
    return settings;
  const TIniValues innoDb = {
      // A desktop's sites fit in 16 MB of cached pages; MariaDB's 128 MB default is a server's.
      {"innodb_buffer_pool_size", "16M"},
      // The redo log is written in full when the data folder is made: 8 MB instead of 96 MB keeps
      // a fresh data folder (and the CD copy of it) at about a fifth of the default's size, and
      // still holds thousands of transactions between checkpoints.
      {"innodb_log_file_size", "8M"},
      // The system tablespace grows in 8 MB steps, not 64 MB ones.
      {"innodb_autoextend_increment", "8"},
      // A data folder made without InnoDB gets the system tables that live in InnoDB.
      {"init-file", QuotedValue(MySqlInitFilePath(setup.workFolder))},
  };
  settings.insert(settings.end(), innoDb.begin(), innoDb.end());
  return settings;
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
  if (setup.innoDb) {
    const std::string initFile = MySqlInitFilePath(setup.workFolder);
    const int error = AppUtils::ReplaceFileAtomically(
        initFile, [](int fd) { return AppUtils::WriteAll(fd, InnoDbSystemTablesSql()); }, 0600,
        AppUtils::TDurability::Scratch);
    if (error != 0)
      throw std::runtime_error("Cannot create file \"" + initFile + "\". " + std::strerror(error));
  }
  AppUtils::WriteGeneratedIni(path, entries);
  return path;
}

} // namespace Corvala
