#pragma once

#include <string>

namespace Base
{

// Text between two Quote characters, with a backslash before each backslash and each Quote inside:
// the quoting of server option files, Apache's configuration and SQL strings.
inline std::string BackslashQuoted(const std::string &text, char quote)
{
  std::string quoted(1, quote);
  for (const char c : text) {
    if (c == '\\' || c == quote)
      quoted += '\\';
    quoted += c;
  }
  return quoted + quote;
}

} // namespace Base
