// The stop of the started servers, against a real child process that plays the server.
#include "stack/ServerStop.h"

#include "process/Process.h"
#include "support/TestSupport.h"
#include "support/WaitUntil.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

using namespace TestSupport;

// MariaDB hangs for good on a SIGTERM that comes while it still starts, and by then its port is
// already open: a server with a port to wait for is asked to stop only once it greets a client.
TEST(StopStartedServers, AsksAServerToStopOnlyOnceItGreetsItsClients)
{
  TScratchFolder folder;
  const std::string state = folder.File("state");
  const Base::TProcessId server =
      Process::StartProcess(CORVALA_TEST_CHILD, "greeter \"" + state + "\"", Process::TShowCommand::Hide, "");
  ASSERT_NE(server, 0u);
  ASSERT_TRUE(
      WaitUntil([&] { return ReadBytes(state).starts_with("listening "); }, 60s, "the server to listen"));
  const int port = std::stoi(ReadBytes(state).substr(std::string("listening ").size()));

  std::vector<bool> stoppedCleanly;
  std::thread stop([&] { stoppedCleanly = Corvala::StopStartedServers({{server, "", port}}, 60s, {}); });
  // The stop has come by; the server took the client but did not greet it.
  EXPECT_TRUE(
      WaitUntil([&] { return !ReadBytes(state).starts_with("listening "); }, 60s, "a client of the stop"));
  EXPECT_EQ(ReadBytes(state), "probed");
  if (ReadBytes(state) == "probed")
    kill(static_cast<pid_t>(server), SIGUSR1);
  stop.join();

  EXPECT_EQ(ReadBytes(state), "stopped after greeting");
  EXPECT_EQ(stoppedCleanly, std::vector<bool>{true});
}

// After a kill of Apache's parent its workers go on serving, and nothing would ask them to stop:
// they are found by the executable and killed at once, without the grace a running server gets.
TEST(StopStartedServers, KillsWhatOutlivedAServerAtOnce)
{
  TScratchFolder folder;
  // A copy of its own: every process of the executable is stopped.
  const std::string program = folder.File("server");
  std::filesystem::copy_file(CORVALA_TEST_CHILD, program);
  const std::string workerFile = folder.File("worker");
  const Base::TProcessId parent =
      Process::StartProcess(program, "spawn \"" + workerFile + "\" 600", Process::TShowCommand::Hide, "");
  ASSERT_NE(parent, 0u);
  ASSERT_TRUE(WaitUntil([&] { return !ReadBytes(workerFile).empty(); }, 60s, "the worker to start"));
  const auto worker = static_cast<Base::TProcessId>(std::stoi(ReadBytes(workerFile)));
  kill(static_cast<pid_t>(parent), SIGKILL);
  ASSERT_TRUE(WaitUntil([&] { return !Process::ProcessExists(parent); }, 60s, "the parent to end"));
  ASSERT_TRUE(Process::ProcessExists(worker));

  const auto grace = std::chrono::minutes(10);
  const auto begin = std::chrono::steady_clock::now();
  const std::vector<bool> stoppedCleanly = Corvala::StopStartedServers({{parent, program, 0}}, grace, {});
  EXPECT_LT(std::chrono::steady_clock::now() - begin, grace) << "the stop waited the grace";
  EXPECT_FALSE(Process::ProcessExists(worker));
  EXPECT_EQ(stoppedCleanly, std::vector<bool>{false});
}
