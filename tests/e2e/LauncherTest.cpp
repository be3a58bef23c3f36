#include "E2eSupport.h"
#include "utils/WorkFolder.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{
// The site's first page names, in its title, what the servers did: the window's title shows it.
constexpr char StatusPage[] = R"(<?php
mysqli_report(MYSQLI_REPORT_OFF);
$port = (int) ini_get('mysqli.default_port');
$db = @new mysqli('127.0.0.1', 'root', '', '', $port);
$status = $db->connect_errno ? 'MySQL not available' : "MySQL connected on port $port";
?><html><head><title>E2E <?= $status ?></title></head><body><h1><?= $status ?></h1></body></html>
)";

// Processes of Program whose only argument is the program itself (the launcher instances), or whose
// first argument is FirstArgument.
std::vector<pid_t> InstancesOf(const std::string &program, const std::string &firstArgument = {})
{
  std::vector<pid_t> found;
  for (const auto &entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    std::ifstream file(entry.path() / "cmdline", std::ios::binary);
    std::vector<std::string> args;
    for (std::string arg; std::getline(file, arg, '\0');)
      args.push_back(arg);
    if (args.empty() || args[0] != program)
      continue;
    if ((firstArgument.empty() && args.size() == 1) || (args.size() > 1 && args[1] == firstArgument))
      found.push_back(std::stoi(name));
  }
  return found;
}

// Starts the program as a user would (no marker) and waits for that first process to end.
int StartAsUser(const std::string &program)
{
  const pid_t pid = fork();
  if (pid == 0) {
    unsetenv("CORVALA_SHOW");
    execl(program.c_str(), program.c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

template <typename Condition> bool WaitFor(Condition condition, int seconds)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::string WindowNamed(const std::string &pattern)
{
  return Shell("xdotool search --name '" + pattern + "' getwindowname %@ 2>/dev/null");
}

void SaveScreenshot(const std::string &name)
{
  fs::create_directories(CORVALA_SCREENSHOTS);
  Shell("import -window root '" + std::string(CORVALA_SCREENSHOTS) + "/" + name + "' 2>/dev/null");
}
} // namespace

TEST(Launcher, ShowsTheLocalSiteRunsOnceAndShutsDownOnSigterm)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  const std::string page = install.Path("www/index.php");
  fs::remove(page);
  std::ofstream(page) << StatusPage;
  const std::string work = AppUtils::WorkFolderPathFor(install.Program());

  // The first start relaunches itself once, marked, and ends.
  EXPECT_EQ(StartAsUser(install.Program()), 0);
  ASSERT_TRUE(WaitFor([&] { return !WindowNamed("^E2E MySQL connected on port").empty(); }, 90))
      << "no window showed the site";
  EXPECT_EQ(InstancesOf(install.Program()).size(), 1u);
  // The splash process is gone once the first page is complete.
  EXPECT_TRUE(WaitFor([&] { return InstancesOf(install.Program(), "splash").empty(); }, 10));
  SaveScreenshot("main-window.png");

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
