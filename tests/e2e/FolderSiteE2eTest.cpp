// The launcher's window on a site folder's own address, <folder>.localhost, which the engine
// resolves to loopback itself; in the "only my account" mode the key reaches that name too.
#include "E2eSupport.h"
#include "stack/PrivateMode.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

// The first page opens the folder site "app" on the same port with a parameter of its own; that
// site names in its title the host and address it was asked for.
void WriteFolderSite(const TInstall &install)
{
  WriteFirstPage(install, "<html><head><title>E2E first page</title></head><body><script>"
                          "location.replace('http://app.localhost:' + location.port + '/?tab=posts')"
                          "</script></body></html>");
  fs::create_directories(install.Path("www/app"));
  std::ofstream(install.Path("www/app/index.php"))
      << "<html><head><title>E2E folder site <?= $_SERVER['HTTP_HOST'] ?> <?= $_SERVER['REQUEST_URI'] ?>"
         "</title></head><body>app</body></html>\n";
}

std::string Config(bool privateMode)
{
  return "[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=" + std::to_string(FreePort()) +
         "\r\nip=127.0.0.1\r\ncopyfilestoharddisk=0\r\nbrand=0\r\nprivatemode=" + (privateMode ? "1" : "0");
}

// Whether a window comes to show the folder site; its title then goes into title.
bool ShowsFolderSite(std::string &title)
{
  return WaitUntil([&] { return !(title = WindowNamed("^E2E folder site")).empty(); }, 90s,
                   "the window on app.localhost");
}

// Starts the launcher on a tree with a folder site, and waits for its window to show that site's
// page at its own address; the page's address keeps its query, without the key.
void ExpectTheWindowOnTheFolderSite(TInstall &install, bool privateMode)
{
  install.SetConfig(Config(privateMode));
  WriteFolderSite(install);
  EXPECT_EQ(StartAsUser(install.Program()), 0);
  std::string title;
  ASSERT_TRUE(ShowsFolderSite(title));
  EXPECT_TRUE(title.starts_with("E2E folder site app.localhost:")) << title;
  EXPECT_NE(title.find(" /?tab=posts"), std::string::npos) << title;
  EXPECT_EQ(title.find(Corvala::SiteKeyName), std::string::npos) << title;
}

} // namespace

TEST(FolderSite, TheWindowOpensAFolderSitesOwnAddress)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  ExpectTheWindowOnTheFolderSite(install, false);
  StopLauncher(install);
}

// The site answers with the page, not the refusal: the window handed the key to the folder's name.
TEST(FolderSite, InTheOnlyMyAccountModeTheWindowHandsTheKeyToTheFolderSite)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  ExpectTheWindowOnTheFolderSite(install, true);
  StopLauncher(install);
  fs::remove_all(fs::path(Corvala::MySqlRootPasswordPath(install.Program())).parent_path());
}
