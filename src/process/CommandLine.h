#pragma once

#include "base/Types.h"

#include <string>

namespace Process
{

// The command line of a child: the program path in double quotes (every double quote it carried
// removed first), one blank, then the parameters as given. Empty parameters leave the trailing blank.
std::string BuildCommandLine(const std::string &program, const std::string &parameters);

// Splits a command line by the launcher's argument rules: blanks and control characters outside
// double quotes separate arguments; double quotes group and are removed. A pair of quotes with
// nothing between them is an empty argument. A NUL ends the command line.
Base::TStringArray SplitCommandLine(const std::string &commandLine);

} // namespace Process
