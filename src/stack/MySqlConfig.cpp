#include "stack/MySqlConfig.h"

#include "base/Quoting.h"
#include "config/ConfigFile.h"
#include "files/FileText.h"
#include "files/FileTree.h"
#include "files/Paths.h"
#include "ini/Ini.h"
#include "stack/BinFolder.h"
#include "stack/MySqlSystemTables.h"
#include "stack/PrivateMode.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>

namespace Corvala
{

// The server's option files unescape "\\" and "\"" inside a quoted value.
static std::string QuotedValue(const std::string &text)
{
  return Base::BackslashQuoted(text, '"');
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

std::string MySqlTempFolder(const std::string &workFolder)
{
  return workFolder + "/mysql-tmp";
}

Base::TStringArray MySqlWritableFolders(const TStackSetup &setup)
{
  return {MySqlDataFolder(setup), setup.workFolder};
}

// A folder of the server's own in the work folder, private to the owner.
static void MakeServerFolder(const std::string &folder)
{
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw std::runtime_error("Cannot create folder \"" + folder + "\". " + std::strerror(errno));
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
      // Its default is the temporary folder the work folder is in, where the server may not write.
      {"tmpdir", QuotedValue(MySqlTempFolder(setup.workFolder))},
      // The server's built-in folder is the host's, which a movable stack cannot rely on.
      {"character-sets-dir", QuotedValue(setup.binFolder + "/mysql/share/charsets")},
      // As Debian's own server configuration: a database made without a charset takes any text.
      {"character-set-server", "utf8mb4"},
      {"collation-server", "utf8mb4_general_ci"},
      // LOAD_FILE and INTO OUTFILE act with the server's rights, which are the owner's: outside
      // this folder they would read and write the owner's files for any client.
      {"secure_file_priv", QuotedValue(MySqlFilesFolder(setup.workFolder))},
      // A TCP client from 127.0.0.1 must never be taken for 'localhost', the socket's accounts,
      // which need no password in the private mode.
      {"skip-name-resolve", setup.privateMode ? "1" : "0"},
      // A MyISAM table that a crash left open is checked row by row when it is next used, and
      // repaired (its data file backed up first). The server's quick check compares only counts,
      // so a row written without its key would stay, found by scans and missed by lookups.
      {"myisam-recover-options", "BACKUP"},
  };
  if (setup.innoDb) {
    const TIniValues innoDb = {
        // 16 MB, less than the 24 MB the page cleaner aims to keep free (innodb_lru_scan_depth),
        // wrote single-row commits at half a stock server's speed; 32 MB and more keep up with the
        // stock 128 MB. 64 MB leaves a site's pages room, and since only pages in use take memory,
        // the idle server stays below the stock one (scripts/bench-mysql.py).
        {"innodb_buffer_pool_size", "64M"},
        // The redo log is written in full when the data folder is made: 8 MB instead of 96 MB keeps
        // a fresh data folder (and the CD copy of it) at about a fifth of the default's size, and
        // still holds thousands of transactions between checkpoints.
        {"innodb_log_file_size", "8M"},
        // The system tablespace grows in 8 MB steps, not 64 MB ones.
        {"innodb_autoextend_increment", "8"},
    };
    settings.insert(settings.end(), innoDb.begin(), innoDb.end());
  }
  if (!MySqlInitSql(setup).empty())
    settings.push_back({"init-file", QuotedValue(MySqlInitFilePath(setup.workFolder))});
  return settings;
}

// A password in single quotes for SQL; the generated ones are hexadecimal digits only.
static std::string SqlString(const std::string &text)
{
  return Base::BackslashQuoted(text, '\'');
}

std::string MySqlInitSql(const TStackSetup &setup)
{
  std::string sql;
  // The password statements come first: a failing statement ends the file's run.
  if (setup.mySqlRootPassword) {
    // Every TCP root account; 'localhost' is the socket's, which the file system guards.
    for (const char *host : {"127.0.0.1", "::1", "%"})
      sql += "ALTER USER IF EXISTS 'root'@'" + std::string(host) + "' IDENTIFIED BY " +
             SqlString(*setup.mySqlRootPassword) + ";\n";
  }
  // A data folder made without InnoDB gets the system tables that live in InnoDB.
  if (setup.innoDb)
    sql += InnoDbSystemTablesSql();
  return sql;
}

std::string WriteMySqlConfig(const TStackSetup &setup)
{
  std::string path = setup.workFolder + "/my.ini";
  const TIniValues settings = MySqlIniSettings(setup);
  if (setup.isCdRom && !Files::DirectoryExists(setup.workFolder + "/data")) {
    CopyFromDisc(setup.appPath + "data", setup.workFolder);
    Files::SetTreeReadOnly(setup.workFolder + "/data", false);
  }
  std::vector<Ini::TIniEntry> entries;
  for (const auto &[key, value] : settings)
    entries.push_back({"mysqld", key, value});
  MakeServerFolder(MySqlFilesFolder(setup.workFolder));
  MakeServerFolder(MySqlTempFolder(setup.workFolder));
  const std::string initSql = MySqlInitSql(setup);
  if (!initSql.empty()) {
    const std::string initFile = MySqlInitFilePath(setup.workFolder);
    const int error = Files::ReplaceFileAtomically(
        initFile, [&initSql](int fd) { return Files::WriteAll(fd, initSql); }, 0600,
        Files::TDurability::Scratch);
    if (error != 0)
      throw std::runtime_error("Cannot create file \"" + initFile + "\". " + std::strerror(error));
  }
  Ini::WriteGeneratedIni(path, entries);
  return path;
}

} // namespace Corvala
