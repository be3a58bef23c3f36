#include "E2eSupport.h"
#include "StackTerminalRun.h"
#include "stack/StackTerminal.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;

// The stack's command line on a running stack: PHP's interpreter and MariaDB's client and dump tool
// from the tree, and the terminal the launcher opens for them.
namespace
{

class StackCommandLine : public ::testing::Test
{
protected:
  void SetUp() override
  {
    install.SetConfig("[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=23080\r\nip=127.0.0.1\r\n"
                      "copyfilestoharddisk=0\r\nbrand=0\r\nprivatemode=" +
                      std::string(PrivateMode() ? "1" : "0") + "\r\n");
    StartLauncher();
  }

  void StartLauncher()
  {
    launcher = std::make_unique<TLauncher>(install.Program());
    ASSERT_TRUE(launcher->WaitReady()) << launcher->LastLine();
    work = launcher->Value("work");
    port = launcher->IntValue("mysql_port");
    ASSERT_GT(port, 0);
  }

  virtual bool PrivateMode() const { return false; }

  std::string InTerminal(const std::string &commands) const
  {
    return InStackTerminal(install, work, port, commands);
  }

  void TearDown() override
  {
    if (launcher) {
      EXPECT_EQ(launcher->Stop(), 0);
    }
  }

  // The interpreter with the stack's php.ini, as the launcher's terminal runs it.
  std::string Php(const std::string &script) const
  {
    return Shell("PHPRC=" + Quoted(work) + " PHP_INI_SCAN_DIR= " + Quoted(install.Path("bin/php/php")) +
                 " -r " + Quoted(script) + " 2>&1");
  }

  // One of the tree's MariaDB tools on this stack's port, with its arguments (already shell words).
  std::string Client(const std::string &tool, const std::string &arguments) const
  {
    return Shell(Quoted(install.Path("bin/mysql/bin/" + tool)) + " -h 127.0.0.1 -P " + std::to_string(port) +
                 " -u root " + arguments + " 2>&1");
  }

  TInstall install;
  std::unique_ptr<TLauncher> launcher;
  std::string work;
  int port = 0;
};

} // namespace

// The interpreter reads the php.ini the launcher wrote (nothing of the host's), loads what Apache's
// PHP loads, and its mysqli reaches the stack's MySQL with no port given.
TEST_F(StackCommandLine, PhpReadsTheStacksIniAndReachesItsMySql)
{
  EXPECT_EQ(Php("echo php_ini_loaded_file(), '|', php_ini_scanned_files() === false ? 'none' : 'some';"),
            work + "/php.ini|none");
  EXPECT_EQ(Php("$db = mysqli_connect('127.0.0.1', 'root', '');"
                "echo $db->query('SELECT @@port')->fetch_row()[0];"),
            std::to_string(port));

  // Each side has one of its own: Apache's interface to PHP, and pcntl, built into the command line.
  const std::string list = "$e = array_diff(get_loaded_extensions(), ['apache2handler', 'pcntl']); sort($e);"
                           "echo implode(',', $e);";
  TestSupport::WriteBytes(install.Path("www/extensions.php"), "<?php " + list);
  const THttpReply page = HttpGet(launcher->IntValue("apache_port"), "/extensions.php");
  ASSERT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("mysqli"), std::string::npos) << page.body;
  EXPECT_EQ(Php(list), page.body) << "the command line loads other extensions than the site";
}

// A database dumped with the tree's dump tool restores into another database with the same rows,
// quotes, backslashes and NULLs included.
TEST_F(StackCommandLine, ADumpRestoresIntoAnotherDatabaseWithTheSameRows)
{
  const std::string create =
      "CREATE DATABASE shop; CREATE TABLE shop.items (id INT PRIMARY KEY, name VARCHAR(40), note TEXT);"
      "INSERT INTO shop.items SELECT i, CONCAT('it''s item ', i), IF(i % 7 = 0, NULL, CONCAT('back\\\\slash "
      "', i))"
      " FROM (WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) SELECT i FROM n) "
      "AS s;";
  ASSERT_EQ(Client("mariadb", "-e " + Quoted(create)), "");
  TestSupport::TScratchFolder scratch;
  const std::string dump = scratch.File("shop.sql");
  ASSERT_EQ(Client("mariadb-dump", "shop --result-file=" + Quoted(dump)), "");
  ASSERT_EQ(Client("mariadb", "-e 'CREATE DATABASE copy'"), "");
  ASSERT_EQ(Client("mariadb", "copy < " + Quoted(dump)), "");

  const std::string rows =
      "SELECT COUNT(*), SUM(note IS NULL) FROM %s.items; SELECT * FROM %s.items ORDER BY id";
  const auto select = [&](const std::string &database) {
    std::string query = rows;
    for (size_t at = query.find("%s"); at != std::string::npos; at = query.find("%s"))
      query.replace(at, 2, database);
    return Client("mariadb", "-B -N -e " + Quoted(query));
  };
  const std::string original = select("shop");
  EXPECT_EQ(original.substr(0, original.find('\n')), "500\t71");
  EXPECT_NE(original.find("it's item 14\tNULL"), std::string::npos);
  EXPECT_EQ(select("copy"), original);
}

// The tools of the terminal reach this stack with no options at all, and text typed into the client
// keeps its emoji.
TEST_F(StackCommandLine, TheTerminalRunsInTheSiteWithToolsThatReachThisStack)
{
  const std::string text = InTerminal(
      "  echo \"which=$(command -v php) $(command -v mariadb) $(command -v mariadb-dump)\"\n"
      "  echo \"php=$(php -r 'echo mysqli_connect(\"127.0.0.1\", \"root\", \"\")->query(\"SELECT "
      "@@port\")->fetch_row()[0];' 2>&1)\"\n"
      "  echo \"client=$(mariadb -N -e 'SELECT @@port, CURRENT_USER()' 2>&1)\"\n"
      "  echo \"emoji=$(mariadb -N -e \"SELECT HEX('\xF0\x9F\x98\x80'), @@character_set_client\" 2>&1)\"\n"
      "  echo \"dump=$(mariadb-dump --no-data mysql db 2>&1 | grep -c 'CREATE TABLE `db`')\"\n");
  const auto has = [&](const std::string &line) {
    return text.find("\n" + line + "\n") != std::string::npos;
  };
  EXPECT_EQ(text.substr(0, text.find('\n')), "cwd=" + install.Path("www"));
  EXPECT_TRUE(has("PHPRC=" + work)) << text;
  EXPECT_TRUE(has("PHP_INI_SCAN_DIR=")) << text;
  EXPECT_TRUE(has("MYSQL_UNIX_PORT=" + work + "/mysql.sock")) << text;
  EXPECT_TRUE(has("emoji=F09F9880\tutf8mb4")) << text;
  EXPECT_TRUE(has("which=" + install.Path("bin/php/php") + " " + install.Path("bin/mysql/bin/mariadb") + " " +
                  install.Path("bin/mysql/bin/mariadb-dump")))
      << text;
  EXPECT_TRUE(has("php=" + std::to_string(port))) << text;
  EXPECT_TRUE(has("client=" + std::to_string(port) + "\troot@localhost")) << text;
  EXPECT_TRUE(has("dump=1")) << text;
  const struct stat options = [&] {
    struct stat info {
    };
    stat((work + "/terminal/my.cnf").c_str(), &info);
    return info;
  }();
  EXPECT_EQ(options.st_mode & 0777, 0600U) << "the client options are private";
}

// Run by root, the launcher's work folder is root's alone: another account's PHP given its PHPRC
// says why it runs without the servers' settings, and works on the stack's own php.ini.
TEST_F(StackCommandLine, AnotherAccountsPhpIsToldWhyItCannotUseTheWorkFolder)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another account";
  const std::string output =
      Shell("cd / && setpriv --reuid=65534 --regid=65534 --clear-groups env -i PHPRC=" + Quoted(work) + " " +
            Quoted(install.Path("bin/php/php")) + " -r " +
            Quoted("echo class_exists('PDO') ? 'PDO' : 'no PDO', '|', php_ini_loaded_file();") + " 2>&1");
  EXPECT_TRUE(output.starts_with("php: " + work +
                                 "/php.ini (named by PHPRC) cannot be read by this account: a "
                                 "launcher's work folder belongs to the account that started it"))
      << output;
  EXPECT_TRUE(output.ends_with("\nPDO|" + install.Path("bin/php/php.ini"))) << output;
}

// A terminal left open while the launcher starts again (after new settings or a down-size) keeps
// reaching the stack: the new start writes its client options at the same place.
TEST_F(StackCommandLine, ATerminalLeftOpenReachesTheStackAfterTheLauncherStartsAgain)
{
  const std::string client = "MARIADB_HOME=" + Quoted(work + "/terminal") +
                             " MYSQL_HOME=" + Quoted(work + "/terminal") + " " +
                             Quoted(install.Path("bin/mysql/bin/mariadb")) + " -N -e 'SELECT @@port' 2>&1";
  ASSERT_EQ(Shell(client), std::to_string(port) + "\n");
  const std::string before = work;
  EXPECT_EQ(launcher->Stop(), 0);
  launcher.reset();
  ASSERT_FALSE(fs::exists(before + "/terminal/my.cnf"));
  StartLauncher();
  ASSERT_EQ(work, before);
  EXPECT_EQ(Shell(client), std::to_string(port) + "\n");
}

// "Only my account": root over TCP needs a password, so the terminal's tools go through the
// server's socket, which only this account reaches, and PHP's default socket is the server's.
class PrivateStackCommandLine : public StackCommandLine
{
protected:
  bool PrivateMode() const override { return true; }
};

TEST_F(PrivateStackCommandLine, TheTerminalsToolsReachTheStackThroughItsSocket)
{
  const std::string text =
      InTerminal("  echo \"client=$(mariadb -N -e 'SELECT CURRENT_USER()' 2>&1)\"\n"
                 "  echo \"dump=$(mariadb-dump --no-data mysql db 2>&1 | grep -c 'CREATE TABLE `db`')\"\n"
                 "  echo \"php=$(php -r 'echo mysqli_connect(\"localhost\", \"root\", \"\")->query(\"SELECT "
                 "CURRENT_USER()\")->fetch_row()[0];' 2>&1)\"\n"
                 "  echo \"tcp=$(mariadb -h 127.0.0.1 --protocol=tcp -N -e 'SELECT 1' 2>&1 | grep -c "
                 "'Access denied')\"\n");
  const auto has = [&](const std::string &line) {
    return text.find("\n" + line + "\n") != std::string::npos;
  };
  EXPECT_TRUE(has("client=root@localhost")) << text;
  EXPECT_TRUE(has("dump=1")) << text;
  EXPECT_TRUE(has("php=root@localhost")) << text;
  EXPECT_TRUE(has("tcp=1")) << text;
}

// Without x-terminal-emulator the terminal is $TERMINAL; without either the message says what to do.
TEST(StackTerminal, FallsBackToTheUsersTerminalElseSaysWhatIsMissing)
{
  TestSupport::TScratchFolder scratch;
  const std::string mine = scratch.Write("bin/my-term", "#!/bin/sh\n");
  chmod(mine.c_str(), 0755);
  const TestSupport::TEnvOverride path("PATH", scratch.File("bin"));
  {
    const TestSupport::TEnvOverride chosen("TERMINAL", "my-term");
    EXPECT_EQ(Corvala::FindTerminalProgram(), mine);
  }
  {
    const TestSupport::TEnvOverride chosen("TERMINAL", scratch.File("missing"));
    EXPECT_THROW(Corvala::FindTerminalProgram(), std::runtime_error);
  }
  const TestSupport::TEnvOverride none("TERMINAL", std::nullopt);
  try {
    Corvala::FindTerminalProgram();
    ADD_FAILURE() << "no terminal was found, yet none was reported";
  } catch (const std::runtime_error &error) {
    EXPECT_NE(std::string(error.what()).find("x-terminal-emulator"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("TERMINAL"), std::string::npos) << error.what();
  }

  // A folder holding ':' cannot be named in PATH: refused before any terminal starts.
  const TestSupport::TEnvOverride chosen("TERMINAL", mine);
  Corvala::TStackState state;
  state.WorkFolder = scratch.File("work");
  EXPECT_THROW(Corvala::OpenStackTerminal(scratch.File("a:b/"), state), std::runtime_error);
}
