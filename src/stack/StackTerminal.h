#pragma once

#include "base/Types.h"
#include "stack/CommandLineTools.h"
#include "stack/StackState.h"

#include <string>

namespace Corvala
{

// The user's terminal: "x-terminal-emulator" found on PATH, else $TERMINAL (a path, or a name
// looked up on PATH). Throws std::runtime_error naming both when neither is there.
std::string FindTerminalProgram();

// "<work>/terminal": the folder of the terminal's client option file. Only forms the path.
std::string TerminalClientOptionsFolder(const std::string &workFolder);

// The client option file the terminal's MariaDB tools read ("<work>/terminal/my.cnf", through
// MARIADB_HOME and MYSQL_HOME): user root through the server's socket (mySqlPort for a client that
// asks for TCP), in utf8mb4. Written mode 0600 in a 0700 folder at every start of MySQL and when
// a terminal opens; gives the folder. Throws std::runtime_error when it cannot be written.
std::string WriteTerminalClientOptions(const std::string &workFolder, int mySqlPort);

// Opens the user's terminal (FindTerminalProgram) on the running stack, not waited for, as its
// own process group: in the web root the servers serve (the work folder's copy on a CD, else
// "<app>www"), with PATH led by "<app>bin/php" and "<app>bin/mysql/bin", PHPRC the work folder
// (its php.ini) and PHP_INI_SCAN_DIR empty; when MySQL runs, MYSQL_UNIX_PORT (its socket) and the
// client option file, so that php, mariadb and mariadb-dump reach this stack without options in
// every mode. AppPath has its trailing '/'. Gives the
// terminal's process id. Throws std::runtime_error with the reason when no terminal is found, the
// application folder cannot lead PATH (it holds a ':'), or the terminal does not start.
Base::TProcessId OpenStackTerminal(const std::string &appPath, const TStackState &state);

} // namespace Corvala
