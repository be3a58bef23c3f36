#pragma once

#include "base/Types.h"

#include <string>

namespace Process
{

// Text as one argument of a command line, in double quotes, that SplitCommandLine gives back
// exactly: a double quote inside becomes \" and the backslashes before a double quote (or before
// the closing one) are doubled. Any path a file system allows survives, quotes included.
std::string CommandLineWord(const std::string &text);

// Splits a command line by the launcher's argument rules: blanks and control characters outside
// double quotes separate arguments; double quotes group and are removed. A pair of quotes with
// nothing between them is an empty argument. Backslashes are taken as they are, except before a
// double quote: 2n of them and the quote give n backslashes and a grouping quote, 2n+1 of them give
// n backslashes and a double quote inside the argument. A NUL ends the command line.
Base::TStringArray SplitCommandLine(const std::string &commandLine);

} // namespace Process
