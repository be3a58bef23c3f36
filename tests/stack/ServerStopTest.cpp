// The stop of the started servers, against a real child process that plays the server.
#include "stack/ServerStop.h"

#include "utils/Process.h"
#include "utils/TestSupport.h"
#include "utils/WaitUntil.h"

#include <csignal>
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
  const AppUtils::TProcessId server = AppUtils::StartProcess(CORVALA_TEST_CHILD, "greeter \"" + state + "\"",
                                                             AppUtils::TShowCommand::Hide, "");
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
