#include "packaging/CommandFailure.h"

#include "process/CommandError.h"

#include <cstring>

namespace Corvala
{

std::string CommandFailure(const std::string &mode, const Process::TChildEnd &end)
{
  const std::string step = "The \"" + mode + "\" step failed: ";
  if (!end.started)
    return step + "the program could not be started";
  if (end.signal != 0)
    return step + "the program was ended by signal " + std::to_string(end.signal) + " (" +
           strsignal(end.signal) + ")";
  const std::string message = Process::CommandErrorMessage(end.errors);
  if (!message.empty())
    return step + message;
  return step + "the program ended with exit code " + std::to_string(end.exitCode);
}

} // namespace Corvala
