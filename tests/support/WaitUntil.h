#pragma once

// The one way the tests wait for what a child process, a server, the window manager or the event
// loop does: a condition checked again and again until it holds. No test sleeps for a fixed time.
// The limit only keeps a broken run from hanging; a timeout names what was awaited.

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace TestSupport
{

using namespace std::chrono_literals;

// What runs between two checks of a condition: a short sleep, or a GUI program's events
// (GuiWait.h).
using TBetweenChecks = std::function<void()>;

inline void SleepBetweenChecks()
{
  std::this_thread::sleep_for(50ms);
}

// Checks Done until it holds, running BetweenChecks after each check that fails. Fails, saying it
// waited for What, once Limit has passed; use it as ASSERT_TRUE(WaitUntil(...)).
inline ::testing::AssertionResult WaitUntil(const std::function<bool()> &done,
                                            std::chrono::milliseconds limit, const std::string &what,
                                            const TBetweenChecks &betweenChecks = SleepBetweenChecks)
{
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return ::testing::AssertionFailure()
             << "gave up after " << std::chrono::duration<double>(limit).count() << " s waiting for " << what;
    betweenChecks();
  }
  return ::testing::AssertionSuccess();
}

} // namespace TestSupport
