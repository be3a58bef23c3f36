// A distribution built from the kit tree, moved to a folder with a blank in its name and started:
// its runme serves the copied site and database and shows the brand.
#include "packaging/DistributionBuild.h"

#include "config/BrandDefaults.h"
#include "process/Process.h"
#include "shell/OutDir.h"
#include "support/GuiWait.h"
#include "support/TestSupport.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <array>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace Corvala;

namespace
{

// The command's standard output, trimmed of its last line end.
std::string ShellOutput(const std::string &command)
{
  std::string output;
  FILE *pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr)
    return output;
  std::array<char, 4096> chunk{};
  while (const size_t n = fread(chunk.data(), 1, chunk.size(), pipe))
    output.append(chunk.data(), n);
  pclose(pipe);
  while (!output.empty() && output.back() == '\n')
    output.pop_back();
  return output;
}

// Running processes whose executable lies in the folder.
std::vector<pid_t> ProcessesIn(const std::string &folder)
{
  std::vector<pid_t> found;
  DIR *proc = opendir("/proc");
  while (const dirent *entry = proc ? readdir(proc) : nullptr) {
    const pid_t pid = std::atoi(entry->d_name);
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    if (pid > 0 && !error && exe.parent_path() == folder && Process::ProcessExists(pid))
      found.push_back(pid);
  }
  if (proc)
    closedir(proc);
  return found;
}

std::string DrawSplash(const std::string &file)
{
  QImage image(360, 120, QImage::Format_RGB32);
  image.fill(QColor(0, 90, 140));
  QPainter painter(&image);
  painter.setPen(Qt::white);
  painter.setFont(QFont("DejaVu Sans", 28, QFont::Bold));
  painter.drawText(image.rect(), Qt::AlignCenter, "ACME SHOP");
  painter.end();
  image.save(QString::fromStdString(file), "PNG");
  return file;
}

std::string DrawIcon(const std::string &file)
{
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(QColor(255, 0, 0));
  image.save(QString::fromStdString(file), "ICO");
  return file;
}

// The arguments of a running process, NUL-separated.
std::string CommandLineOf(pid_t pid)
{
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Processes of the program that run without arguments: the launcher instances.
std::vector<pid_t> Launchers(const std::string &folder, const std::string &program)
{
  std::vector<pid_t> found;
  for (pid_t pid : ProcessesIn(folder))
    if (CommandLineOf(pid) == program + '\0')
      found.push_back(pid);
  return found;
}

// The site's page: the database connection it finds.
constexpr char StatusPage[] = R"(<?php
mysqli_report(MYSQLI_REPORT_OFF);
$port = (int) ini_get('mysqli.default_port');
$db = @new mysqli('127.0.0.1', 'root', '', '', $port);
$status = $db->connect_errno ? 'MySQL not available' : "MySQL connected on port $port";
?><html><head><title>Shop page</title></head><body><h1><?= $status ?></h1></body></html>
)";

// The first page answers only once the test lets it (the file "release" appears beside it, or after
// two minutes), so the window shows the brand's title until the test has seen it.
constexpr char HeldFirstPage[] = R"(<?php
for ($waited = 0; !file_exists(__DIR__ . '/release') && $waited < 1200; ++$waited)
  usleep(100000);
include __DIR__ . '/status.php';
)";

// The first port from 8088 whose status page answers with a database connection.
int ServingPort()
{
  for (int port = 8088; port < 8100; ++port)
    if (ShellOutput("curl -s --max-time 10 http://127.0.0.1:" + std::to_string(port) + "/status.php")
            .find("MySQL connected") != std::string::npos)
      return port;
  return 0;
}

// Ends every process of the distribution when the test ends, however it ends: the launchers
// with SIGTERM (a clean shutdown of their servers), then waits for all of them.
struct TStopDistribution {
  std::string folder;
  std::string runme;
  ~TStopDistribution()
  {
    for (pid_t pid : Launchers(folder, runme))
      kill(pid, SIGTERM);
    WaitUntil([this] { return ProcessesIn(folder).empty(); }, 60s, "the distribution's processes to end");
  }
};

} // namespace

TEST(BrandedLauncher, RunmeFromAFolderWithABlankServesTheCopiedStackUnderItsBrand)
{
  TestSupport::TScratchFolder root("corvala-branded");
  // The web server's workers run as another user when the test runs as root.
  std::filesystem::permissions(root.Path(), std::filesystem::perms::all &
                                                ~std::filesystem::perms::group_write &
                                                ~std::filesystem::perms::others_write);
  const std::string brandFile = WriteBrandDefaults(root.Path());
  TBrandSettings settings = ReadBrandSettings(TConfigFile(brandFile));
  settings.Title = "Acme Shop";
  settings.SplashFileName = DrawSplash(root.File("splash.png"));
  settings.IconFile = DrawIcon(root.File("acme.ico"));
  settings.Port = 8088;
  settings.TrayIcon = "0";
  // The first page is held, so the window shows the brand's title until the page names it.
  settings.SrcDir = root.File("site");
  root.Write("site/status.php", StatusPage);
  root.Write("site/index.php", HeldFirstPage);
  settings.OutputDir = root.File("out");
  std::filesystem::create_directories(settings.OutputDir);
  MakeDistribution({CORVALA_LAUNCHER, CORVALA_STACK_TREE "/", root.Path(), brandFile}, settings);

  const std::string folder = root.File("Acme Shop dist");
  std::filesystem::rename(settings.OutputDir, folder);
  const std::string runme = folder + "/runme";
  TStopDistribution stop{folder, runme};
  const Base::TProcessId first = Process::StartProcess(runme, "", Process::TShowCommand::Normal, folder);
  ASSERT_NE(first, 0u);

  // The first process hands over to a marked instance of itself and ends.
  pid_t launcher = 0;
  std::string titledWindow;
  bool splashSeen = false;
  const ::testing::AssertionResult served = WaitUntil(
      [&] {
        if (launcher == 0) {
          for (pid_t pid : Launchers(folder, runme))
            if (pid != static_cast<pid_t>(first))
              launcher = pid;
        }
        if (titledWindow.empty())
          titledWindow = ShellOutput("xdotool search --onlyvisible --name '^Acme Shop$' | head -1");
        for (pid_t pid : ProcessesIn(folder))
          if (CommandLineOf(pid).rfind(runme + '\0' + "splash" + '\0', 0) == 0 &&
              !ShellOutput("xdotool search --onlyvisible --pid " + std::to_string(pid)).empty()) {
            if (!splashSeen)
              SaveScreenshot("branded-splash.png");
            splashSeen = true;
          }
        return launcher != 0 && !titledWindow.empty() && ServingPort() != 0;
      },
      120s, "the launcher's window under the brand's title, and the site serving");
  ASSERT_TRUE(served) << "launcher " << launcher << ", window " << titledWindow;
  EXPECT_FALSE(Process::ProcessExists(first));
  // The servers answering are the distribution's own copies.
  EXPECT_FALSE(ProcessesIn(folder + "/bin/mysql/bin").empty());
  EXPECT_FALSE(ProcessesIn(folder + "/bin/Apache").empty());
  EXPECT_TRUE(splashSeen);

  // The window carries the brand icon: _NET_WM_ICON gives width, height, then ARGB pixels.
  const std::string iconWords =
      ShellOutput("xprop -id " + titledWindow + " -f _NET_WM_ICON 32c ' = $0+' _NET_WM_ICON");
  EXPECT_NE(iconWords.find("32, 32, 4294901760"), std::string::npos) << iconWords.substr(0, 200);
  // The page names the window once it has loaded; the picture is taken then.
  TestSupport::WriteBytes(folder + "/www/release", "");
  EXPECT_TRUE(WaitUntil([&] { return ShellOutput("xdotool getwindowname " + titledWindow) == "Shop page"; },
                        60s, "the page's title on the window"));
  SaveScreenshot("branded-launcher.png");

  kill(launcher, SIGTERM);
  EXPECT_TRUE(
      WaitUntil([&] { return ProcessesIn(folder).empty(); }, 60s, "the distribution's processes to end"));
}
