#pragma once

#include "base/Types.h"
#include "stack/StackSetup.h"

#include <string>
#include <utility>
#include <vector>

namespace Corvala
{

using TIniValues = std::vector<std::pair<std::string, std::string>>;

// The server's socket, in the work folder.
constexpr const char *MySqlSocketName = "mysql.sock";

// The longest socket path the system takes (sun_path holds 108 bytes with the terminator).
constexpr size_t MaxSocketPathLength = 107;

// "<work>/mysql.sock"; throws std::runtime_error when it is longer than MaxSocketPathLength.
std::string MySqlSocketPath(const std::string &workFolder);

// The MySQL data folder: "<work>/data" on CD (the writable copy), otherwise "<app>data".
std::string MySqlDataFolder(const TStackSetup &setup);

// "<work>/mysql-init.sql": the statements the server runs at its start before it serves.
std::string MySqlInitFilePath(const std::string &workFolder);

// "<work>/mysql-tmp": the server's temporary files (tmpdir), inside the folders it may write.
std::string MySqlTempFolder(const std::string &workFolder);

// The only folders the server may write in: its data folder, and the work folder with its socket,
// pid file, temporary files and the file functions' folder.
Base::TStringArray MySqlWritableFolders(const TStackSetup &setup);

// The statements the server runs at its start: with setup.mySqlRootPassword, the password of
// root's TCP accounts (127.0.0.1, ::1 and %; 'localhost', reached through the socket, is left
// alone); with InnoDB, InnoDbSystemTablesSql. Empty when there is nothing to run.
std::string MySqlInitSql(const TStackSetup &setup);

// The [mysqld] settings of my.ini, in the order a new file receives them: basedir, datadir,
// bind-address, port, default-storage-engine (InnoDB, or Aria when setup.innoDb is off), socket,
// pid-file ("<work>/mysql.pid"), tmpdir (MySqlTempFolder), character-sets-dir ("<bin>/mysql/share/charsets"),
// character-set-server utf8mb4, collation-server utf8mb4_general_ci, secure_file_priv
// (MySqlFilesFolder), skip-name-resolve ("1" in the private mode, else "0"); with InnoDB then its
// footprint (innodb_buffer_pool_size 64M, innodb_log_file_size 8M, innodb_autoextend_increment 8);
// init-file (MySqlInitFilePath) when MySqlInitSql is not empty. Paths are double-quoted with '\'
// and '"' escaped as the server's option files read them.
TIniValues MySqlIniSettings(const TStackSetup &setup);

// Writes the settings into "<work>/my.ini" with WriteIniString (an older file keeps its other
// content), copying the data folder into the work folder first when on CD (made writable) and no
// copy is there yet: a server that moves to another port keeps the copy it started with. Creates
// MySqlFilesFolder and MySqlTempFolder (mode 0700) and writes the init file with MySqlInitSql when that is
// not empty, so a data folder made without InnoDB is brought up to date at the start and one that is up to
// date stays as it is. Gives the path. Throws the INI write error, "Cannot create file" or the socket length
// error.
std::string WriteMySqlConfig(const TStackSetup &setup);

} // namespace Corvala
