// The tree run where none of its packages are installed: a minimal Debian 12 root with only the
// desktop's base set. The launcher, a rebranded distribution, the settings hand-over and a
// down-sized tree each start there under the test display and serve their site.
#include "MinRoot.h"
#include "E2eSupport.h"
#include "TrayMenu.h"
#include "XDriver.h"
#include "config/BrandDefaults.h"
#include "config/ConfigFile.h"
#include "digest/Md5.h"
#include "ini/Ini.h"
#include "packaging/BrandSettings.h"
#include "packaging/DistributionBuild.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

constexpr auto StartLimit = 120s;

// Whether PHP loads the extensions a site expects: one line per extension, "name=1" when loaded.
constexpr char ExtensionProbe[] = R"(<?php
foreach (['mysqli', 'gd', 'mbstring', 'curl', 'sqlite3', 'pdo_sqlite', 'intl', 'zip', 'bcmath', 'dom',
          'simplexml', 'xmlreader', 'xmlwriter'] as $name)
  echo $name, '=', extension_loaded($name) ? 1 : 0, "\n";
)";

class MinRoot : public ::testing::Test
{
protected:
  static void SetUpTestSuite() { root = std::make_unique<TMinRoot>(); }
  static void TearDownTestSuite() { root.reset(); }

  void SetUp() override
  {
    if (!root->Unusable().empty()) {
      if (std::getenv("CI") != nullptr)
        FAIL() << root->Unusable();
      GTEST_SKIP() << root->Unusable();
    }
    if (std::getenv("DISPLAY") == nullptr)
      GTEST_SKIP() << "needs a display with a tray (the test command sources scripts/display.sh)";
  }

  // Whatever a failure left running stops before the folders go.
  void TearDown() override
  {
    for (const std::string &folder : folders) {
      for (const pid_t pid : ProcessesBelow(folder))
        kill(pid, SIGTERM);
      WaitUntil([&] { return ProcessesBelow(folder).empty(); }, 30s,
                "the processes below " + folder + " to end");
      for (const pid_t pid : ProcessesBelow(folder))
        kill(pid, SIGKILL);
    }
    installs.clear();
    for (const std::string &folder : scratch)
      fs::remove_all(folder);
  }

  // A fresh installation of the kit tree with the real launcher, inside the root.
  const TInstall &Install()
  {
    installs.push_back(std::make_unique<TInstall>(CORVALA_LAUNCHER, root->InstallFolder()));
    const TInstall &install = *installs.back();
    folders.push_back(install.Root());
    std::ofstream(install.Path("www/ext-probe.php"), std::ios::binary) << ExtensionProbe;
    return install;
  }

  // The launcher instance of Program (its path inside the root) once it shows a window and its
  // Apache answers; 0 when none came. Previous, when given, is an instance that must have gone.
  pid_t AwaitLauncher(const std::string &program, pid_t previous = 0)
  {
    pid_t launcher = 0;
    const bool shown = WaitUntil(
        [&] {
          const std::vector<pid_t> instances = InstancesOf(program);
          launcher = instances.size() == 1 && instances[0] != previous ? instances[0] : 0;
          const int port = ApachePort(program);
          return launcher != 0 && !VisibleWindowsOf(launcher).empty() && port != 0 &&
                 HttpGet(port, "/").status == 200;
        },
        StartLimit, "a launcher of " + program + " showing a window and serving");
    return shown ? launcher : 0;
  }

  // Starts Program inside the root as a user would; gives its launcher once it shows a window and
  // serves the demo page with MySQL connected (0, with a failure, when it does not).
  pid_t StartServing(const std::string &program, const std::string &screenshot)
  {
    EXPECT_EQ(root->Start(program), 0);
    const pid_t launcher = AwaitLauncher(program);
    if (launcher == 0) {
      ADD_FAILURE() << program << " showed no window serving the site";
      return 0;
    }
    // The launcher ends its splash once the first page is complete: then the page is on screen.
    EXPECT_TRUE(WaitUntil([&] { return InstancesOf(program, "splash").empty(); }, 60s, "the splash to end"));
    SaveScreenshot(CORVALA_SCREENSHOTS, screenshot);
    const THttpReply page = HttpGet(ApachePort(program), "/");
    EXPECT_NE(page.body.find("MySQL connected"), std::string::npos) << page.body;
    return launcher;
  }

  // The port Apache listens on for the launcher at Program (inside the root), from its httpd.conf.
  int ApachePort(const std::string &program) const
  {
    std::ifstream conf(WorkFolder(program) + "/httpd.conf");
    for (std::string line; std::getline(conf, line);)
      if (line.rfind("Listen ", 0) == 0)
        return std::atoi(line.c_str() + line.rfind(':') + 1);
    return 0;
  }

  std::string WorkFolder(const std::string &program) const
  {
    return root->Path() + "/tmp/" + Digest::Md5Hex(program);
  }

  // Every ELF file of the tree (its launcher and bin) finds all its libraries inside the root.
  void ExpectEveryLibraryFound(const std::string &tree) const
  {
    const std::string missing =
        root->Run("cd " + Quoted(root->Inside(tree)) +
                  " && find corvala runme bin -type f 2>/dev/null | while IFS= read -r f; do"
                  " head -c 4 \"$f\" | grep -q ELF || continue; ldd \"$f\" 2>&1 | grep 'not found' | sed "
                  "\"s|^|$f: |\"; done");
    EXPECT_EQ(missing, "") << "libraries missing inside the root";
  }

  // Ends the launcher with SIGTERM and expects the full shutdown: no process and no work folder.
  void ExpectCleanStop(pid_t launcher, const std::string &tree, const std::string &program)
  {
    kill(launcher, SIGTERM);
    EXPECT_TRUE(WaitUntil([&] { return !Running(launcher); }, 60s, "the launcher to end"));
    EXPECT_TRUE(
        WaitUntil([&] { return ProcessesBelow(tree).empty(); }, 30s, "the processes of the tree to end"))
        << "processes left running:\n"
        << Shell("ps -o pid,stat,args -p \"$(pgrep -d, -f " + Quoted(root->Inside(tree)) + ")\"");
    EXPECT_FALSE(fs::exists(WorkFolder(program))) << "the work folder stayed";
  }

  static std::unique_ptr<TMinRoot> root;
  std::vector<std::unique_ptr<TInstall>> installs;
  // Folders whose processes must not outlive the test, and folders to delete.
  std::vector<std::string> folders;
  std::vector<std::string> scratch;
};

std::unique_ptr<TMinRoot> MinRoot::root;

} // namespace

TEST_F(MinRoot, EveryProgramOfTheTreeFindsItsLibraries)
{
  const TInstall &install = Install();
  ExpectEveryLibraryFound(install.Root());
}

TEST_F(MinRoot, TheLauncherServesTheDemoStackAndShutsDownCleanly)
{
  const TInstall &install = Install();
  const std::string program = root->Inside(install.Program());
  const pid_t launcher = StartServing(program, "minroot-launcher.png");
  ASSERT_NE(launcher, 0);

  const int port = ApachePort(program);
  const THttpReply probe = HttpGet(port, "/ext-probe.php");
  EXPECT_EQ(probe.status, 200);
  EXPECT_EQ(probe.body.find("=0"), std::string::npos) << probe.body;
  EXPECT_NE(probe.body.find("intl=1"), std::string::npos) << probe.body;
  EXPECT_EQ(HttpGet(port, "/phpmyadmin/").status, 200);

  // The command line runs in the root too, on the launcher's php.ini and its MySQL.
  const std::string tree = Quoted(root->Inside(install.Root()));
  const std::string php = "PHPRC=" + Quoted(root->Inside(WorkFolder(program))) +
                          " PHP_INI_SCAN_DIR= " + tree + "/bin/php/php -r ";
  EXPECT_EQ(root->Run(php + Quoted("echo mysqli_connect('127.0.0.1', 'root', '')->query('SELECT 6 * 7')"
                                   "->fetch_row()[0];")),
            "42");
  const std::string mySqlPort = root->Run(php + Quoted("echo ini_get('mysqli.default_port');"));
  const std::string client = " -h 127.0.0.1 -P " + mySqlPort + " -u root ";
  EXPECT_EQ(root->Run(tree + "/bin/mysql/bin/mariadb" + client + "-N -e 'SELECT 6 * 7'"), "42\n");
  EXPECT_EQ(
      root->Run(tree + "/bin/mysql/bin/mariadb-dump" + client + "mysql db 2>&1 | grep -c 'CREATE TABLE'"),
      "1\n");

  ExpectCleanStop(launcher, install.Root(), program);
}

TEST_F(MinRoot, ADistributionBuiltOnTheHostRunsInTheRoot)
{
  // Built on the host from the kit tree, as the Rebrand command builds it, straight into the root.
  std::string work = root->InstallFolder() + "/rebrand work XXXXXX";
  ASSERT_NE(mkdtemp(work.data()), nullptr);
  folders.push_back(work);
  scratch.push_back(work);
  fs::permissions(work, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  const std::string brandFile = Corvala::WriteBrandDefaults(work);
  Corvala::TBrandSettings settings = Corvala::ReadBrandSettings(Corvala::TConfigFile(brandFile));
  settings.Title = "Acme Shop";
  settings.Port = 8088;
  settings.OutputDir = work + "/Acme Shop dist";
  fs::create_directories(settings.OutputDir);
  Corvala::MakeDistribution({CORVALA_LAUNCHER, CORVALA_STACK_TREE "/", work, brandFile}, settings);
  const std::string runme = root->Inside(settings.OutputDir + "/runme");
  ASSERT_TRUE(fs::exists(settings.OutputDir + "/licenses"));
  ExpectEveryLibraryFound(settings.OutputDir);

  const pid_t launcher = StartServing(runme, "minroot-distribution.png");
  ASSERT_NE(launcher, 0);
  EXPECT_GE(ApachePort(runme), 8088);
  // runme carries the brand's configuration, which the launcher writes into its work folder.
  EXPECT_EQ(Ini::ReadIniString(WorkFolder(runme) + "/Config.ini", "INI", "title"), "Acme Shop");

  ExpectCleanStop(launcher, settings.OutputDir, runme);
}

TEST_F(MinRoot, ServerSettingsRestartTheLauncherInTheRootOnTheNewPort)
{
  const TInstall &install = Install();
  const std::string program = root->Inside(install.Program());
  const pid_t first = StartServing(program, "minroot-settings-before.png");
  ASSERT_NE(first, 0);
  const int port = FreePort();
  ASSERT_NE(port, 0);
  ASSERT_NE(ApachePort(program), port);

  ApplySettingsPort(first, port, "minroot-settings");

  EXPECT_TRUE(WaitUntil([&] { return !Running(first); }, 60s, "the first launcher to end"));
  const pid_t second = AwaitLauncher(program, first);
  ASSERT_NE(second, 0) << "the \"/setup\" copy did not start the launcher again";
  EXPECT_TRUE(
      WaitUntil([&] { return ApachePort(program) == port; }, 30s, "Apache on port " + std::to_string(port)));
  const THttpReply page = HttpGet(port, "/");
  EXPECT_NE(page.body.find("MySQL connected"), std::string::npos) << page.body;

  ExpectCleanStop(second, install.Root(), program);
}

// MySQL first, then every PHP extension the table offers: each "downsize" run deletes and starts the
// launcher again, and the tree still runs with no library that something needs gone.
TEST_F(MinRoot, ADownSizedTreeStillRunsInTheRoot)
{
  const TInstall &install = Install();
  const std::string program = root->Inside(install.Program());
  const auto libraryCount = [&] {
    return std::distance(fs::directory_iterator(install.Path("bin/lib")), fs::directory_iterator());
  };
  const auto before = libraryCount();

  EXPECT_EQ(root->Start(program, "downsize -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0"), 0);
  pid_t launcher = AwaitLauncher(program);
  ASSERT_NE(launcher, 0) << "the launcher did not come back after MySQL's deletion";
  EXPECT_FALSE(fs::exists(install.Path("bin/mysql")));
  EXPECT_FALSE(fs::exists(install.Path("bin/lib/liburing.so.2"))) << "only MariaDB needs it";
  EXPECT_EQ(HttpGet(ApachePort(program), "/").status, 200);
  ExpectCleanStop(launcher, install.Root(), program);

  EXPECT_EQ(root->Start(program, "downsize 0 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 0 -1 -1"), 0);
  launcher = AwaitLauncher(program);
  ASSERT_NE(launcher, 0) << "the launcher did not come back after the extensions' deletion";
  for (const char *gone : {"gd.so", "mbstring.so", "curl.so", "sqlite3.so", "pdo_sqlite.so", "sockets.so"})
    EXPECT_FALSE(fs::exists(install.Path("bin/php/ext/") + gone)) << gone;
  EXPECT_FALSE(fs::exists(install.Path("bin/lib/libgd.so.3")));
  EXPECT_TRUE(fs::exists(install.Path("bin/lib/libssl.so.3"))) << "Apache's mod_ssl still needs it";
  EXPECT_LT(libraryCount(), before);
  EXPECT_EQ(HttpGet(ApachePort(program), "/").status, 200);
  ExpectCleanStop(launcher, install.Root(), program);
  ExpectEveryLibraryFound(install.Root());
}
