#pragma once

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

// The [mysqld] settings of my.ini, in the order a new file receives them: basedir, datadir,
// bind-address, port, default-storage-engine, socket, pid-file ("<work>/mysql.pid"),
// character-sets-dir ("<bin>/mysql/share/charsets"). Paths are double-quoted with
// '\' and '"' escaped as the server's option files read them.
TIniValues MySqlIniSettings(const TStackSetup &setup);

// Writes the settings into "<work>/my.ini" with WriteIniString (an older file keeps its other
// content), copying the data folder into the work folder first when on CD (made writable) and no
// copy is there yet: a server that moves to another port keeps the copy it started with.
// Gives the path. Throws the INI write error or the socket length error.
std::string WriteMySqlConfig(const TStackSetup &setup);

} // namespace Corvala
