#pragma once

#include "process/Process.h"

#include <string>

namespace Corvala
{

// The message for a command of the launcher that did not succeed: its own error when it reported
// one, else how it ended. Mode is the command's switch, such as "/config".
std::string CommandFailure(const std::string &mode, const Process::TChildEnd &end);

} // namespace Corvala
