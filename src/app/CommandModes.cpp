#include "app/CommandModes.h"

#include "app/ModeErrorReport.h"
#include "app/ResourceCommands.h"
#include "app/SplashRole.h"
#include "maintenance/DownSize.h"
#include "utils/Paths.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <stdexcept>
#include <string>

using AppUtils::RegularFileExists;
using AppUtils::TStringArray;

namespace
{

TDownSizeRunner &DownSizeRunner()
{
  static TDownSizeRunner runner;
  return runner;
}

// Mode words are compared after ASCII lower-casing; the other arguments are used as given.
std::string ModeWord(const std::string &argument)
{
  std::string word = argument;
  std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) {
    return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
  });
  return word;
}

void RunDownSizeMode(const TStringArray &args)
{
  if (!DownSizeRunner())
    throw std::runtime_error("The downsize command is not available in this program");
  TStringArray flags(args.begin() + 1,
                     args.begin() + static_cast<long>(std::min(args.size(), DownSizeComponentCount + 1)));
  flags.resize(DownSizeComponentCount, "0");
  DownSizeRunner()(flags);
}

// The switches that embed one file into a target: both must be regular files (a device or FIFO
// would keep the command reading or waiting without end).
bool EmbeddingSwitch(const std::string &mode, const TStringArray &args, const char *name)
{
  return mode == name && args.size() >= 3 && RegularFileExists(args[1]) && RegularFileExists(args[2]);
}

int RunMode(const TStringArray &args, int argc, char **argv)
{
  const std::string mode = ModeWord(args[0]);
  if (mode == "downsize" && args.size() >= 7) {
    RunDownSizeMode(args);
    return 0;
  }
  if (mode == "splash" && args.size() >= 2 && RegularFileExists(args[1]))
    return RunSplashRole(args[1], argc, argv);
  if (mode == "/setup" && args.size() >= 2 && RegularFileExists(args[1]))
    RunSetupCommand(TStringArray(args.begin() + 1, args.end()));
  else if (EmbeddingSwitch(mode, args, "/config"))
    RunConfigCommand(args[1], args[2]);
  else if (EmbeddingSwitch(mode, args, "/icon"))
    RunIconCommand(args[1], args[2]);
  else if (EmbeddingSwitch(mode, args, "/splash"))
    RunSplashCommand(args[1], args[2]);
  return 0;
}

} // namespace

void SetDownSizeRunner(TDownSizeRunner runner)
{
  DownSizeRunner() = std::move(runner);
}

int RunCommandLine(int argc, char **argv)
{
  if (argc < 2)
    return 0;
  const TStringArray args(argv + 1, argv + argc);
  try {
    return RunMode(args, argc, argv);
  } catch (const std::exception &error) {
    ReportModeError(error.what());
  } catch (...) {
    ReportModeError("Unknown error");
  }
  return 1;
}
