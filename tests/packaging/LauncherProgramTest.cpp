// The launcher program as a desktop and a distribution see it: its information modes and a file
// without debug information, in the tree and in every runme.
#include "BuildTree.h"
#include "corvala/Version.h"
#include "resources/ExeResources.h"

#include <gtest/gtest.h>

using TestSupport::RunCommand;
using TestSupport::ShellQuoted;

namespace
{

// Standard output only.
TestSupport::RunResult RunLauncher(const std::string &arguments)
{
  return RunCommand(ShellQuoted(CORVALA_LAUNCHER) + " " + arguments + " 2>/dev/null");
}

bool HasDebugInformation(const std::string &program)
{
  const auto sections = RunCommand("readelf -S -W " + ShellQuoted(program));
  EXPECT_EQ(sections.ExitCode, 0) << sections.Output;
  EXPECT_NE(sections.Output.find(".text"), std::string::npos) << sections.Output;
  return sections.Output.find(".debug_info") != std::string::npos;
}

} // namespace

TEST(LauncherProgram, HelpAndVersionPrintOnStandardOutputAndEndWithZero)
{
  const auto help = RunLauncher("--help");
  EXPECT_EQ(help.ExitCode, 0);
  for (const char *mode : {"/config", "/icon", "/splash", "/setup", "downsize", "splash",
                           "--build-distribution", "--help", "--version"})
    EXPECT_NE(help.Output.find("\n  " + std::string(mode) + " "), std::string::npos) << mode << "\n"
                                                                                     << help.Output;
  const auto version = RunLauncher("--version");
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_EQ(version.Output, "Corvala " + std::string(CorvalaVersion) + "\n");
  // Any other argument list ends at once and silently, as before.
  for (const char *other : {"--helpme", "-h", "-v", "/icon", "help"}) {
    const auto run = RunCommand(ShellQuoted(CORVALA_LAUNCHER) + " " + other);
    EXPECT_EQ(run.ExitCode, 0) << other;
    EXPECT_EQ(run.Output, "") << other;
  }
}

TEST(LauncherProgram, TheLauncherAndRunmeCarryNoDebugInformationButTheirResources)
{
  EXPECT_FALSE(HasDebugInformation(CORVALA_LAUNCHER));
  TBuildTree tree;
  Corvala::TBrandSettings settings = tree.Settings();
  const std::string runme = Corvala::MakeDistribution(tree.Source(), settings) + "/runme";
  EXPECT_FALSE(HasDebugInformation(runme));
  EXPECT_TRUE(
      Resources::ReadResource(runme, Resources::RT_RCDATA, Resources::TResName("RES_SPLASH")).has_value());
  EXPECT_TRUE(Resources::ReadIconResource(runme, Resources::TResName("MAINICON")).has_value());
}
