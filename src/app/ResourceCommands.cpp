#include "app/ResourceCommands.h"

#include "files/FileIO.h"
#include "files/FileLock.h"
#include "files/Paths.h"
#include "files/ReadOnly.h"
#include "process/CommandLine.h"
#include "process/Process.h"
#include "resources/ExeResources.h"

#include <QCoreApplication>
#include <exception>
#include <stdexcept>
#include <sys/stat.h>
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

bool PassableFile(const TStringArray &arguments, size_t index)
{
  return arguments.size() > index && RegularFileExists(arguments[index]);
}

// A running program's file cannot be written, so waiting for this one to be free would last for
// ever: the command is refused with the way to do it instead.
void RefuseTheRunningProgram(const std::string &mode, const std::string &target, const std::string &file)
{
  struct stat own {
  }, given{};
  if (stat("/proc/self/exe", &own) != 0 || stat(target.c_str(), &given) != 0 || own.st_dev != given.st_dev ||
      own.st_ino != given.st_ino)
    return;
  throw std::runtime_error("\"" + target + "\" is this program itself, and a program cannot rewrite itself " +
                           "while it runs. Run the command from a copy of it instead, for example: cp " +
                           CommandLineWord(target) + " /tmp/corvala-copy && /tmp/corvala-copy " + mode + " " +
                           CommandLineWord(target) + " " + CommandLineWord(file));
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
  RefuseTheRunningProgram("/config", target, configFile);
  WaitForTarget(target, CommandPause);
  ReplaceRCData(target, "RES_CONFIG_INI", LoadFileToString(configFile));
}

void RunSplashCommand(const std::string &target, const std::string &imageFile)
{
  RefuseTheRunningProgram("/splash", target, imageFile);
  WaitForTarget(target, CommandPause);
  ReplaceRCData(target, "RES_SPLASH", LoadFileToString(imageFile));
}

void RunIconCommand(const std::string &target, const std::string &iconFile)
{
  RefuseTheRunningProgram("/icon", target, iconFile);
  WaitForTarget(target, CommandPause);
  UpdateExeIcon(target, iconFile);
}

void RunSetupCommand(const TStringArray &arguments)
{
  if (!PassableFile(arguments, 0))
    return;
  const std::string &target = arguments[0];
  RefuseTheRunningProgram("/setup", target, arguments.size() > 1 ? arguments[1] : "");
  try {
    WaitForTarget(target, SetupPause);
    const std::string program = GetProgramPath();
    const char *const switches[] = {"/config", "/icon", "/splash"};
    for (size_t i = 0; i < 3; ++i)
      if (PassableFile(arguments, i + 1))
        StartProcessAndWait(program,
                            std::string(switches[i]) + " " + CommandLineWord(target) + " " +
                                CommandLineWord(arguments[i + 1]),
                            TShowCommand::Normal, "");
    // Opening a program file runs it.
    if (arguments.size() < 5)
      StartProcess(target, "", TShowCommand::Show, "");
  } catch (const std::exception &) {
    // The set-up ends quietly whatever failed; the children report their own errors.
  }
}
