// The stop's deletion of the work folder and of the data folder's loose files, retried while the
// stopped servers still hold them.
#include "FakeStackSystem.h"

#include <gtest/gtest.h>

using namespace StackFakes;
using Corvala::TServerStack;
using std::chrono::milliseconds;

namespace
{
class StackCleanup : public ::testing::Test
{
protected:
  void SetUp() override
  {
    Corvala::TStackOptions options = machine.Options();
    options.ProcessEvents = [this] { ++eventPasses; };
    stack = std::make_unique<TServerStack>(std::move(options));
    ASSERT_EQ(stack->Start(), TServerStack::TStartResult::Started);
    eventPasses = 0;
    for (const char *name : {"loose.log", "aria_log_control", "ib_logfile0"})
      machine.Files.Files.insert(DataFile(name));
  }

  std::string DataFile(const std::string &name) const { return machine.Scratch.File("app/data/" + name); }

  TFakeMachine machine;
  std::unique_ptr<TServerStack> stack;
  int eventPasses = 0;
};
} // namespace

TEST_F(StackCleanup, AWorkFolderStillHeldIsDeletedOnALaterTryWithEventsBetween)
{
  const std::string work = machine.Installation.WorkFolder;
  machine.Files.Refusals[work] = 3;
  const auto before = machine.Clock.Now();
  stack->Stop();
  EXPECT_FALSE(machine.Files.FolderExists(work));
  EXPECT_EQ(machine.Files.Attempts[work], 4);
  // A pause and a pass of the events before each try, the loose data file's one try included.
  EXPECT_EQ(machine.Clock.Now() - before, milliseconds(5));
  EXPECT_EQ(eventPasses, 5);
}

// The launcher still ends, after some two seconds of tries.
TEST_F(StackCleanup, AWorkFolderThatCannotBeDeletedIsLeftAfterTheLastTry)
{
  const std::string work = machine.Installation.WorkFolder;
  machine.Files.Refusals[work] = 1000000;
  const auto before = machine.Clock.Now();
  stack->Stop();
  EXPECT_TRUE(machine.Files.FolderExists(work));
  EXPECT_EQ(machine.Files.Attempts[work], 2000);
  EXPECT_EQ(machine.Clock.Now() - before, milliseconds(2000 + 1));
  // The data folder's loose files are still tried.
  EXPECT_FALSE(machine.Files.FileExists(DataFile("loose.log")));
}

TEST_F(StackCleanup, LooseDataFilesGoWithRetriesAndTheServersStateStays)
{
  machine.Files.Refusals[DataFile("loose.log")] = 5;
  stack->Stop();
  EXPECT_FALSE(machine.Files.FileExists(DataFile("loose.log")));
  EXPECT_EQ(machine.Files.Attempts[DataFile("loose.log")], 6);
  EXPECT_TRUE(machine.Files.FileExists(DataFile("aria_log_control")));
  EXPECT_TRUE(machine.Files.FileExists(DataFile("ib_logfile0")));
  EXPECT_EQ(machine.Files.Attempts.count(DataFile("aria_log_control")), 0u);
  // Once is enough.
  stack->Stop();
  EXPECT_EQ(machine.Files.Attempts[DataFile("loose.log")], 6);
}

// After a crash the data folder's files are what MySQL's recovery needs.
TEST_F(StackCleanup, AfterMySqlEndedOnItsOwnTheDataFolderKeepsEveryFile)
{
  machine.Processes.Running.erase(stack->State().MySqlProcessId);
  EXPECT_EQ(stack->TakeEndedServers(), std::vector<std::string>{"MySQL"});
  stack->Stop();
  EXPECT_FALSE(machine.Files.FolderExists(machine.Installation.WorkFolder));
  EXPECT_TRUE(machine.Files.FileExists(DataFile("loose.log")));
}

TEST_F(StackCleanup, AMySqlThatDidNotStopOnRequestKeepsTheDataFolder)
{
  // Ended unnoticed before the stop: it had to be killed, as far as the stop can tell.
  machine.Processes.Running.erase(stack->State().MySqlProcessId);
  stack->Stop();
  EXPECT_TRUE(machine.Files.FileExists(DataFile("loose.log")));
}
