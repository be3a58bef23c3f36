#include "StackTerminalRun.h"

#include "stack/StackTerminal.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace E2e
{

std::string InStackTerminal(const TInstall &install, const std::string &workFolder, int mySqlPort,
                            const std::string &commands)
{
  TestSupport::TScratchFolder scratch;
  const std::string record = scratch.File("record");
  const std::string terminal =
      scratch.Write("terminal bin/x-terminal-emulator",
                    "#!/bin/sh\nout=" + Quoted(record) + "\n{ echo \"cwd=$(pwd)\"; env | sort\n" + commands +
                        "} >\"$out.tmp\"\nmv \"$out.tmp\" \"$out\"\n");
  chmod(terminal.c_str(), 0755);
  const TestSupport::TEnvOverride path("PATH", scratch.File("terminal bin") + ":" + std::getenv("PATH"));
  Corvala::TStackState state;
  state.WorkFolder = workFolder;
  state.MySqlPort = mySqlPort;
  const pid_t child = static_cast<pid_t>(Corvala::OpenStackTerminal(install.Root() + "/", state));
  EXPECT_GT(child, 0);
  EXPECT_TRUE(WaitUntil([&] { return fs::exists(record); }, 120s, "the terminal's record"));
  return TestSupport::ReadBytes(record);
}

} // namespace E2e
