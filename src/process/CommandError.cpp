#include "process/CommandError.h"

#include <sstream>

namespace Process
{

namespace
{

std::string Prefix()
{
  return std::string(CommandErrorCaption) + ": ";
}

} // namespace

std::string CommandErrorLine(const std::string &message)
{
  return Prefix() + message;
}

std::string CommandErrorMessage(const std::string &errorOutput)
{
  const std::string prefix = Prefix();
  std::string message;
  std::istringstream lines(errorOutput);
  for (std::string line; std::getline(lines, line);)
    if (line.starts_with(prefix))
      message = line.substr(prefix.size());
  return message;
}

} // namespace Process
