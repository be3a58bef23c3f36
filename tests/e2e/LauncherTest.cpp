#include "E2eSupport.h"
#include "utils/WorkFolder.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

using namespace E2e;
namespace fs = std::filesystem;

TEST(Launcher, ShowsTheLocalSiteRunsOnceAndShutsDownOnSigterm)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  WriteStatusPage(install);
  const std::string work = AppUtils::WorkFolderPathFor(install.Program());

  // The first start relaunches itself once, marked, and ends.
  EXPECT_EQ(StartAsUser(install.Program()), 0);
  ASSERT_TRUE(WaitFor([&] { return !WindowNamed("^E2E MySQL connected on port").empty(); }, 90))
      << "no window showed the site";
  EXPECT_EQ(InstancesOf(install.Program()).size(), 1u);
  // The splash process is gone once the first page is complete.
  EXPECT_TRUE(WaitFor([&] { return InstancesOf(install.Program(), "splash").empty(); }, 10));
  SaveScreenshot(CORVALA_SCREENSHOTS, "main-window.png");

  // A second start from the same path ends by itself; the first instance keeps running.
  EXPECT_EQ(StartAsUser(install.Program()), 0);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const std::vector<pid_t> instances = InstancesOf(install.Program());
  ASSERT_EQ(instances.size(), 1u);

  // SIGTERM is the full shutdown: servers stopped, work folder deleted.
  kill(instances[0], SIGTERM);
  EXPECT_TRUE(WaitFor([&] { return InstancesOf(install.Program()).empty(); }, 30));
  EXPECT_TRUE(WaitFor([&] { return ProcessesBelow(install.Root()).empty(); }, 5));
  EXPECT_FALSE(fs::exists(work));
  for (const auto &entry : fs::directory_iterator(install.Path("data")))
    EXPECT_TRUE(entry.is_directory()) << entry.path();
}

TEST(Launcher, WithAnExternalBrowserTheStackRunsUntilThatBrowserEnds)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  // The "browser" runs for a few seconds and ends, as when its user closes it.
  fs::copy_file("/bin/sleep", install.Path("bin/browser"));
  std::ofstream(install.Path("bin/Browser.ini"))
      << "[Browser]\r\nBrowserPath={BIN}/browser\r\nParameters=8\r\n";
  const std::string work = AppUtils::WorkFolderPathFor(install.Program());

  EXPECT_EQ(StartAsUser(install.Program()), 0);
  ASSERT_TRUE(WaitFor(
      [&] {
        return !ProcessesBelow(install.Path("bin/browser")).empty() ||
               !InstancesOf(install.Path("bin/browser"), "8").empty();
      },
      60));
  EXPECT_FALSE(ProcessesBelow(install.Path("bin/mysql")).empty());
  // The launcher shows no window of its own.
  const std::vector<pid_t> launchers = InstancesOf(install.Program());
  ASSERT_EQ(launchers.size(), 1u);
  EXPECT_EQ(Shell("xdotool search --onlyvisible --pid " + std::to_string(launchers[0]) + " 2>/dev/null"), "");
  // Once the browser has ended, the launcher stops the stack and ends.
  EXPECT_TRUE(WaitFor([&] { return InstancesOf(install.Program()).empty(); }, 40));
  EXPECT_TRUE(WaitFor([&] { return ProcessesBelow(install.Root()).empty(); }, 5));
  EXPECT_FALSE(fs::exists(work));
}
