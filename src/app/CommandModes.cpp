#include "app/CommandModes.h"

#include "app/BuildCommand.h"
#include "app/ModeErrorReport.h"
#include "app/ResourceCommands.h"
#include "app/SplashRole.h"
#include "corvala/Version.h"
#include "files/Paths.h"
#include "maintenance/DownSize.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

using Base::TStringArray;
using Files::RegularFileExists;

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

constexpr char HelpText[] =
    "Usage: corvala [MODE ARGUMENTS...]\n"
    "Without arguments: starts the web stack beside the program (bin, data, www) and shows its site.\n"
    "\n"
    "Modes:\n"
    "  /config TARGET FILE     embeds FILE as the configuration of the program copy TARGET\n"
    "  /icon TARGET FILE       replaces the icon of the program copy TARGET by the icon file FILE\n"
    "  /splash TARGET FILE     replaces the splash image of the program copy TARGET by FILE\n"
    "  /setup TARGET [CONFIG [ICON [IMAGE [NOSTART]]]]\n"
    "                          runs /config, /icon and /splash on TARGET, then starts it unless\n"
    "                          NOSTART is given\n"
    "  downsize F1 ... F17     deletes the stack's components whose flag is 1 (the Down Size dialog's\n"
    "                          work)\n"
    "  splash IMAGE            shows IMAGE as the start-up splash window (used by the launcher)\n"
    "  --build-distribution BRAND.INI\n"
    "                          builds the distribution BRAND.INI describes, as the Rebrand dialog\n"
    "                          does, without a display: its [INI] section needs title, port and\n"
    "                          outputdir; paths are taken from the current folder. Progress goes to\n"
    "                          standard error, where the distribution is to standard output\n"
    "  --help                  prints this text\n"
    "  --version               prints the product name and version\n"
    "Any other arguments: nothing happens.\n";

// The two modes that only print; true when Mode was one of them.
bool PrintedInformation(const std::string &mode)
{
  if (mode == "--help")
    std::fputs(HelpText, stdout);
  else if (mode == "--version")
    std::printf("Corvala %s\n", CorvalaVersion);
  else
    return false;
  std::fflush(stdout);
  return true;
}

int RunMode(const TStringArray &args, int argc, char **argv)
{
  const std::string mode = ModeWord(args[0]);
  if (PrintedInformation(mode))
    return 0;
  if (mode == "--build-distribution")
    return RunBuildDistributionCommand(TStringArray(args.begin() + 1, args.end()));
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
