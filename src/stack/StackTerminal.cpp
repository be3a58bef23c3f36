#include "stack/StackTerminal.h"

#include "files/FileText.h"
#include "files/Paths.h"
#include "process/Process.h"
#include "stack/MySqlConfig.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace Base;
using namespace Files;
using namespace Process;

namespace Corvala
{

namespace
{

std::string EnvironmentValue(const char *name)
{
  const char *value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The full path of the program Name on PATH; empty when no folder of PATH holds it as an
// executable file.
std::string FindOnPath(const std::string &name)
{
  const std::string path = EnvironmentValue("PATH");
  if (path.empty())
    return {};
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find(':', start), path.size());
    const std::string folder = path.substr(start, end - start);
    std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
    if (RegularFileExists(candidate) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return {};
}

std::string PathFolder(const std::string &folder)
{
  if (folder.find(':') != std::string::npos)
    throw std::runtime_error("The folder \"" + folder +
                             "\" holds a ':', so a terminal's PATH cannot name it; move the stack to a "
                             "folder without ':' to use its command line");
  return folder;
}

std::string WebRoot(const std::string &appPath, const TStackState &state)
{
  const std::string copy = state.WorkFolder + "/www";
  return state.IsCdRom && !state.WorkFolder.empty() && DirectoryExists(copy) ? copy : appPath + "www";
}

} // namespace

std::string FindTerminalProgram()
{
  std::string program = FindOnPath("x-terminal-emulator");
  if (!program.empty())
    return program;
  const std::string chosen = EnvironmentValue("TERMINAL");
  if (!chosen.empty()) {
    program = chosen.find('/') == std::string::npos ? FindOnPath(chosen) : chosen;
    if (!program.empty() && RegularFileExists(program) && access(program.c_str(), X_OK) == 0)
      return program;
    throw std::runtime_error("The terminal \"" + chosen +
                             "\" named by $TERMINAL is not a program that can be run");
  }
  throw std::runtime_error("No terminal was found: there is no x-terminal-emulator on PATH and $TERMINAL "
                           "is not set. Install a terminal or set TERMINAL to the one you use");
}

std::string TerminalClientOptionsFolder(const std::string &workFolder)
{
  return workFolder + "/terminal";
}

std::string WriteTerminalClientOptions(const std::string &workFolder, int mySqlPort)
{
  std::string folder = TerminalClientOptionsFolder(workFolder);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw std::runtime_error("Cannot create the folder \"" + folder + "\": " + std::strerror(errno));
  // Options in a file override the environment's defaults, and the tools otherwise take the
  // user's login name, which this server does not know. Root through the server's own socket
  // needs no password in either mode (over TCP it does in "only my account"), and the client's
  // own default character set would turn every emoji into '?'.
  const std::string text = "[client]\nuser=root\nprotocol=socket\nsocket=" + MySqlSocketPath(workFolder) +
                           "\nport=" + std::to_string(mySqlPort) + "\ndefault-character-set=utf8mb4\n";
  const std::string file = folder + "/my.cnf";
  const int error = ReplaceFileAtomically(
      file, [&](int fd) { return WriteAll(fd, text); }, 0600, TDurability::Scratch);
  if (error != 0)
    throw std::runtime_error("Cannot write \"" + file + "\": " + std::strerror(error));
  return folder;
}

TProcessId OpenStackTerminal(const std::string &appPath, const TStackState &state)
{
  const std::string terminal = FindTerminalProgram();
  const std::string inherited = EnvironmentValue("PATH");
  StartOptions options;
  options.environment = {
      "PATH=" + PathFolder(appPath + PhpToolFolder) + ":" + PathFolder(appPath + MySqlToolFolder) +
          (inherited.empty() ? "" : ":" + inherited),
      "PHPRC=" + state.WorkFolder,
      "PHP_INI_SCAN_DIR=",
  };
  if (state.MySqlPort != 0) {
    // Every start of MySQL writes the file again at the same place, so a terminal left open
    // across a restart of the servers or of the launcher reaches the new server.
    const std::string clientOptions = WriteTerminalClientOptions(state.WorkFolder, state.MySqlPort);
    options.environment.insert(options.environment.end(),
                               {"MYSQL_UNIX_PORT=" + MySqlSocketPath(state.WorkFolder),
                                "MARIADB_HOME=" + clientOptions, "MYSQL_HOME=" + clientOptions});
  }
  const TProcessId id = StartProcess(terminal, "", TShowCommand::Normal, WebRoot(appPath, state), options);
  if (id == 0)
    throw std::runtime_error("The terminal \"" + terminal + "\" could not be started");
  return id;
}

} // namespace Corvala
