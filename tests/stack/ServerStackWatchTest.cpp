// What the server watch learns of servers that run but answer nothing, on a scripted machine.
#include "FakeStackSystem.h"

#include <gtest/gtest.h>

using namespace StackFakes;
using Corvala::TServerStack;

namespace
{
using TNames = std::vector<std::string>;
} // namespace

TEST(StackWatch, AServerStoppedByASignalIsToldUntilItGoesOn)
{
  TFakeMachine machine;
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  const Base::TProcessId apache = stack.State().ApacheProcessId;
  const Base::TProcessId worker = apache + 1;
  EXPECT_EQ(stack.StoppedServers(), TNames{});

  // A stopped parent alone: its worker still serves.
  machine.Processes.Halted = {apache};
  EXPECT_EQ(stack.StoppedServers(), TNames{});
  machine.Processes.Halted = {worker};
  EXPECT_EQ(stack.StoppedServers(), TNames{"Apache"});
  machine.Processes.Halted = {apache, worker, stack.State().MySqlProcessId};
  EXPECT_EQ(stack.StoppedServers(), (TNames{"Apache", "MySQL"}));
  {
    const TServerStack::TCommand command(stack);
    EXPECT_EQ(stack.StoppedServers(), TNames{});
  }
  machine.Processes.Halted.clear();
  EXPECT_EQ(stack.StoppedServers(), TNames{});
  // A stopped server is no ended one: nothing is offered to restart.
  EXPECT_TRUE(stack.TakeEndedServers().empty());
}

TEST(StackWatch, TheNoteNamesTheStoppedServers)
{
  EXPECT_EQ(TServerStack::StoppedServersNote({}), "");
  EXPECT_EQ(TServerStack::StoppedServersNote({"Apache"}),
            "Apache is stopped by a signal and not answering: the site waits until it is continued (kill "
            "-CONT) or restarted.");
  EXPECT_EQ(TServerStack::StoppedServersNote({"Apache", "MySQL"}),
            "Apache and MySQL are stopped by a signal and not answering: the site waits until they are "
            "continued (kill -CONT) or restarted.");
}
