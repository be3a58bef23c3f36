// The wait for the started servers and its limits, on a scripted machine whose clock moves only
// while the stack waits.
#include "FakeStackSystem.h"

#include <gtest/gtest.h>

using namespace StackFakes;
using Corvala::TServerStack;
using std::chrono::milliseconds;

namespace
{
// The message of the start's failure; empty when it did not fail.
std::string StartFailure(TServerStack &stack)
{
  try {
    stack.Start();
  } catch (const std::runtime_error &error) {
    return error.what();
  }
  return "";
}
} // namespace

TEST(StackWait, TheFirstLookComesAFullPauseAfterApachesStartThroughTheCallersWait)
{
  TFakeMachine machine;
  std::vector<milliseconds> waits;
  Corvala::TStackOptions options = machine.Options();
  options.Wait = [&](milliseconds pause) {
    waits.push_back(pause);
    machine.Clock.Sleep(pause);
  };
  TServerStack stack(std::move(options));
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  EXPECT_EQ(waits, std::vector<milliseconds>{milliseconds(330)});
}

TEST(StackWait, ApacheWithoutAWorkerFailsTheStartOnceItsLimitRunsOut)
{
  for (const milliseconds limit : {milliseconds(30000), milliseconds(2000)}) {
    SCOPED_TRACE(limit.count());
    TFakeMachine machine;
    machine.Processes.WithWorker.clear();
    Corvala::TStackOptions options = machine.Options();
    options.ApacheWaitLimit = limit;
    TServerStack stack(std::move(options));
    TestSupport::WriteBytes(machine.Installation.WorkFolder + "/error.log", "AH00558: no worker\n");
    const auto before = machine.Clock.Now();
    EXPECT_EQ(StartFailure(stack), "Apache did not start its worker process within " +
                                       std::to_string(limit.count() / 1000) +
                                       " seconds:\nAH00558: no worker");
    // The look that found the limit run out is the first one at or past it.
    EXPECT_GE(machine.Clock.Now() - before, limit);
    EXPECT_LT(machine.Clock.Now() - before, limit + milliseconds(330));
  }
}

TEST(StackWait, MySqlThatDoesNotGreetFailsTheStartOnceItsLimitRunsOut)
{
  for (const milliseconds limit : {milliseconds(60000), milliseconds(5000)}) {
    SCOPED_TRACE(limit.count());
    TFakeMachine machine;
    machine.Ports.Greeting = false;
    Corvala::TStackOptions options = machine.Options();
    options.MySqlWaitLimit = limit;
    TServerStack stack(std::move(options));
    const auto before = machine.Clock.Now();
    EXPECT_EQ(StartFailure(stack),
              "MySQL did not answer within " + std::to_string(limit.count() / 1000) + " seconds");
    // Found by the first look past the limit, which waited for a greeting in vain.
    EXPECT_GE(machine.Clock.Now() - before, limit);
    EXPECT_LT(machine.Clock.Now() - before, limit + milliseconds(330 + 50));
  }
}

TEST(StackWait, AServerThatEndsDuringTheWaitFailsTheStartWithWhatItSaid)
{
  for (const std::string server : {"apache", "mysql"}) {
    SCOPED_TRACE(server);
    TFakeMachine machine;
    const std::string exe = server == "apache" ? machine.ApacheExe() : machine.MySqlExe();
    machine.Processes.OnStart = [&](const TStartedProcess &started) {
      if (started.program == exe)
        machine.Processes.Running.erase(started.id);
    };
    TServerStack stack(machine.Options());
    TestSupport::WriteBytes(machine.Installation.WorkFolder + "/" + server + "-output.log", "bad line 3\n");
    EXPECT_EQ(StartFailure(stack), (server == "apache" ? "Apache" : "MySQL") +
                                       std::string(" ended during its start:\nbad line 3"));
    // Its id may be another process's now: the stop leaves it alone.
    EXPECT_EQ(server == "apache" ? stack.State().ApacheProcessId : stack.State().MySqlProcessId, 0u);
  }
}

TEST(StackWait, AProgramThatCannotBeStartedFailsTheStartSayingWhy)
{
  TFakeMachine machine;
  machine.Processes.Failing.insert(machine.MySqlExe());
  TServerStack stack(machine.Options());
  EXPECT_EQ(StartFailure(stack),
            "\"" + machine.MySqlExe() + "\" could not be started: No such file or directory");
  EXPECT_TRUE(machine.Processes.IdsOf(machine.ApacheExe()).empty());
}

TEST(StackWait, WithoutMySqlInTheKitOnlyApacheIsStartedAndWaitedFor)
{
  TFakeMachine machine;
  machine.Files.Files.clear();
  machine.Ports.Greeting = false;
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  EXPECT_EQ(stack.State().MySqlPort, 0);
  EXPECT_EQ(machine.Processes.Started.size(), 1u);
  EXPECT_EQ(machine.WorkSetting("php.ini", "mysqli.default_port"), "0");
}

TEST(StackWait, AResumedMySqlThatDoesNotGreetFailsOnceItsLimitRunsOut)
{
  TFakeMachine machine;
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  stack.PauseMySql();
  EXPECT_EQ(stack.State().MySqlProcessId, 0u);
  machine.Ports.Greeting = false;
  const auto before = machine.Clock.Now();
  try {
    stack.ResumeMySql();
    FAIL() << "the resume went on";
  } catch (const std::runtime_error &error) {
    EXPECT_STREQ(error.what(), "MySQL did not answer within 60 seconds");
  }
  EXPECT_GE(machine.Clock.Now() - before, milliseconds(60000));
  EXPECT_LT(machine.Clock.Now() - before, milliseconds(60000 + 50));
  EXPECT_EQ(machine.Processes.IdsOf(machine.MySqlExe()).size(), 2u);
}
