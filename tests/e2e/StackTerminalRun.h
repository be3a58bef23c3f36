#pragma once

#include "E2eSupport.h"

#include <string>

namespace E2e
{

// Runs the shell commands in the terminal the launcher opens on a running stack (its work folder
// and MySQL port): a stand-in named x-terminal-emulator, first on PATH, runs them with no options
// of ours, as a user would, and records where it runs ("cwd=..."), its environment and what they
// print; gives that record.
std::string InStackTerminal(const TInstall &install, const std::string &workFolder, int mySqlPort,
                            const std::string &commands);

} // namespace E2e
