// The developer's tools a running stack offers: Xdebug, which Server Settings turns on, reaching a
// debugger on 127.0.0.1:9003 from a page of the real Apache and from the terminal's PHP; and
// Composer in the terminal, carried in the tree with everything it loads.
#include "E2eSupport.h"
#include "StackTerminalRun.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

// The port the stack's php.ini names for the debugger.
constexpr int DebuggerPort = 9003;

// A debugger's listening socket on 127.0.0.1:9003, as an IDE opens it.
class TDebuggerListener
{
public:
  TDebuggerListener()
  {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(DebuggerPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(fd_, 4) != 0)
      error_ = "cannot listen on 127.0.0.1:9003 (" + std::string(std::strerror(errno)) +
               "): another program holds the debugger's port; end it and run the test again";
  }
  ~TDebuggerListener() { close(fd_); }
  TDebuggerListener(const TDebuggerListener &) = delete;
  TDebuggerListener &operator=(const TDebuggerListener &) = delete;

  const std::string &Error() const { return error_; }

  // True when a connection waits to be accepted, without waiting for one.
  bool ConnectionPending() const
  {
    pollfd ready{fd_, POLLIN, 0};
    return poll(&ready, 1, 0) == 1;
  }

  // Accepts the next connection and reads Xdebug's first DBGp packet ("<length>\0<xml>\0"); closes
  // the connection, which lets the script run on. Gives the packet's XML (empty when none came
  // within the time limit).
  std::string AcceptInitPacket() const
  {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, 60000) != 1)
      return {};
    const int connection = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    timeval timeout{60, 0};
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string data;
    char chunk[4096];
    ssize_t count = 0;
    // Complete once the length, its NUL, the XML and the closing NUL are in.
    while (std::count(data.begin(), data.end(), '\0') < 2 &&
           (count = recv(connection, chunk, sizeof chunk, 0)) > 0)
      data.append(chunk, static_cast<size_t>(count));
    close(connection);
    const size_t start = data.find('\0');
    if (start == std::string::npos || std::count(data.begin(), data.end(), '\0') < 2)
      return {};
    return data.substr(start + 1, data.find('\0', start + 1) - start - 1);
  }

private:
  int fd_ = -1;
  std::string error_;
};

// The value of an XML attribute of the packet.
std::string Attribute(const std::string &xml, const std::string &name)
{
  const size_t start = xml.find(" " + name + "=\"");
  if (start == std::string::npos)
    return {};
  const size_t value = start + name.size() + 3;
  return xml.substr(value, xml.find('"', value) - value);
}

// A file URI as Xdebug writes it: "file://" and the path with its blanks escaped.
std::string FileUri(const std::string &path)
{
  std::string uri = "file://";
  for (const char c : path)
    uri += c == ' ' ? std::string("%20") : std::string(1, c);
  return uri;
}

// Writes a file of the site, with the folders it needs.
void WriteSiteFile(const std::string &path, const std::string &text)
{
  fs::create_directories(fs::path(path).parent_path());
  TestSupport::WriteBytes(path, text);
}

class DeveloperTools : public ::testing::Test
{
protected:
  void Start(bool xdebug)
  {
    install.SetConfig("[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=24080\r\nip=127.0.0.1\r\n"
                      "copyfilestoharddisk=0\r\nbrand=0\r\nxdebug=" +
                      std::string(xdebug ? "1" : "0") + "\r\n");
    launcher = std::make_unique<TLauncher>(install.Program());
    ASSERT_TRUE(launcher->WaitReady()) << launcher->LastLine();
    work = launcher->Value("work");
    apachePort = launcher->IntValue("apache_port");
    mySqlPort = launcher->IntValue("mysql_port");
  }

  void TearDown() override
  {
    if (launcher) {
      EXPECT_EQ(launcher->Stop(), 0);
    }
  }

  std::string InTerminal(const std::string &commands) const
  {
    return InStackTerminal(install, work, mySqlPort, commands);
  }

  // The page of the site at Path, requested while the debugger listens; gives the page and the
  // init packet Xdebug sent (empty when it sent none).
  std::pair<THttpReply, std::string> RequestWhileDebugging(const TDebuggerListener &listener,
                                                           const std::string &path) const
  {
    auto page = std::async(std::launch::async, [&] { return HttpGet(apachePort, path); });
    std::string packet;
    // A triggered request waits for the debugger before it runs: its connection comes before the
    // reply. Without one the reply comes, and no connection waits then.
    while (packet.empty() && page.wait_for(20ms) != std::future_status::ready)
      if (listener.ConnectionPending())
        packet = listener.AcceptInitPacket();
    const THttpReply reply = page.get();
    if (packet.empty() && listener.ConnectionPending())
      packet = listener.AcceptInitPacket();
    return {reply, packet};
  }

  TInstall install;
  std::unique_ptr<TLauncher> launcher;
  std::string work;
  int apachePort = 0;
  int mySqlPort = 0;
};

constexpr char DebugPage[] =
    "<?php echo extension_loaded('xdebug') ? 'xdebug ' . ini_get('xdebug.mode') : 'none';";

} // namespace

// On, a page asked with the trigger connects to the debugger and names its own file; one asked
// without it runs undisturbed, and the terminal's PHP carries the same debugger.
TEST_F(DeveloperTools, TheDebuggerOnConnectsATriggeredPageToTheListener)
{
  const TDebuggerListener listener;
  ASSERT_EQ(listener.Error(), "");
  TestSupport::WriteBytes(install.Path("www/debug me.php"), DebugPage);
  ASSERT_NO_FATAL_FAILURE(Start(true));

  const auto [plain, none] = RequestWhileDebugging(listener, "/debug%20me.php");
  EXPECT_EQ(plain.status, 200);
  EXPECT_EQ(plain.body, "xdebug debug");
  EXPECT_EQ(none, "") << "a request without the trigger reached the debugger";

  const auto [triggered, packet] = RequestWhileDebugging(listener, "/debug%20me.php?XDEBUG_TRIGGER=1");
  EXPECT_EQ(triggered.status, 200);
  EXPECT_EQ(triggered.body, "xdebug debug");
  ASSERT_NE(packet, "") << "no init packet reached 127.0.0.1:9003";
  EXPECT_NE(packet.find("<init "), std::string::npos) << packet;
  EXPECT_EQ(Attribute(packet, "fileuri"), FileUri(fs::canonical(install.Path("www/debug me.php")))) << packet;
  EXPECT_EQ(Attribute(packet, "language"), "PHP") << packet;

  const std::string text = InTerminal("  echo \"cli=$(php -r \"echo ini_get('xdebug.mode'), ' ', "
                                      "ini_get('xdebug.client_port');\" 2>&1)\"\n");
  EXPECT_NE(text.find("\ncli=debug 9003\n"), std::string::npos) << text;
}

// Off (the default), PHP has no debugger: the trigger connects nothing, and php.ini names none.
TEST_F(DeveloperTools, TheDebuggerOffLoadsNothingAndNothingConnects)
{
  const TDebuggerListener listener;
  ASSERT_EQ(listener.Error(), "");
  TestSupport::WriteBytes(install.Path("www/debug.php"), DebugPage);
  ASSERT_NO_FATAL_FAILURE(Start(false));

  const auto [page, packet] = RequestWhileDebugging(listener, "/debug.php?XDEBUG_TRIGGER=1");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body, "none");
  EXPECT_EQ(packet, "");
  EXPECT_EQ(TestSupport::ReadBytes(work + "/php.ini").find("xdebug"), std::string::npos);
}

// Composer runs in the terminal on the tree's PHP; a project whose library comes from a local path
// repository installs without the network, and its page, served by the stack, uses the library.
TEST_F(DeveloperTools, ComposerInstallsAProjectWhosePageTheSiteServes)
{
  WriteSiteFile(install.Path("www/greeting/composer.json"),
                R"({"name": "corvala/greeting", "version": "1.0.0",
 "autoload": {"psr-4": {"Greeting\\": "src/"}}})");
  WriteSiteFile(install.Path("www/greeting/src/Hello.php"),
                "<?php\nnamespace Greeting;\nfinal class Hello {\n"
                "  public static function to(string $name): string { return \"Hello, $name\"; }\n}\n");
  WriteSiteFile(install.Path("www/shop/composer.json"),
                R"({"require": {"corvala/greeting": "*"},
 "repositories": [{"type": "path", "url": "../greeting"}, {"packagist.org": false}]})");
  WriteSiteFile(install.Path("www/shop/index.php"),
                "<?php\nrequire __DIR__ . '/vendor/autoload.php';\necho Greeting\\Hello::to('Corvala');\n");
  ASSERT_NO_FATAL_FAILURE(Start(false));

  TestSupport::TScratchFolder home;
  const std::string text =
      InTerminal("  echo \"which=$(command -v composer)\"\n"
                 "  echo \"version=$(composer --version 2>/dev/null)\"\n"
                 "  cd shop && COMPOSER_HOME=" +
                 Quoted(home.File("composer")) +
                 " composer install --no-interaction --no-progress 2>&1 | sed 's/^/install: /'\n");
  EXPECT_NE(text.find("\nwhich=" + install.Path("bin/php/composer") + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nversion=Composer version 2."), std::string::npos) << text;
  ASSERT_TRUE(fs::exists(install.Path("www/shop/vendor/autoload.php"))) << text;

  const THttpReply page = HttpGet(apachePort, "/shop/index.php");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body, "Hello, Corvala");
}

// The tree's Composer reads nothing of the host's /usr/share/php: PHP, allowed only the tree and
// the project, still installs.
TEST(TreeComposer, InstallsWithoutTheHostsPhpLibraries)
{
  TestSupport::TScratchFolder project;
  project.Write("lib/composer.json",
                R"({"name": "corvala/lib", "version": "1.0.0", "autoload": {"classmap": ["src/"]}})");
  project.Write("lib/src/Lib.php", "<?php\nfinal class Lib {}\n");
  project.Write("app/composer.json", R"({"require": {"corvala/lib": "*"},
 "repositories": [{"type": "path", "url": "../lib"}, {"packagist.org": false}]})");
  const std::string tree = CORVALA_STACK_TREE;
  const std::string allowed = tree + ":" + project.Path().string();
  const std::string output = Shell(
      "cd " + Quoted(project.File("app")) + " && COMPOSER_HOME=" + Quoted(project.File("home")) +
      " TMPDIR=" + Quoted(project.Path().string()) + " " + Quoted(tree + "/bin/php/php") +
      " -d open_basedir=" + Quoted(allowed) + " -d sys_temp_dir=" + Quoted(project.Path().string()) + " " +
      Quoted(tree + "/bin/composer/bin/composer") + " install --no-interaction --no-progress 2>&1");
  EXPECT_EQ(output.find("open_basedir"), std::string::npos) << output;
  EXPECT_TRUE(fs::exists(project.File("app/vendor/composer/autoload_classmap.php"))) << output;
  EXPECT_NE(TestSupport::ReadBytes(project.File("app/vendor/composer/autoload_classmap.php")).find("'Lib'"),
            std::string::npos);
}
