#include "app/ProgramEntry.h"

#include "app/CommandModes.h"
#include "app/LauncherRole.h"
#include "maintenance/DownSize.h"
#include "utils/Paths.h"
#include "utils/Process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

using namespace AppUtils;

namespace
{

// The launcher needs the process file system for its process control and its own path.
bool CheckPlatform()
{
  if (!GetProgramPath().empty() && access("/proc/self/stat", R_OK) == 0)
    return true;
  std::fprintf(stderr, "Error: This program must be run under Linux with /proc mounted.\n");
  return false;
}

bool IsLauncherInstance()
{
  const char *marker = std::getenv(RelaunchMarkerVariable);
  return marker != nullptr && std::strcmp(marker, "6005") == 0;
}

} // namespace

int StartProgram(int argc, char **argv)
{
  if (!CheckPlatform())
    TerminateCurrentProcess();
  // Relative paths of the program's own files are taken from its folder.
  static_cast<void>(chdir(GetAppDir().c_str()));

  if (argc > 1) {
    SetDownSizeRunner(RunDownSize);
    const int exitCode = RunCommandLine(argc, argv);
    std::fflush(nullptr);
    _exit(exitCode);
  }
  if (IsLauncherInstance())
    _exit(RunLauncher(argc, argv));
  // The first start only hands over to a marked instance of itself.
  StartProcess(GetProgramPath(), "", RelaunchShowCommand, "");
  TerminateCurrentProcess();
}
