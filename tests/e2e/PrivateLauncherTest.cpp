// The launcher in the "only my account" mode: its own browser and an external one reach the site,
// which refuses everything else.
#include "E2eSupport.h"
#include "digest/Md5.h"
#include "stack/PrivateMode.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

std::string PrivateConfig()
{
  return "[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=" + std::to_string(FreePort()) +
         "\r\nip=127.0.0.1\r\ncopyfilestoharddisk=0\r\nbrand=0\r\nprivatemode=1";
}

// The first page names in its title what the database said to host "localhost", root, no password.
void WritePrivatePage(const TInstall &install)
{
  const std::string path = install.Path("www/index.php");
  std::remove(path.c_str());
  std::ofstream(path) << R"(<?php
mysqli_report(MYSQLI_REPORT_OFF);
$db = @new mysqli('localhost', 'root', '');
$status = $db->connect_errno ? 'no database' : 'database as ' . $db->query('SELECT CURRENT_USER()')->fetch_row()[0];
?><html><head><title>E2E private site, <?= $status ?>, port <?= $_SERVER['SERVER_PORT'] ?></title></head><body>private</body></html>
)";
}

// The site's port, read from the window's title.
int PortIn(const std::string &title)
{
  const size_t at = title.find("port ");
  if (at == std::string::npos)
    return 0;
  const size_t digits = at + 5;
  const size_t end = title.find_first_not_of("0123456789", digits);
  const std::string number =
      title.substr(digits, end == std::string::npos ? std::string::npos : end - digits);
  return number.empty() ? 0 : std::stoi(number);
}

// The launcher's browser profile: "<data>/corvala/profiles/<MD5 of the program's path>".
std::string ProfileFolder(const std::string &program)
{
  const char *data = std::getenv("XDG_DATA_HOME");
  const std::string root =
      data != nullptr && data[0] == '/' ? data : std::string(std::getenv("HOME")) + "/.local/share";
  return root + "/corvala/profiles/" + Digest::Md5Hex(program);
}

// Ends the launcher and removes the MySQL password its start kept for the installation.
void EndLauncher(const TInstall &install)
{
  StopLauncher(install);
  fs::remove_all(fs::path(Corvala::MySqlRootPasswordPath(install.Program())).parent_path());
}

} // namespace

TEST(PrivateLauncher, ItsOwnBrowserCarriesTheKeyAndOthersAreRefused)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  install.SetConfig(PrivateConfig());
  WritePrivatePage(install);

  EXPECT_EQ(StartAsUser(install.Program()), 0);
  std::string title;
  ASSERT_TRUE(WaitUntil([&] { return !(title = WindowNamed("^E2E private site")).empty(); }, 90s,
                        "a window showing the site"));
  EXPECT_NE(title.find("database as root@localhost"), std::string::npos) << title;
  // The same address without the launcher's cookie is refused.
  const THttpReply other = HttpGet(PortIn(title), "/");
  EXPECT_EQ(other.status, 403) << title;
  EXPECT_NE(other.body.find("open only to the account that started it"), std::string::npos) << other.body;
  // The browser's profile, which keeps the cookie, is the owner's alone.
  struct stat profile {
  };
  ASSERT_EQ(stat(ProfileFolder(install.Program()).c_str(), &profile), 0);
  EXPECT_EQ(profile.st_mode & 0777, 0700u);
  EndLauncher(install);
  fs::remove_all(ProfileFolder(install.Program()));
}

TEST(PrivateLauncher, TheExternalBrowserGetsTheKeyThroughAPrivatePageAndReachesTheSite)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  install.SetConfig(PrivateConfig());
  WritePrivatePage(install);
  // The stand-in browser opens what it is given as a browser does: the hand-over page, the address
  // that page opens (which sets the cookie), the address the landing page opens in turn, and then
  // the first page again with the cookie alone. Before it asks anything, it looks for the key in
  // every process's command line.
  const std::string out = install.Root() + ".browser";
  const std::string browser = install.Path("bin/browser");
  std::ofstream(browser)
      << "#!/bin/sh\njar=\"" << out << ".jar\"\n"
      << "page=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.unquote(sys.argv[1][7:]))' "
         "\"$1\")\n"
      << "url=$(sed -n 's/.*url=\\([^\"]*\\)\".*/\\1/p' \"$page\")\n"
      << "printf '%s\\n' \"${url##*=}\" > \"" << out << ".key\"\n"
      << "grep -l -a -F -f \"" << out << ".key\" /proc/[0-9]*/cmdline > \"" << out
      << ".cmdlines\" 2>/dev/null\n"
      << "printf '%s\\n' \"$1\" > \"" << out << ".given\"\n"
      << "curl -s -c \"$jar\" -b \"$jar\" \"$url\" > \"" << out << ".landing\"\n"
      << "curl -s -b \"$jar\" \"${url%%\\?*}\" > \"" << out << ".first\"\n"
      << "curl -s -b \"$jar\" \"${url%%\\?*}\" > \"" << out << ".tmp\"\n"
      << "mv \"" << out << ".tmp\" \"" << out << "\"\n";
  fs::permissions(browser, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  std::ofstream(install.Path("bin/Browser.ini"))
      << "[Browser]\r\nBrowserPath={BIN}/browser\r\nParameters={url}\r\n";

  EXPECT_EQ(StartAsUser(install.Program()), 0);
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(out); }, 90s, "the stand-in browser's pages"));
  std::ifstream first(out + ".first");
  const std::string firstPage((std::istreambuf_iterator<char>(first)), std::istreambuf_iterator<char>());
  std::ifstream again(out);
  const std::string secondPage((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
  EXPECT_NE(firstPage.find("database as root@localhost"), std::string::npos) << firstPage;
  std::ifstream given(out + ".given");
  const std::string givenAddress((std::istreambuf_iterator<char>(given)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(givenAddress.starts_with("file:///")) << givenAddress;
  std::ifstream key(out + ".key");
  const std::string keyLine((std::istreambuf_iterator<char>(key)), std::istreambuf_iterator<char>());
  EXPECT_EQ(keyLine.size(), 33u) << keyLine;
  EXPECT_EQ(givenAddress.find(keyLine.substr(0, 32)), std::string::npos) << givenAddress;
  std::ifstream cmdlines(out + ".cmdlines");
  const std::string holders((std::istreambuf_iterator<char>(cmdlines)), std::istreambuf_iterator<char>());
  EXPECT_EQ(holders, "") << "command lines holding the key";
  std::ifstream landing(out + ".landing");
  const std::string landingPage((std::istreambuf_iterator<char>(landing)), std::istreambuf_iterator<char>());
  EXPECT_NE(landingPage.find("location.replace"), std::string::npos) << landingPage;
  EXPECT_NE(secondPage.find("database as root@localhost"), std::string::npos) << secondPage;
  EXPECT_EQ(HttpGet(PortIn(secondPage), "/").status, 403);
  EndLauncher(install);
  for (const char *suffix : {"", ".first", ".jar", ".given", ".key", ".cmdlines", ".landing"})
    std::remove((out + suffix).c_str());
}
