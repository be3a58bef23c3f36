#include "process/CommandLine.h"

#include <algorithm>

using namespace Base;

namespace Process
{

std::string CommandLineWord(const std::string &text)
{
  std::string word = "\"";
  size_t backslashes = 0;
  for (const char c : text) {
    if (c == '\\') {
      ++backslashes;
    } else {
      if (c == '"')
        word.append(backslashes + 1, '\\');
      backslashes = 0;
    }
    word += c;
  }
  word.append(backslashes, '\\');
  return word + "\"";
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
      size_t backslashes = 0;
      while (pos < size && commandLine[pos] == '\\') {
        ++backslashes;
        ++pos;
      }
      if (pos < size && commandLine[pos] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1)
          argument += '"';
        else
          quoted = !quoted;
      } else {
        argument.append(backslashes, '\\');
        if (pos == size)
          break;
        if (!quoted && IsSeparator(commandLine[pos]))
          break;
        argument += commandLine[pos];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

} // namespace Process
