// One server command at a time: the server watch, a restart and a paused MySQL, on a scripted
// machine.
#include "FakeStackSystem.h"

#include <gtest/gtest.h>

using namespace StackFakes;
using Corvala::TServerStack;
using std::chrono::milliseconds;

namespace
{
// The MySQL processes of the machine that still run.
size_t RunningMySqls(const TFakeMachine &machine)
{
  size_t running = 0;
  for (const Base::TProcessId id : machine.Processes.IdsOf(machine.MySqlExe()))
    running += machine.Processes.Running.count(id);
  return running;
}
} // namespace

// Apache dies while a rebrand copies the paused MySQL's data; the watch says nothing until the
// copy is done, a restart then keeps MySQL paused, and the resume starts the only mysqld.
TEST(StackCommands, ApacheEndingDuringADataCopyLeavesThePausedMySqlToTheResume)
{
  TFakeMachine machine;
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  {
    const TServerStack::TCommand rebrand(stack);
    stack.PauseMySql();
    machine.Processes.Running.erase(stack.State().ApacheProcessId);
    EXPECT_TRUE(stack.TakeEndedServers().empty());
    // Answered Yes all the same: Apache comes back, MySQL stays paused for the copy.
    stack.RestartServers();
    EXPECT_EQ(RunningMySqls(machine), 0u);
    EXPECT_EQ(stack.State().MySqlProcessId, 0u);
    EXPECT_TRUE(machine.Processes.Exists(stack.State().ApacheProcessId));
    EXPECT_EQ(machine.WorkSetting("php.ini", "mysqli.default_port"), "3306");
    stack.ResumeMySql();
  }
  EXPECT_EQ(RunningMySqls(machine), 1u);
  EXPECT_EQ(machine.Processes.IdsOf(machine.MySqlExe()).size(), 2u);
  EXPECT_TRUE(machine.Processes.Exists(stack.State().MySqlProcessId));
  EXPECT_TRUE(stack.TakeEndedServers().empty());
}

TEST(StackCommands, AServerThatEndedDuringACommandIsReportedOnceTheCommandIsDone)
{
  TFakeMachine machine;
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  {
    const TServerStack::TCommand command(stack);
    machine.Processes.Running.erase(stack.State().ApacheProcessId);
    EXPECT_TRUE(stack.TakeEndedServers().empty());
  }
  EXPECT_EQ(stack.TakeEndedServers(), std::vector<std::string>{"Apache"});
  EXPECT_TRUE(stack.TakeEndedServers().empty());
}

// A refused connection answers at once; the wait for a resumed MySQL pauses between its looks
// through the caller's wait, so the window's events go on.
TEST(StackCommands, TheWaitForAResumedMySqlPausesBetweenItsLooks)
{
  TFakeMachine machine;
  std::vector<milliseconds> waits;
  Corvala::TStackOptions options = machine.Options();
  options.Wait = [&](milliseconds pause) {
    waits.push_back(pause);
    machine.Clock.Sleep(pause);
    // It greets from the fourth pause on.
    machine.Ports.Greeting = waits.size() >= 4;
  };
  TServerStack stack(std::move(options));
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  stack.PauseMySql();
  machine.Ports.Greeting = false;
  waits.clear();
  machine.Ports.Looks = 0;
  stack.ResumeMySql();
  EXPECT_EQ(waits, std::vector<milliseconds>(4, milliseconds(100)));
  EXPECT_EQ(machine.Ports.Looks, 5);
}
