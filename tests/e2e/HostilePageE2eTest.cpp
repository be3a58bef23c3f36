#include "E2eSupport.h"
#include "XDriver.h"
#include "stack/host/WorkFolder.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

// The real launcher on a site whose first page opens alert boxes without end.
class AlertLoop : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (std::getenv("DISPLAY") == nullptr)
      GTEST_SKIP() << "needs a display (the test command provides one)";
    WriteFirstPage(install,
                   "<html><head><title>Alert loop</title></head><body>"
                   "<script>onload = function () { for (;;) alert('again'); };</script></body></html>");
  }

  // Starts the launcher; gives its instance once the page's box shows over its window.
  pid_t StartUntilTheBoxShows()
  {
    EXPECT_EQ(StartAsUser(install.Program()), 0);
    pid_t launcher = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
          const std::vector<pid_t> found = InstancesOf(install.Program());
          launcher = found.empty() ? 0 : found[0];
          // The window and its box carry the page's title.
          std::istringstream names(launcher == 0 ? "" : WindowNamed("^Alert loop$", launcher));
          int windows = 0;
          for (std::string line; std::getline(names, line);)
            ++windows;
          return windows >= 2;
        },
        90s, "the window and the page's box"));
    // A box opening ends the splash, which would cover it.
    EXPECT_TRUE(WaitUntil([&] { return InstancesOf(install.Program(), "splash").empty(); }, 10s,
                          "the splash to end"));
    return launcher;
  }

  // Waits for the launcher and everything it started to end; gives how long that took.
  std::chrono::milliseconds WaitForTheEnd()
  {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(WaitUntil(
        [&] { return InstancesOf(install.Program()).empty() && ProcessesBelow(install.Root()).empty(); }, 20s,
        "the launcher and its servers to end"));
    EXPECT_FALSE(fs::exists(Host::WorkFolderPathFor(install.Program())));
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }

  TInstall install{CORVALA_LAUNCHER};
};

} // namespace

TEST_F(AlertLoop, ASignalEndsEverythingWhileThePageKeepsOpeningBoxes)
{
  const pid_t launcher = StartUntilTheBoxShows();
  ASSERT_NE(launcher, 0);
  SaveScreenshot(CORVALA_SCREENSHOTS, "alert-loop.png");
  kill(launcher, SIGTERM);
  std::cout << "ended " << WaitForTheEnd().count() << " ms after SIGTERM\n";
}

TEST_F(AlertLoop, TheWindowsCloseRequestEndsTheLauncherWhileABoxIsOpen)
{
  const pid_t launcher = StartUntilTheBoxShows();
  ASSERT_NE(launcher, 0);
  // The main window is the largest of the launcher's windows; the box is small.
  std::string mainWindow;
  long largest = 0;
  for (const std::string &window : VisibleWindowsOf(launcher)) {
    std::istringstream geometry(Shell("xdotool getwindowgeometry --shell " + window));
    long width = 0, height = 0;
    for (std::string line; std::getline(geometry, line);) {
      if (line.rfind("WIDTH=", 0) == 0)
        width = std::stol(line.substr(6));
      if (line.rfind("HEIGHT=", 0) == 0)
        height = std::stol(line.substr(7));
    }
    if (width * height > largest) {
      largest = width * height;
      mainWindow = window;
    }
  }
  ASSERT_FALSE(mainWindow.empty());
  ASSERT_TRUE(ActivateWindow(mainWindow));
  // The window manager's close key sends the window its close request.
  ASSERT_TRUE(PressKeys("alt+F4"));
  WaitForTheEnd();
}

namespace
{

// The real launcher on a page with unsaved work: a page that asks before it is left.
class UnsavedWork : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (std::getenv("DISPLAY") == nullptr)
      GTEST_SKIP() << "needs a display (the test command provides one)";
    WriteFirstPage(install, "<html><head><title>Draft</title></head><body style='height:2000px'><script>"
                            "onclick = function () { document.title = 'Draft edited'; };"
                            "onbeforeunload = function (e) { e.preventDefault(); e.returnValue = ''; };"
                            "</script></body></html>");
  }

  TInstall install{CORVALA_LAUNCHER};
};

} // namespace

TEST_F(UnsavedWork, TheCloseRequestAsksThePageAndStayKeepsTheLauncherRunning)
{
  ASSERT_EQ(StartAsUser(install.Program()), 0);
  std::string window;
  ASSERT_TRUE(WaitUntil([&] { return !(window = VisibleWindowNamed("^Draft$")).empty(); }, 90s, "the page"));
  const pid_t launcher = InstancesOf(install.Program()).at(0);
  // The splash lies over the window's middle until the page is complete.
  ASSERT_TRUE(
      WaitUntil([&] { return InstancesOf(install.Program(), "splash").empty(); }, 30s, "the splash to end"));
  // The engine asks only for a page the user has worked in.
  // A window just shown may still be settling (mapped, maximised) and miss a click: the user clicks
  // again until the page has seen one.
  auto lastClick = std::chrono::steady_clock::now() - 1h;
  ASSERT_TRUE(WaitUntil(
      [&] {
        if (!VisibleWindowNamed("^Draft edited$").empty())
          return true;
        if (std::chrono::steady_clock::now() - lastClick > 1s) {
          ActivateWindow(window);
          ClickIn(window, 400, 400);
          lastClick = std::chrono::steady_clock::now();
        }
        return false;
      },
      60s, "a click in the page"));

  // The page's question carries the page's title, as the window does: it is the other window of that name.
  auto question = [&] {
    std::istringstream ids(Shell("xdotool search --all --onlyvisible --pid " + std::to_string(launcher) +
                                 " --name '^Draft edited$'"));
    for (std::string id; std::getline(ids, id);)
      if (!id.empty() && id != window)
        return id;
    return std::string();
  };
  std::string box;
  ASSERT_TRUE(ActivateWindow(window));
  ASSERT_TRUE(PressKeys("alt+F4"));
  ASSERT_TRUE(WaitUntil([&] { return !(box = question()).empty(); }, 30s, "the page's question"));
  SaveScreenshot(CORVALA_SCREENSHOTS, "leave-page.png");
  // Escape answers Stay.
  ASSERT_TRUE(ActivateWindow(box));
  ASSERT_TRUE(PressKeys("Escape"));
  ASSERT_TRUE(WaitUntil([&] { return question().empty(); }, 30s, "the question to go"));
  EXPECT_EQ(InstancesOf(install.Program()), std::vector<pid_t>{launcher});

  // Asked again, Leave (the default answer) ends everything.
  ASSERT_TRUE(ActivateWindow(window));
  ASSERT_TRUE(PressKeys("alt+F4"));
  ASSERT_TRUE(WaitUntil([&] { return !(box = question()).empty(); }, 30s, "the page's question again"));
  ASSERT_TRUE(ActivateWindow(box));
  ASSERT_TRUE(PressKeys("Return"));
  EXPECT_TRUE(WaitUntil(
      [&] { return InstancesOf(install.Program()).empty() && ProcessesBelow(install.Root()).empty(); }, 30s,
      "the launcher and its servers to end"));
}

// A page of another origin in the launcher's own window posts SQL to phpMyAdmin (which logs in by
// itself) and a form to the user's own site. The site gets its form, as sites are left to their
// own defences; phpMyAdmin creates nothing.
TEST(ForeignPage, CannotCreateADatabaseThroughPhpMyAdminFromTheLaunchersWindow)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  // The first page sends the window to a site folder's own name, another origin than 127.0.0.1's.
  WriteFirstPage(install,
                 "<html><body><script>location.replace('http://attacker.localhost:' + location.port + "
                 "'/attack.html')</script></body></html>");
  std::ofstream(install.Path("www/record.php"))
      << "<?php mysqli_report(MYSQLI_REPORT_OFF); $db = new mysqli('127.0.0.1', 'root', '');\n"
         "$db->query('CREATE DATABASE site_form_arrived');\n";
  // Each form posts into a frame of its own; the title says when both answers came.
  fs::create_directories(install.Path("www/attacker"));
  std::ofstream(install.Path("www/attacker/attack.html"))
      << "<html><head><title>Attack page</title></head><body>\n"
         "<iframe name=\"pma\"></iframe><iframe name=\"site\"></iframe>\n"
         "<form id=\"pmaForm\" method=\"POST\" target=\"pma\"><input name=\"server\" value=\"1\">"
         "<input name=\"sql_query\" value=\"CREATE DATABASE from_foreign_page\"></form>\n"
         "<form id=\"siteForm\" method=\"POST\" target=\"site\"><input name=\"hit\" value=\"1\"></form>\n"
         "<script>onload = function () {\n"
         "  var own = 'http://127.0.0.1:' + location.port, answers = 0;\n"
         "  pmaForm.action = own + '/phpmyadmin/index.php?route=/sql';\n"
         "  siteForm.action = own + '/record.php';\n"
         "  for (const frame of document.querySelectorAll('iframe'))\n"
         "    frame.onload = function () { if (++answers == 2) document.title = 'Attack sent'; };\n"
         "  pmaForm.submit(); siteForm.submit();\n"
         "};</script></body></html>\n";

  EXPECT_EQ(StartAsUser(install.Program()), 0);
  EXPECT_TRUE(
      WaitUntil([] { return !WindowNamed("^Attack sent").empty(); }, 90s, "the page's forms to be answered"));
  SaveScreenshot(CORVALA_SCREENSHOTS, "foreign-page-forms.png");
  const std::string socket = Host::WorkFolderPathFor(install.Program()) + "/mysql.sock";
  const std::string databases = Shell("mariadb --no-defaults --protocol=SOCKET -S " + Quoted(socket) +
                                      " -u root -N -B -e 'SHOW DATABASES' 2>&1");
  EXPECT_NE(databases.find("site_form_arrived"), std::string::npos) << databases;
  EXPECT_EQ(databases.find("from_foreign_page"), std::string::npos) << databases;
  StopLauncher(install);
}

// The site sends files under names no file should have: line breaks, terminal escapes, DEL, C1
// controls, a character that turns the text around, folders, 300 bytes. The real launcher's Save
// As dialogs propose safe names, one dialog at a time, and Enter saves each under its name.
TEST(HostileDownloadNames, AreSavedAsSafeFileNames)
{
  if (std::getenv("DISPLAY") == nullptr)
    GTEST_SKIP() << "needs a display (the test command provides one)";
  TInstall install(CORVALA_LAUNCHER);
  const std::vector<std::string> safe = {
      "two_lines.txt", "carriage_return.txt", "tab_here.txt", "_]0;owned__[2Jclear.txt",     "del_.txt",
      "c1__.txt",      "invoice_txt.exe",     "up.txt",       std::string(251, 'a') + ".txt"};
  std::ofstream(install.Path("www/name.php"))
      << "<?php $names = [\"two\\nlines.txt\", \"carriage\\rreturn.txt\", \"tab\\there.txt\",\n"
         "  \"\\e]0;owned\\x07\\e[2Jclear.txt\", \"del\\x7f.txt\", \"c1\\u{85}\\u{9b}.txt\",\n"
         "  \"invoice\\u{202E}txt.exe\", '../../up.txt', str_repeat('a', 300) . '.txt'];\n"
         "$index = (int) $_GET['n'];\n"
         "header('Content-Type: application/octet-stream');\n"
         "header(\"Content-Disposition: attachment; filename*=UTF-8''\" . rawurlencode($names[$index]));\n"
         "echo \"file $index\";\n";
  // Every download from a frame of its own, all at once.
  WriteFirstPage(install, "<html><head><title>Names</title></head><body><script>onload = function () {"
                          "  for (let n = 0; n < " +
                              std::to_string(safe.size()) +
                              "; ++n) { const frame = document.createElement('iframe');"
                              "    frame.src = '/name.php?n=' + n; document.body.append(frame); } };"
                              "</script></body></html>");
  const fs::path home = fs::path(install.Root()) / "home";
  const fs::path downloads = home / "saved files";
  fs::create_directories(home / ".config");
  std::ofstream(home / ".config/user-dirs.dirs") << "XDG_DOWNLOAD_DIR=\"" << downloads.string() << "\"\n";
  ASSERT_EQ(StartAsUser(install.Program(), {{"XDG_CONFIG_HOME", (home / ".config").string()}}), 0);

  const auto saved = [&] {
    std::vector<std::string> names;
    if (fs::exists(downloads))
      for (const auto &entry : fs::directory_iterator(downloads))
        if (entry.path().extension() != ".part" && entry.path().extension() != ".download")
          names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  // Each Save As dialog is answered with Enter, which takes the name it proposes; again a second
  // later when a dialog just shown missed the key.
  std::map<std::string, std::chrono::steady_clock::time_point> answered;
  size_t mostShown = 0;
  EXPECT_TRUE(WaitUntil(
      [&] {
        std::istringstream ids(Shell("xdotool search --onlyvisible --name '^Save As' 2>/dev/null"));
        size_t shown = 0;
        for (std::string dialog; std::getline(ids, dialog);) {
          if (dialog.empty())
            continue;
          ++shown;
          const auto now = std::chrono::steady_clock::now();
          if (auto last = answered.find(dialog); last == answered.end() || now - last->second > 1s) {
            answered[dialog] = now;
            ActivateWindow(dialog);
            PressKeys("Return");
          }
        }
        mostShown = std::max(mostShown, shown);
        return saved().size() == safe.size();
      },
      120s, "every file saved"));
  SaveScreenshot(CORVALA_SCREENSHOTS, "hostile-download-names.png");
  std::vector<std::string> expected = safe;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(saved(), expected);
  EXPECT_EQ(mostShown, 1u);
  std::ifstream first(downloads / "two_lines.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(first), {}), "file 0");

  for (const pid_t launcher : InstancesOf(install.Program()))
    kill(launcher, SIGTERM);
  EXPECT_TRUE(WaitUntil(
      [&] { return InstancesOf(install.Program()).empty() && ProcessesBelow(install.Root()).empty(); }, 20s,
      "the launcher and its servers to end"));
}
