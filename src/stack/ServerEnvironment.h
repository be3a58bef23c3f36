#pragma once

#include <string>

namespace Corvala
{

// The environment every server and child inherits: PHPRC (the work folder of ProgramPath),
// OS_LANGUAGE, SERVER_FILENAME, SERVER_FILEVERSION, SERVER_APPNAME (the product name) and an empty
// PHP_INI_SCAN_DIR. setenv is not safe while other threads may read the environment, so a program
// with threads calls this before its first thread starts.
void SetServerEnvironment(const std::string &programPath);

} // namespace Corvala
