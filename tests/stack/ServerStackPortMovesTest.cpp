// The servers' moves off ports that another program took, on a scripted machine.
#include "FakeStackSystem.h"

#include <gtest/gtest.h>

using namespace StackFakes;
using Corvala::TServerStack;

namespace
{
// Another program binds Program's port right after the server's start, the first Times starts:
// the server ends at once, as it cannot bind.
void TakePortAtStart(TFakeMachine &machine, const TServerStack &stack, const std::string &program, int times)
{
  machine.Processes.OnStart = [&machine, &stack, program, times,
                               taken = 0](const TStartedProcess &started) mutable {
    if (started.program != program || taken == times)
      return;
    ++taken;
    machine.Processes.Running.erase(started.id);
    const Corvala::TStackState &state = stack.State();
    machine.Ports.Taken.insert(program == machine.ApacheExe() ? state.ApachePort : state.MySqlPort);
  };
}
} // namespace

TEST(StackPortMoves, PortsBusyAtTheProbeAreSkippedWithoutARestart)
{
  TFakeMachine machine;
  machine.Ports.Taken = {8080, 8081, 3306};
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  EXPECT_EQ(stack.State().ApachePort, 8082);
  EXPECT_EQ(stack.State().MySqlPort, 3307);
  EXPECT_EQ(machine.Processes.Started.size(), 2u);
  EXPECT_EQ(machine.WorkSetting("php.ini", "mysqli.default_port"), "3307");
}

TEST(StackPortMoves, ApacheWhosePortWasTakenAfterItsProbeMovesUpAlone)
{
  TFakeMachine machine;
  TServerStack stack(machine.Options());
  TakePortAtStart(machine, stack, machine.ApacheExe(), 1);
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);

  EXPECT_EQ(stack.State().ApachePort, 8081);
  EXPECT_NE(machine.WorkFile("httpd.conf").find("Listen 127.0.0.1:8081\n"), std::string::npos);
  const auto apaches = machine.Processes.IdsOf(machine.ApacheExe());
  ASSERT_EQ(apaches.size(), 2u);
  EXPECT_EQ(stack.State().ApacheProcessId, apaches[1]);
  // MySQL was not disturbed.
  EXPECT_EQ(machine.Processes.IdsOf(machine.MySqlExe()).size(), 1u);
  EXPECT_EQ(stack.State().MySqlPort, 3306);
  EXPECT_TRUE(machine.Processes.Stopped.empty());
}

// PHP learns MySQL's port from php.ini, which Apache reads only at its start.
TEST(StackPortMoves, MySqlWhosePortWasTakenAfterItsProbeMovesUpAndPhpFollows)
{
  TFakeMachine machine;
  TServerStack stack(machine.Options());
  TakePortAtStart(machine, stack, machine.MySqlExe(), 1);
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);

  EXPECT_EQ(stack.State().MySqlPort, 3307);
  EXPECT_EQ(machine.WorkSetting("my.ini", "port"), "3307");
  EXPECT_EQ(machine.WorkSetting("php.ini", "mysqli.default_port"), "3307");
  EXPECT_EQ(machine.WorkSetting("php.ini", "mysql.default_port"), "3307");
  // The Apache that had read the old php.ini was stopped and another one started on the same port.
  const auto apaches = machine.Processes.IdsOf(machine.ApacheExe());
  ASSERT_EQ(apaches.size(), 2u);
  ASSERT_EQ(machine.Processes.Stopped.size(), 1u);
  EXPECT_EQ(machine.Processes.Stopped[0].id, apaches[0]);
  EXPECT_EQ(stack.State().ApacheProcessId, apaches[1]);
  EXPECT_EQ(stack.State().ApachePort, 8080);
  const auto mysqls = machine.Processes.IdsOf(machine.MySqlExe());
  ASSERT_EQ(mysqls.size(), 2u);
  EXPECT_EQ(stack.State().MySqlProcessId, mysqls[1]);
}

// Two trees started together: the other tree's MySQL binds this one's port between its probe and its
// bind, and greets there, while this MySQL goes on starting its engines before it ends. Only its
// own socket counts: the start waits, and moves it up once it has ended.
TEST(StackPortMoves, MySqlLosingItsPortInAStartRaceMovesUpWithinTheStart)
{
  TFakeMachine machine;
  const std::string socket = machine.Installation.WorkFolder + "/mysql.sock";
  Base::TProcessId loser = 0;
  machine.Processes.OnStart = [&](const TStartedProcess &started) {
    if (started.program != machine.MySqlExe())
      return;
    if (loser == 0) {
      loser = started.id;
      machine.Ports.Taken.insert(3306);
      machine.Ports.SilentSockets.insert(socket);
    } else {
      machine.Ports.SilentSockets.erase(socket);
    }
  };
  int pauses = 0;
  Corvala::TStackOptions options = machine.Options();
  options.Wait = [&](std::chrono::milliseconds pause) {
    machine.Clock.Sleep(pause);
    if (++pauses == 3)
      machine.Processes.Running.erase(loser);
  };
  TServerStack stack(std::move(options));
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);

  EXPECT_EQ(stack.State().MySqlPort, 3307);
  EXPECT_EQ(machine.WorkSetting("php.ini", "mysqli.default_port"), "3307");
  const auto mysqls = machine.Processes.IdsOf(machine.MySqlExe());
  ASSERT_EQ(mysqls.size(), 2u);
  EXPECT_EQ(stack.State().MySqlProcessId, mysqls[1]);
  EXPECT_TRUE(machine.Processes.Exists(mysqls[1]));
  EXPECT_TRUE(stack.TakeEndedServers().empty());
}

// Each move starts the wait again from the new start: the moved server gets its full first pause.
TEST(StackPortMoves, AMoveStartsTheWaitAgainFromTheNewStart)
{
  TFakeMachine machine;
  TServerStack stack(machine.Options());
  TakePortAtStart(machine, stack, machine.ApacheExe(), 1);
  const auto before = machine.Clock.Now();
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  EXPECT_EQ(machine.Clock.Now() - before, std::chrono::milliseconds(660));
}

TEST(StackPortMoves, APortTakenAtEveryStartEndsTheStartAfterTwentyMoves)
{
  TFakeMachine machine;
  TServerStack stack(machine.Options());
  TakePortAtStart(machine, stack, machine.ApacheExe(), 1000);
  try {
    stack.Start();
    FAIL() << "the start went on";
  } catch (const std::runtime_error &error) {
    EXPECT_STREQ(error.what(), "Apache ended during its start");
  }
  EXPECT_EQ(machine.Processes.IdsOf(machine.ApacheExe()).size(), 21u);
  EXPECT_EQ(stack.State().ApachePort, 8100);
}

// Another program took MySQL's port while it was paused: it resumes on the next one, and Apache is
// started again for PHP to learn it.
TEST(StackPortMoves, MySqlResumedAfterItsPortWasTakenMovesUpAndApacheIsStartedAgain)
{
  TFakeMachine machine;
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  stack.PauseMySql();
  machine.Ports.Taken.insert(3306);
  stack.ResumeMySql();

  EXPECT_EQ(stack.State().MySqlPort, 3307);
  EXPECT_EQ(machine.WorkSetting("php.ini", "mysqli.default_port"), "3307");
  const auto apaches = machine.Processes.IdsOf(machine.ApacheExe());
  ASSERT_EQ(apaches.size(), 2u);
  EXPECT_EQ(stack.State().ApacheProcessId, apaches[1]);
  EXPECT_EQ(stack.State().ApachePort, 8080);
  const auto mysqls = machine.Processes.IdsOf(machine.MySqlExe());
  EXPECT_EQ(stack.State().MySqlProcessId, mysqls.back());
  EXPECT_EQ(machine.Processes.Running, (std::set<Base::TProcessId>{mysqls.back(), apaches[1]}));
}
