// The database server the stack starts: InnoDB as its transactional default engine, utf8mb4 as its
// character set, a data folder made before either (Aria only) brought up to date, and the old server
// when Config.ini asks for it. Statements run through PHP's mysqli on a page Apache serves.
#include "E2eSupport.h"

#include <atomic>
#include <cctype>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

using TLines = std::vector<std::string>;

std::string ConfigText(int port, const std::string &extra = {})
{
  return "[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=" + std::to_string(port) +
         "\r\nip=127.0.0.1\r\ncopyfilestoharddisk=0\r\nbrand=0" + extra;
}

std::string UrlEncoded(const std::string &text)
{
  static const char hex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += hex[c >> 4];
      encoded += hex[c & 15];
    }
  }
  return encoded;
}

// A data folder as the stack kit made it before InnoDB was the server's engine: the system tables in
// Aria, none of InnoDB's files. mariadb-install-db does not quote its paths, so it works in a
// folder without blanks.
void MakeAriaOnlyDataFolder(const TInstall &install)
{
  char pattern[] = "/tmp/corvala-aria-data-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string scratch = pattern;
  fs::create_symlink(install.Path("bin/mysql/bin/mysqld"), scratch + "/mysqld");
  const std::string command = "MYSQLD_BOOTSTRAP=" + scratch +
                              "/mysqld mariadb-install-db --no-defaults --skip-test-db --skip-name-resolve "
                              "--cross-bootstrap --skip-innodb --default-storage-engine=Aria "
                              "--auth-root-authentication-method=normal " +
                              (geteuid() == 0 ? "--user=root " : "") + "--datadir=" + scratch + "/data >" +
                              scratch + "/log 2>&1 && echo made";
  const std::string made = Shell(command);
  ASSERT_EQ(made, "made\n") << Shell("cat " + Quoted(scratch + "/log"));
  fs::remove_all(install.Path("data"));
  Shell("cp -a " + Quoted(scratch + "/data") + " " + Quoted(install.Path("data")));
  fs::remove_all(scratch);
  ASSERT_FALSE(fs::exists(install.Path("data/ibdata1")));
  ASSERT_FALSE(fs::exists(install.Path("data/mysql/innodb_table_stats.frm")));
}

class DatabaseServer : public ::testing::Test
{
protected:
  void SetUp() override
  {
    port = FreePort();
    ASSERT_NE(port, 0);
    install.SetConfig(ConfigText(port));
    fs::copy_file(CORVALA_SOURCE_DIR "/tests/e2e/pages/sql.php", install.Path("www/sql.php"));
  }

  // The page's lines for the statements, run in order on one connection.
  TLines Sql(const TLauncher &launcher, const TLines &statements) const
  {
    std::string query;
    for (const std::string &statement : statements)
      query += (query.empty() ? "?" : "&") + std::string("q%5B%5D=") + UrlEncoded(statement);
    const THttpReply reply = HttpGet(launcher.IntValue("apache_port"), "/sql.php" + query);
    EXPECT_EQ(reply.status, 200) << reply.body;
    TLines lines;
    std::istringstream body(reply.body);
    for (std::string line; std::getline(body, line);)
      lines.push_back(line);
    return lines;
  }

  TInstall install;
  int port = 0;
};

} // namespace

TEST_F(DatabaseServer, InnoDbIsTheTransactionalDefaultEngine)
{
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  // Applications name their engine, and the server substitutes none.
  EXPECT_EQ(
      Sql(launcher, {"CREATE DATABASE shop", "CREATE TABLE shop.customers (id INT PRIMARY KEY) ENGINE=InnoDB",
                     "INSERT INTO shop.customers VALUES (1)",
                     "CREATE TABLE shop.orders (id INT PRIMARY KEY, customer INT NOT NULL, "
                     "FOREIGN KEY (customer) REFERENCES shop.customers (id))",
                     "SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'shop' ORDER BY "
                     "TABLE_NAME"}),
      (TLines{"ok", "ok", "ok", "ok", "ok", "row InnoDB", "row InnoDB"}));
  // A rollback on the default engine takes the row back, with no warning that it could not.
  EXPECT_EQ(Sql(launcher, {"START TRANSACTION", "INSERT INTO shop.orders VALUES (1, 1)", "ROLLBACK",
                           "SHOW WARNINGS", "SELECT COUNT(*) FROM shop.orders"}),
            (TLines{"ok", "ok", "ok", "ok", "ok", "row 0"}));
  // The foreign key holds: an order of no customer is refused (1452), one of a customer taken.
  EXPECT_EQ(Sql(launcher, {"INSERT INTO shop.orders VALUES (2, 99)", "INSERT INTO shop.orders VALUES (3, 1)",
                           "SELECT id, customer FROM shop.orders"}),
            (TLines{"error 1452", "ok", "ok", "row 3|1"}));
  EXPECT_EQ(
      Sql(launcher, {"SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'mysql' AND "
                     "ENGINE = 'InnoDB' ORDER BY TABLE_NAME"}),
      (TLines{"ok", "row gtid_slave_pos", "row innodb_index_stats", "row innodb_table_stats",
              "row transaction_registry"}));
  EXPECT_EQ(launcher.Stop(), 0);
  // The stop's clean-up keeps InnoDB's own files.
  for (const char *file : {"ibdata1", "ib_logfile0", "ib_buffer_pool"})
    EXPECT_TRUE(fs::exists(install.Path("data/") + file)) << file;

  TLauncher again(install.Program());
  ASSERT_TRUE(again.WaitReady()) << again.LastLine();
  EXPECT_EQ(Sql(again, {"SELECT id FROM shop.orders"}), (TLines{"ok", "row 3"}));
  EXPECT_EQ(again.Stop(), 0);
}

TEST_F(DatabaseServer, ADatabaseMadeWithoutACharsetTakesAnyText)
{
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  const std::string text = "Gr\xC3\xBC\xC3\x9F"
                           "e \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80";
  EXPECT_EQ(Sql(launcher, {"CREATE DATABASE notes",
                           "CREATE TABLE notes.notes (id INT PRIMARY KEY, body "
                           "VARCHAR(40))",
                           "SELECT DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME FROM "
                           "information_schema.SCHEMATA WHERE SCHEMA_NAME = 'notes'",
                           "INSERT INTO notes.notes VALUES (1, '" + text + "')",
                           "SELECT body, HEX(body) FROM notes.notes"}),
            (TLines{"ok", "ok", "ok", "row utf8mb4|utf8mb4_general_ci", "ok", "ok",
                    "row " + text + "|4772C3BCC39F6520E6BCA2E5AD9720F09F9880"}));
  EXPECT_EQ(launcher.Stop(), 0);
}

// The stack kit made data folders without InnoDB before; such a folder keeps its tables and rows,
// the old server (innodb=0) still runs on it, and the new one brings it up to date.
TEST_F(DatabaseServer, AnAriaOnlyDataFolderKeepsEveryRowAndTakesInnoDbTables)
{
  MakeAriaOnlyDataFolder(install);
  if (HasFatalFailure())
    return;
  install.SetConfig(ConfigText(port, "\r\ninnodb=0"));
  {
    TLauncher old(install.Program());
    ASSERT_TRUE(old.WaitReady()) << old.LastLine();
    const std::string arguments = Shell("tr '\\0' ' ' < /proc/" + old.Value("mysql_pid") + "/cmdline");
    EXPECT_NE(arguments.find(" --skip-innodb "), std::string::npos) << arguments;
    EXPECT_EQ(Sql(old, {"SELECT @@default_storage_engine", "CREATE TABLE test.t (id INT) ENGINE=InnoDB"}),
              (TLines{"ok", "row Aria", "error 1286"}));
    // What an older stack's users made: a latin1 database (the old server's charset) with rows.
    EXPECT_EQ(
        Sql(old, {"CREATE DATABASE blog CHARACTER SET latin1",
                  "CREATE TABLE blog.posts (id INT PRIMARY "
                  "KEY, title VARCHAR(40))",
                  "INSERT INTO blog.posts WITH RECURSIVE n (i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                  "WHERE i < 1000) SELECT i, CONCAT('post ', i) FROM n"}),
        (TLines{"ok", "ok", "ok"}));
    EXPECT_EQ(old.Stop(), 0);
  }

  install.SetConfig(ConfigText(port));
  {
    TLauncher now(install.Program());
    ASSERT_TRUE(now.WaitReady()) << now.LastLine();
    EXPECT_EQ(
        Sql(now, {"SELECT COUNT(*), SUM(id), MAX(title) FROM blog.posts", "CHECK TABLE blog.posts",
                  "SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'blog'",
                  "SELECT DEFAULT_CHARACTER_SET_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME "
                  "= 'blog'"}),
        (TLines{"ok", "row 1000|500500|post 999", "ok", "row blog.posts|check|status|OK", "ok", "row Aria",
                "ok", "row latin1"}));
    EXPECT_EQ(Sql(now, {"SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'mysql' AND "
                        "ENGINE = 'InnoDB' ORDER BY TABLE_NAME"}),
              (TLines{"ok", "row innodb_index_stats", "row innodb_table_stats", "row transaction_registry"}));
    // New InnoDB tables work beside the old ones, their statistics kept where the server keeps them.
    EXPECT_EQ(Sql(now, {"CREATE TABLE blog.comments (id INT PRIMARY KEY, post INT NOT NULL, body TEXT) "
                        "ENGINE=InnoDB",
                        "INSERT INTO blog.comments VALUES (1, 1, 'first')", "ANALYZE TABLE blog.comments",
                        "SELECT n_rows FROM mysql.innodb_table_stats WHERE database_name = 'blog' AND "
                        "table_name = 'comments'"}),
              (TLines{"ok", "ok", "ok", "row blog.comments|analyze|status|OK", "ok", "row 1"}));
    EXPECT_EQ(now.Stop(), 0);
  }

  // Once brought up to date, the next start has nothing to add and loses nothing.
  TLauncher next(install.Program());
  ASSERT_TRUE(next.WaitReady()) << next.LastLine();
  EXPECT_EQ(Sql(next, {"SELECT COUNT(*) FROM blog.posts", "SELECT body FROM blog.comments"}),
            (TLines{"ok", "row 1000", "ok", "row first"}));
  EXPECT_EQ(next.Stop(), 0);
}

namespace
{

long long MonotonicNanoseconds()
{
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

std::string Lowered(std::string text)
{
  for (char &c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

} // namespace

// Apache ends while a distribution's build copies the paused MySQL's data, and the restart is
// answered Yes: Apache comes back at once, MySQL stays paused until the copy is done, and then one
// mysqld runs, on data that is whole in the installation and in the copy.
TEST_F(DatabaseServer, ARestartDuringADataCopyLeavesMySqlPausedUntilTheCopyIsDone)
{
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  ASSERT_EQ(
      Sql(launcher, {"CREATE DATABASE shop", "CREATE TABLE shop.orders (id INT PRIMARY KEY) ENGINE=InnoDB",
                     "INSERT INTO shop.orders VALUES (1), (2), (3)"}),
      (TLines{"ok", "ok", "ok"}));
  const std::string output = install.Path("acme shop");
  ASSERT_TRUE(launcher.Request("build-restart " + output, "copy_clock")) << launcher.LastLine();
  const pid_t apache = launcher.IntValue("apache_pid");
  kill(apache, SIGKILL);
  ASSERT_TRUE(WaitUntil([&] { return !Running(apache); }, 30s, "Apache's parent to end"));
  ASSERT_TRUE(launcher.Request("restart", "restarted")) << launcher.LastLine();
  // The server watch waited for the build; the restart left MySQL paused.
  EXPECT_EQ(launcher.Value("ended_in_copy"), "");
  EXPECT_EQ(launcher.Value("restarted"), "0");
  EXPECT_TRUE(ProcessesBelow(install.Path("bin/mysql")).empty()) << "a mysqld runs on the data being copied";
  EXPECT_EQ(HttpGet(launcher.IntValue("apache_port"), "/index.php").status, 200);

  ASSERT_TRUE(launcher.Request("copy", "built")) << launcher.LastLine();
  EXPECT_EQ(ProcessesBelow(install.Path("bin/mysql")).size(), 1u);
  EXPECT_EQ(Sql(launcher, {"SELECT COUNT(*) FROM shop.orders"}), (TLines{"ok", "row 3"}));
  EXPECT_EQ(launcher.Stop(), 0);

  fs::copy_file(install.Program(), output + "/corvala");
  TLauncher distribution(output + "/corvala");
  ASSERT_TRUE(distribution.WaitReady()) << distribution.LastLine();
  EXPECT_EQ(Sql(distribution, {"SELECT COUNT(*) FROM shop.orders", "CHECK TABLE shop.orders"}),
            (TLines{"ok", "row 3", "ok", "row shop.orders|check|status|OK"}));
  EXPECT_EQ(distribution.Stop(), 0);
}

// The distribution build copies the data of a server that is not writing: with a page writing rows
// all along, the copy's server starts without a crash or recovery message, every table checks OK,
// and every row acknowledged before the copy began is there; the site writes again afterwards.
TEST_F(DatabaseServer, ADistributionCopiedWhileAPageWritesOpensCleanWithEveryAcknowledgedRow)
{
  fs::copy_file(CORVALA_SOURCE_DIR "/tests/e2e/pages/write.php", install.Path("www/write.php"));
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  ASSERT_EQ(Sql(launcher, {"CREATE DATABASE shop",
                           "CREATE TABLE shop.orders (id INT PRIMARY KEY, pad TEXT) ENGINE=InnoDB",
                           "CREATE TABLE shop.visits (id INT PRIMARY KEY, pad TEXT) ENGINE=Aria"}),
            (TLines{"ok", "ok", "ok"}));
  const int sitePort = launcher.IntValue("apache_port");
  std::atomic<bool> stopWriting{false};
  std::atomic<int> ackedCount{0};
  // Written by the writer alone until it is joined.
  std::vector<std::pair<int, long long>> acked;
  std::thread writer([&] {
    for (int id = 1; !stopWriting; ++id)
      if (HttpGet(sitePort, "/write.php?id=" + std::to_string(id)).body == "ok") {
        acked.emplace_back(id, MonotonicNanoseconds());
        ++ackedCount;
      }
  });
  EXPECT_TRUE(WaitUntil([&] { return ackedCount >= 100; }, 60s, "100 rows written"));
  // Inside the installation, whose folders Apache's workers may read when the test runs as root.
  const std::string output = install.Path("acme shop");
  const bool built = launcher.Request("build " + output, "built");
  // The site works on after the build: the writer's rows are taken again.
  const int afterBuild = ackedCount;
  EXPECT_TRUE(WaitUntil([&] { return ackedCount >= afterBuild + 50; }, 60s, "rows written after the build"));
  stopWriting = true;
  writer.join();
  ASSERT_TRUE(built) << launcher.LastLine();
  const long long copyBegan = std::stoll(launcher.Value("copy_clock"));
  EXPECT_EQ(launcher.Stop(), 0);

  // The distribution on its own, started by the same launcher from its folder.
  fs::copy_file(install.Program(), output + "/corvala");
  TLauncher distribution(output + "/corvala");
  ASSERT_TRUE(distribution.WaitReady()) << distribution.LastLine();
  const std::string log = Lowered(Shell("cat " + Quoted(distribution.Value("work") + "/mysql-output.log")));
  for (const char *word : {"crash", "recover", "repair", "corrupt"})
    EXPECT_EQ(log.find(word), std::string::npos) << word << " in:\n" << log;
  const TLines tables =
      Sql(distribution, {"SELECT CONCAT(TABLE_SCHEMA, '.', TABLE_NAME) FROM "
                         "information_schema.TABLES WHERE TABLE_TYPE = 'BASE TABLE' AND "
                         "TABLE_SCHEMA NOT IN ('information_schema', 'performance_schema')"});
  ASSERT_GT(tables.size(), 10u);
  for (size_t i = 1; i < tables.size(); ++i) {
    const std::string table = tables[i].substr(4);
    EXPECT_EQ(Sql(distribution, {"CHECK TABLE " + table}),
              (TLines{"ok", "row " + table + "|check|status|OK"}));
  }
  for (const char *table : {"shop.orders", "shop.visits"}) {
    SCOPED_TRACE(table);
    std::set<int> ids;
    for (const std::string &line : Sql(distribution, {std::string("SELECT id FROM ") + table}))
      if (line.starts_with("row "))
        ids.insert(std::stoi(line.substr(4)));
    int before = 0;
    for (const auto &[id, when] : acked)
      if (when < copyBegan) {
        ++before;
        EXPECT_TRUE(ids.contains(id)) << "acknowledged row " << id << " is missing";
      }
    EXPECT_GE(before, 100);
  }
  EXPECT_EQ(distribution.Stop(), 0);
}
