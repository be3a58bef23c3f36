#include "process/CommandLine.h"

#include <algorithm>

using namespace Base;

namespace Process
{

std::string BuildCommandLine(const std::string &program, const std::string &parameters)
{
  std::string cleaned;
  cleaned.reserve(program.size());
  for (const char c : program)
    if (c != '"')
      cleaned += c;
  return "\"" + cleaned + "\" " + parameters;
}

static bool IsSeparator(char c)
{
  return static_cast<unsigned char>(c) <= ' ';
}

TStringArray SplitCommandLine(const std::string &commandLine)
{
  TStringArray arguments;
  size_t pos = 0;
  // A command line is a C string: a NUL ends it.
  const size_t size = std::min(commandLine.size(), commandLine.find('\0'));
  while (pos < size) {
    while (pos < size && IsSeparator(commandLine[pos]))
      ++pos;
    if (pos == size)
      break;
    std::string argument;
    bool quoted = false;
    for (; pos < size && (quoted || !IsSeparator(commandLine[pos])); ++pos) {
      if (commandLine[pos] == '"')
        quoted = !quoted;
      else
        argument += commandLine[pos];
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

} // namespace Process
