#include "stack/PrivateMode.h"
#include "stack/ApacheConfig.h"
#include "stack/SiteKeyRules.h"

#include "support/TestSupport.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace Corvala;
using namespace TestSupport;

TEST(PrivateMode, OnOnlyForOneSoAMissingKeyKeepsTheOpenDefault)
{
  EXPECT_TRUE(IsPrivateModeOn("1"));
  for (const char *value : {"", "0", "yes", " 1", "true"})
    EXPECT_FALSE(IsPrivateModeOn(value)) << value;
}

TEST(PrivateMode, KeysAreFreshHexadecimalNumbers)
{
  const std::string first = NewRandomKey();
  EXPECT_EQ(first.size(), 32u);
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(first, NewRandomKey());
}

// The password lives with the user's configuration (which survives a log-out), per installation.
TEST(PrivateMode, RootPasswordIsMadeOnceAndKeptPrivate)
{
  TScratchFolder root;
  const char *saved = std::getenv("XDG_CONFIG_HOME");
  const std::string before = saved != nullptr ? saved : "";
  setenv("XDG_CONFIG_HOME", root.File("config").c_str(), 1);
  const std::string path = MySqlRootPasswordPath("/opt/stack/corvala");
  EXPECT_EQ(path.rfind(root.File("config/corvala/"), 0), 0u) << path;
  EXPECT_NE(path, MySqlRootPasswordPath("/opt/other/corvala"));

  const std::string password = ReadOrCreateMySqlRootPassword(path);
  EXPECT_EQ(password.size(), 32u);
  EXPECT_EQ(ReadOrCreateMySqlRootPassword(path), password);
  struct stat st {
  };
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  for (const std::string &folder : {root.File("config/corvala"), path.substr(0, path.rfind('/'))}) {
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
  }
  // An emptied file gets a new password; a folder others could enter is made private again.
  root.Write(path.substr(root.Path().string().size() + 1), "");
  chmod(root.File("config/corvala").c_str(), 0755);
  EXPECT_NE(ReadOrCreateMySqlRootPassword(path), password);
  ASSERT_EQ(stat(root.File("config/corvala").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  if (saved != nullptr)
    setenv("XDG_CONFIG_HOME", before.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

TEST(PrivateMode, ApacheWantsTheKeyOnlyWhenOneIsSet)
{
  TStackSetup setup;
  setup.appPath = "/opt/s/";
  setup.binFolder = "/opt/s/bin";
  setup.workFolder = "/tmp/w";
  setup.ip = "127.0.0.1";
  setup.apachePort = 8080;
  const std::string open = ApacheConfigText(setup);
  EXPECT_EQ(open.find("corvala_key"), std::string::npos);
  setup.siteKey = "0123456789abcdef0123456789abcdef";
  const std::string rules = SiteKeyRules(setup.siteKey, setup.workFolder);
  EXPECT_EQ(ApacheConfigText(setup), open + rules);
  EXPECT_NE(rules.find("RewriteRule ^ - [F]"), std::string::npos);
  // The program's path is grouped by quotes, as Apache splits its command line.
  EXPECT_NE(SiteKeyRules(setup.siteKey, "/tmp/a b")
                .find("RewriteMap corvala_peer \"prg:/bin/sh \\\"/tmp/a b/server-peer.sh\\\"\""),
            std::string::npos);
  EXPECT_NE(rules.find("Set-Cookie \"corvala_key=" + setup.siteKey + "; Path=/; HttpOnly; SameSite=Strict\""),
            std::string::npos);
  // The landing page's path is a rewrite target, where "$" and "%" would be references.
  EXPECT_NE(SiteKeyRules(setup.siteKey, "/tmp/100% $1")
                .find("RewriteRule ^ \"/tmp/100\\\\% \\\\$1/site-key-landing.html\""),
            std::string::npos)
      << SiteKeyRules(setup.siteKey, "/tmp/100% $1");
  EXPECT_THROW(SiteKeyRules("0123 \" x", "/tmp/w"), std::runtime_error);
}

namespace
{
// A loopback listener on a port of the system's choice.
int Listen(int &port)
{
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(fd, 5) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
    return -1;
  port = ntohs(address.sin_port);
  return fd;
}

// Accepts the next connection and gives the client's port.
int AcceptedClientPort(int listener, int &connection)
{
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  connection = accept4(listener, reinterpret_cast<sockaddr *>(&peer), &length, SOCK_CLOEXEC);
  return connection < 0 ? -1 : ntohs(peer.sin_port);
}
} // namespace

// The real script over the kernel's tables, started by this process as Apache starts it: a client
// that is this process's child running the server's program is the server's own; the same program
// started by another process is not, nor is this process's own connection or a port nobody uses.
TEST(ServerPeerScript, KnowsTheServersOwnWorkersByParentAndProgram)
{
  const std::string program = "/usr/bin/curl";
  if (access(program.c_str(), X_OK) != 0)
    GTEST_SKIP() << "curl is not installed";
  TScratchFolder root;
  int port = 0;
  const int listener = Listen(port);
  ASSERT_GE(listener, 0);
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
  const char *arguments[] = {"curl", "-s", "-m", "60", url.c_str(), nullptr};
  pid_t client = 0;
  ASSERT_EQ(posix_spawn(&client, program.c_str(), nullptr, nullptr, const_cast<char **>(arguments), environ),
            0);
  int childConnection = -1;
  const int childPort = AcceptedClientPort(listener, childConnection);
  // The same program, as another account's process would run it: a shell's child, not ours.
  const std::string strangerCommand = "curl -s -m 60 " + url + "; true";
  const char *strangerArguments[] = {"sh", "-c", strangerCommand.c_str(), nullptr};
  pid_t stranger = 0;
  ASSERT_EQ(
      posix_spawn(&stranger, "/bin/sh", nullptr, nullptr, const_cast<char **>(strangerArguments), environ),
      0);
  int strangerConnection = -1;
  const int strangerPort = AcceptedClientPort(listener, strangerConnection);
  const int own = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  ASSERT_EQ(connect(own, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  int ownConnection = -1;
  const int ownPort = AcceptedClientPort(listener, ownConnection);
  ASSERT_GT(childPort, 0);
  ASSERT_GT(strangerPort, 0);
  ASSERT_GT(ownPort, 0);

  const std::string script = root.File("server-peer.sh");
  std::ofstream(script) << ServerPeerScript(program, port);
  const std::string questions = std::to_string(childPort) + "\n" + std::to_string(strangerPort) + "\n" +
                                std::to_string(ownPort) + "\n1\nx\n";
  root.Write("questions", questions);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, root.File("questions").c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, root.File("answers").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  const char *scriptArguments[] = {"sh", script.c_str(), nullptr};
  pid_t asker = 0;
  ASSERT_EQ(posix_spawn(&asker, "/bin/sh", &files, nullptr, const_cast<char **>(scriptArguments), environ),
            0);
  posix_spawn_file_actions_destroy(&files);
  int status = 0;
  ASSERT_EQ(waitpid(asker, &status, 0), asker);
  EXPECT_EQ(ReadBytes(root.File("answers")), "server\nnone\nnone\nnone\nnone\n");

  kill(stranger, SIGTERM);
  waitpid(stranger, nullptr, 0);
  kill(client, SIGTERM);
  waitpid(client, nullptr, 0);
  for (const int fd : {childConnection, strangerConnection, ownConnection, own, listener})
    close(fd);
}
