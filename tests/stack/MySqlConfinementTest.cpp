// MySQL's start under its write rules, on a scripted machine that has Landlock or has none.
#include "FakeStackSystem.h"

#include "stack/MySqlLauncher.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace StackFakes;
using Corvala::TServerStack;

namespace
{

const TStartedProcess &LastStartOf(const TFakeMachine &machine, const std::string &program)
{
  for (auto started = machine.Processes.Started.rbegin(); started != machine.Processes.Started.rend();
       ++started)
    if (started->program == program)
      return *started;
  throw std::runtime_error(program + " was not started");
}

} // namespace

TEST(MySqlConfinement, MySqlWritesOnlyInItsDataFolderAndTheWorkFolderAndApacheIsLeftAlone)
{
  TFakeMachine machine;
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);

  const Base::TStringArray folders{machine.Scratch.File("app/data"), machine.Installation.WorkFolder};
  // A copy: the record of later starts may move the fake's list.
  const TStartedProcess mysql = LastStartOf(machine, machine.MySqlExe());
  EXPECT_TRUE(mysql.confined);
  EXPECT_EQ(mysql.writableFolders, folders);
  EXPECT_FALSE(LastStartOf(machine, machine.ApacheExe()).confined);
  EXPECT_EQ(stack.State().StatusNote, "");

  // Each start of MySQL gets rules of its own: the first ones were closed after their start.
  stack.PauseMySql();
  stack.ResumeMySql();
  const TStartedProcess &resumed = LastStartOf(machine, machine.MySqlExe());
  EXPECT_NE(resumed.id, mysql.id);
  EXPECT_TRUE(resumed.confined);
  EXPECT_EQ(resumed.writableFolders, folders);
}

TEST(MySqlConfinement, WithoutLandlockMySqlStartsAsBeforeAndTheStateSaysSoOnce)
{
  TFakeMachine machine;
  machine.Processes.Landlock = false;
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);

  EXPECT_FALSE(LastStartOf(machine, machine.MySqlExe()).confined);
  EXPECT_EQ(stack.State().MySqlProcessId, LastStartOf(machine, machine.MySqlExe()).id);
  EXPECT_EQ(stack.State().StatusNote,
            "The database server runs without write confinement: this kernel has no Landlock.");
  EXPECT_EQ(Corvala::UnconfinedNote("why"), "The database server runs without write confinement: why.");
}

// The server says itself that its data folder is missing, and it can write nothing there anyway.
TEST(MySqlConfinement, AMissingDataFolderIsLeftOutOfTheRules)
{
  TFakeMachine machine;
  machine.Files.Folders.erase(machine.Scratch.File("app/data"));
  std::filesystem::remove(machine.Scratch.File("app/data"));
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);

  // A copy: the record of later starts may move the fake's list.
  const TStartedProcess mysql = LastStartOf(machine, machine.MySqlExe());
  EXPECT_TRUE(mysql.confined);
  EXPECT_EQ(mysql.writableFolders, Base::TStringArray{machine.Installation.WorkFolder});
}

// A folder that is there for the stack but cannot be named in the rules fails the start: MySQL
// never runs without them.
TEST(MySqlConfinement, AFolderTheRulesCannotNameFailsTheStartAndMySqlNeverRuns)
{
  TFakeMachine machine;
  std::filesystem::remove(machine.Scratch.File("app/data"));
  TServerStack stack(machine.Options());
  try {
    stack.Start();
    FAIL() << "the start went on without the rules";
  } catch (const std::runtime_error &error) {
    EXPECT_EQ(std::string(error.what()), "Writes cannot be allowed beneath \"" +
                                             machine.Scratch.File("app/data") +
                                             "\": No such file or directory");
  }
  EXPECT_TRUE(machine.Processes.IdsOf(machine.MySqlExe()).empty());
  stack.Stop();
}
