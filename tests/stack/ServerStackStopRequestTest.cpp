// A request to end the program during each step of the start: the start ends with TStartStopped,
// and Stop() stops exactly what it had started.
#include "FakeStackSystem.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace StackFakes;
using Corvala::TServerStack;

namespace
{
// The steps that ask for a stop, in order, and which programs run when the stop arrives there.
struct TStopPoint {
  const char *step;
  bool splash;
  bool mySql;
  bool apache;
};

constexpr TStopPoint StopPoints[] = {
    {"before anything starts", false, false, false},
    {"after the splash and the bin folder", true, false, false},
    {"after MySQL and php.ini", true, true, false},
    {"in the wait for the servers", true, true, true},
};

bool Contains(const std::vector<Base::TProcessId> &ids, Base::TProcessId id)
{
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}
} // namespace

TEST(StackStopRequest, EachStepOfTheStartEndsItAndStopEndsWhatWasStarted)
{
  for (size_t point = 0; point < std::size(StopPoints); ++point) {
    const TStopPoint &expected = StopPoints[point];
    SCOPED_TRACE(expected.step);
    TFakeMachine machine;
    Corvala::TStackOptions options = machine.Options();
    options.StartSplash = true;
    size_t asked = 0;
    options.StopRequested = [&] { return asked++ == point; };
    TServerStack stack(std::move(options));
    EXPECT_THROW(stack.Start(), TServerStack::TStartStopped);
    EXPECT_EQ(asked, point + 1);

    const auto splashes = machine.Processes.IdsOf(machine.Installation.Program);
    const auto mysqls = machine.Processes.IdsOf(machine.MySqlExe());
    const auto apaches = machine.Processes.IdsOf(machine.ApacheExe());
    EXPECT_EQ(splashes.size(), expected.splash ? 1u : 0u);
    EXPECT_EQ(mysqls.size(), expected.mySql ? 1u : 0u);
    EXPECT_EQ(apaches.size(), expected.apache ? 1u : 0u);
    // What was started still runs until the stop.
    EXPECT_EQ(machine.Processes.Running.size(), splashes.size() + mysqls.size() + apaches.size());
    EXPECT_TRUE(machine.Processes.Stopped.empty());

    stack.Stop();
    EXPECT_TRUE(machine.Processes.Running.empty());
    EXPECT_EQ(machine.Processes.EndedChildren, splashes);
    std::vector<Base::TProcessId> stopped;
    for (const Corvala::TServerProcess &server : machine.Processes.Stopped)
      stopped.push_back(server.id);
    for (const auto id : mysqls)
      EXPECT_TRUE(Contains(stopped, id));
    for (const auto id : apaches)
      EXPECT_TRUE(Contains(stopped, id));
    EXPECT_FALSE(machine.Files.FolderExists(machine.Installation.WorkFolder));
  }
}

// MySQL moved off a taken port and Apache was started again; then the stop request arrives.
TEST(StackStopRequest, AStopDuringTheWaitAfterAPortMoveStopsTheMovedServers)
{
  TFakeMachine machine;
  Corvala::TStackOptions options = machine.Options();
  options.StopRequested = [&] { return machine.Processes.Started.size() == 4; };
  TServerStack stack(std::move(options));
  machine.Processes.OnStart = [&](const TStartedProcess &started) {
    if (started.program != machine.MySqlExe() || machine.Processes.Started.size() > 1)
      return;
    machine.Processes.Running.erase(started.id);
    machine.Ports.Taken.insert(stack.State().MySqlPort);
  };
  EXPECT_THROW(stack.Start(), TServerStack::TStartStopped);
  const auto mysqls = machine.Processes.IdsOf(machine.MySqlExe());
  const auto apaches = machine.Processes.IdsOf(machine.ApacheExe());
  ASSERT_EQ(mysqls.size(), 2u);
  ASSERT_EQ(apaches.size(), 2u);
  EXPECT_EQ(machine.Processes.Running, (std::set<Base::TProcessId>{mysqls[1], apaches[1]}));

  stack.Stop();
  EXPECT_TRUE(machine.Processes.Running.empty());
  std::vector<Base::TProcessId> stopped;
  for (const Corvala::TServerProcess &server : machine.Processes.Stopped)
    stopped.push_back(server.id);
  EXPECT_TRUE(Contains(stopped, mysqls[1]));
  EXPECT_TRUE(Contains(stopped, apaches[1]));
}
