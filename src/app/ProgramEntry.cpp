#include "app/ProgramEntry.h"

#include "app/BundledRuntime.h"
#include "app/CommandModes.h"
#include "app/LauncherRole.h"
#include "app/ModeErrorReport.h"
#include "base/StartupTrace.h"
#include "files/Paths.h"
#include "maintenance/DownSize.h"
#include "process/Process.h"

#include <cstdio>
#include <cstdlib>
#include <gnu/libc-version.h>
#include <string>
#include <unistd.h>

using namespace Base;
using namespace Files;
using namespace Process;

namespace
{

// The launcher needs the process file system for its process control and its own path.
bool CheckPlatform()
{
  if (GetProgramPath().empty() || access("/proc/self/stat", R_OK) != 0) {
    std::fprintf(stderr, "Error: This program must be run under Linux with /proc mounted.\n");
    return false;
  }
  if (!IsGlibcAtLeast(gnu_get_libc_version(), MinimumGlibcMajor, MinimumGlibcMinor)) {
    std::fprintf(stderr, "Error: This program needs the GNU C library %d.%d or newer; this system has %s.\n",
                 MinimumGlibcMajor, MinimumGlibcMinor, gnu_get_libc_version());
    return false;
  }
  return true;
}

bool IsLauncherInstance()
{
  const char *marker = std::getenv(RelaunchMarkerVariable);
  return marker != nullptr && marker == std::to_string(static_cast<int>(TShowCommand::Relaunch));
}

} // namespace

int StartProgram(int argc, char **argv)
{
  if (!CheckPlatform())
    TerminateCurrentProcess();
  UseBundledQtRuntime(GetAppPath());

  // A command's relative paths are the caller's: it runs in the caller's folder.
  if (argc > 1) {
    SetDownSizeRunner(RunDownSize);
    return RunCommandLine(argc, argv);
  }
  // Relative paths of the program's own files are taken from its folder.
  static_cast<void>(chdir(GetAppDir().c_str()));
  if (IsLauncherInstance())
    return RunLauncher(argc, argv);
  // The first start only hands over to an instance of itself: a copy of this process, which has
  // the libraries loaded already (starting the program file again would load them a second time,
  // tens of milliseconds before the servers can start).
  TraceMark("relaunch");
  bool isInstance = false;
  const TProcessId instance = StartCopyOfThisProcess(isInstance);
  if (isInstance) {
    TraceProcessStart();
    return RunLauncher(argc, argv);
  }
  if (instance == 0) {
    ReportModeError("\"" + GetProgramPath() +
                    "\" could not be started again as the launcher: " + LastStartError());
    return 1;
  }
  TerminateCurrentProcess();
}
