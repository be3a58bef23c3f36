#include "app/ResourceCommands.h"

#include "files/FileIO.h"
#include "files/FileLock.h"
#include "files/Paths.h"
#include "files/ReadOnly.h"
#include "process/Process.h"
#include "resources/ExeResources.h"

#include <QCoreApplication>
#include <exception>
#include <thread>

using namespace Base;
using namespace Files;
using namespace Process;
using namespace Resources;

namespace
{

// "/setup" waits for the launcher that started it to end, so it pauses between its tests.
constexpr std::chrono::milliseconds SetupPause(60);
// The embedding commands test again almost at once; the short pause keeps the wait from taking a
// whole core away from the process it waits for.
constexpr std::chrono::milliseconds CommandPause(1);

// A path with a double quote cannot travel intact through a child's command line, where quotes
// group and are removed: it would name another file.
bool PassableFile(const TStringArray &arguments, size_t index)
{
  return arguments.size() > index && RegularFileExists(arguments[index]) &&
         arguments[index].find('"') == std::string::npos;
}

} // namespace

void WaitForTarget(const std::string &target, std::chrono::milliseconds pause)
{
  while (IsFileLocked(target)) {
    if (QCoreApplication::instance() != nullptr)
      QCoreApplication::processEvents();
    std::this_thread::sleep_for(pause);
    SetFileReadOnly(target, false);
  }
}

void RunConfigCommand(const std::string &target, const std::string &configFile)
{
  WaitForTarget(target, CommandPause);
  ReplaceRCData(target, "RES_CONFIG_INI", LoadFileToString(configFile));
}

void RunSplashCommand(const std::string &target, const std::string &imageFile)
{
  WaitForTarget(target, CommandPause);
  ReplaceRCData(target, "RES_SPLASH", LoadFileToString(imageFile));
}

void RunIconCommand(const std::string &target, const std::string &iconFile)
{
  WaitForTarget(target, CommandPause);
  UpdateExeIcon(target, iconFile);
}

void RunSetupCommand(const TStringArray &arguments)
{
  if (!PassableFile(arguments, 0))
    return;
  const std::string &target = arguments[0];
  try {
    WaitForTarget(target, SetupPause);
    const std::string program = GetProgramPath();
    const char *const switches[] = {"/config", "/icon", "/splash"};
    for (size_t i = 0; i < 3; ++i)
      if (PassableFile(arguments, i + 1))
        StartProcessAndWait(program,
                            std::string(switches[i]) + " \"" + target + "\" \"" + arguments[i + 1] + "\"",
                            TShowCommand::Normal, "");
    // Opening a program file runs it.
    if (arguments.size() < 5)
      StartProcess(target, "", TShowCommand::Show, "");
  } catch (const std::exception &) {
    // The set-up ends quietly whatever failed; the children report their own errors.
  }
}
