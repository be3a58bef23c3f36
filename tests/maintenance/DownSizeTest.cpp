#include "maintenance/DownSize.h"
#include "HelperRole.h"
#include "MaintenanceTestSupport.h"
#include "StackTreeCopy.h"
#include "ini/Ini.h"
#include "process/Process.h"
#include "support/WaitUntil.h"

#include <filesystem>
#include <gtest/gtest.h>

using TestSupport::WaitUntil;
using namespace std::chrono_literals;

namespace fs = std::filesystem;
using Ini::ReadIniStringIfExists;

namespace
{

const std::vector<std::string> KeepAll(DownSizeComponentCount, "0");

std::vector<std::string> Select(std::initializer_list<size_t> positions)
{
  std::vector<std::string> flags = KeepAll;
  for (const size_t position : positions)
    flags[position - 1] = "-1";
  return flags;
}

// Every file and folder a down-size may remove, as the Linux stack names them.
const std::vector<std::string> RemovableFiles = {
    "bin/php/ext/mysql.so",      "bin/php/ext/mysqli.so",     "bin/php/ext/pdo_mysql.so",
    "bin/php/ext/pdo_sqlite.so", "bin/php/ext/sqlite3.so",    "bin/php/ext/gd.so",
    "bin/php/ext/mbstring.so",   "bin/Apache/sendmail",       "bin/Apache/sendmail.ini",
    "bin/php/ext/imap.so",       "bin/php/ext/curl.so",       "bin/php/ext/mcrypt.so",
    "bin/php/ext/mhash.so",      "bin/php/ext/sockets.so",    "bin/php/ext/mime_magic.so",
    "bin/php/ext/magic.mime",    "bin/php/ext/openssl.so",    "bin/php/ext/xmlrpc.so",
    "bin/php/ext/pdo.so",        "bin/mysql/bin/mysqld",      "data/mysql/user.MAI",
    "bin/php/Zend/zend.so",      "bin/php/ionCube/loader.so", "www/phpmyadmin/index.php",
    "data/phpmyadmin/pma.frm",   "bin/php/ext/xdebug.so",     "bin/php/composer",
    "bin/composer/bin/composer"};

const char *const Favorites = "[DIRS]\r\nWeb site=www\r\nMySQL data directory={APPDIR}/data\r\n"
                              "[URLS]\r\nHome=http://{LOCALHOST:PORT}/\r\n"
                              "phpMyAdmin=http://{LOCALHOST:PORT}/phpmyadmin/\r\n";

bool Exists(const TestFolder &tree, const std::string &name)
{
  return fs::exists(fs::symlink_status(tree.File(name)));
}

} // namespace

TEST(DownSizeParameters, SeventeenFlagsInTableOrder)
{
  std::array<bool, DownSizeComponentCount> selected{};
  EXPECT_EQ(DownSizeParameters(selected), "downsize 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
  selected[0] = selected[12] = selected[16] = true;
  EXPECT_EQ(DownSizeParameters(selected), "downsize -1 0 0 0 0 0 0 0 0 0 0 0 -1 0 0 0 -1");
}

TEST(DeleteDownSizeSelection, EverythingSelectedRemovesEveryComponentAndNothingElse)
{
  TestFolder tree("corvala-downsize");
  for (const std::string &name : RemovableFiles)
    tree.Write(name, "x");
  const std::vector<std::string> kept = {"bin/php/ext/intl.so", "bin/php/ext/mysqlnd.so", "bin/Apache/Apache",
                                         "bin/php/libphp.so",   "www/index.php",          "data.txt"};
  for (const std::string &name : kept)
    tree.Write(name, "x");
  tree.Write("bin/Favorites.ini", Favorites);

  DeleteDownSizeSelection(tree.Path().string() + "/", std::vector<std::string>(DownSizeComponentCount, "-1"));

  for (const std::string &name : RemovableFiles)
    EXPECT_FALSE(Exists(tree, name)) << name;
  for (const char *folder :
       {"data", "bin/mysql", "bin/php/Zend", "bin/php/ionCube", "www/phpmyadmin", "bin/composer"})
    EXPECT_FALSE(Exists(tree, folder)) << folder;
  for (const std::string &name : kept)
    EXPECT_TRUE(Exists(tree, name)) << name;
  const std::string favorites = tree.File("bin/Favorites.ini");
  EXPECT_EQ(ReadIniStringIfExists(favorites, "DIRS", "MySQL data directory"), "");
  EXPECT_EQ(ReadIniStringIfExists(favorites, "URLS", "phpMyAdmin"), "");
  EXPECT_EQ(ReadIniStringIfExists(favorites, "DIRS", "Web site"), "www");
  EXPECT_EQ(ReadIniStringIfExists(favorites, "URLS", "Home"), "http://{LOCALHOST:PORT}/");
}

// On the kit's tree the libraries follow the components: what goes with them goes, what anything
// left still needs stays.
TEST(DeleteDownSizeSelection, BundledLibrariesGoOnlyWhenNothingLeftNeedsThem)
{
  TStackTreeCopy tree;
  ASSERT_TRUE(Exists(tree, "bin/lib/libcurl.so.4"));
  ASSERT_TRUE(Exists(tree, "bin/lib/libgd.so.3"));
  ASSERT_TRUE(Exists(tree, "bin/lib/libsqlite3.so.0"));

  // cURL, OpenSSL, GD and SQLite: GD's library goes; Apache's mod_md still needs cURL's, and
  // MariaDB and Apache still need SSL.
  DeleteDownSizeSelection(tree.AppPath(), Select({2, 5, 8, 14}));
  EXPECT_FALSE(Exists(tree, "bin/php/ext/curl.so"));
  EXPECT_TRUE(Exists(tree, "bin/lib/libcurl.so.4"));
  EXPECT_FALSE(Exists(tree, "bin/lib/libgd.so.3"));
  EXPECT_FALSE(Exists(tree, "bin/lib/libheif.so.1"));
  EXPECT_FALSE(Exists(tree, "bin/php/ext/sqlite3.so"));
  EXPECT_TRUE(Exists(tree, "bin/lib/libssl.so.3"));
  EXPECT_TRUE(Exists(tree, "bin/lib/libcrypto.so.3"));
  // The launcher's NSS keeps SQLite's library, and the modules NSS opens at run time stay.
  EXPECT_TRUE(Exists(tree, "bin/lib/libsqlite3.so.0"));
  EXPECT_TRUE(Exists(tree, "bin/lib/libsoftokn3.so"));
  EXPECT_TRUE(Exists(tree, "bin/lib/libQt6WebEngineCore.so.6"));
}

TEST(DeleteDownSizeSelection, PdoStaysWhileAnyPdoDriverRemains)
{
  TestFolder tree("corvala-downsize");
  for (const char *name : {"bin/php/ext/sqlite3.so", "bin/php/ext/pdo_mysql.so", "bin/php/ext/pdo.so",
                           "bin/php/ext/pdo_sqlite.so", "bin/php/ext/pdo_pgsql.so"})
    tree.Write(name, "x");

  DeleteDownSizeSelection(tree.Path().string() + "/", Select({2}));
  EXPECT_FALSE(Exists(tree, "bin/php/ext/pdo_sqlite.so"));
  EXPECT_TRUE(Exists(tree, "bin/php/ext/pdo.so"));

  // A driver the table does not name still needs PDO.
  fs::remove(tree.File("bin/php/ext/pdo_mysql.so"));
  DeleteDownSizeSelection(tree.Path().string() + "/", KeepAll);
  EXPECT_TRUE(Exists(tree, "bin/php/ext/pdo.so"));

  // No driver left: a run that selects nothing related removes it.
  fs::remove(tree.File("bin/php/ext/pdo_pgsql.so"));
  DeleteDownSizeSelection(tree.Path().string() + "/", KeepAll);
  EXPECT_FALSE(Exists(tree, "bin/php/ext/pdo.so"));
}

TEST(DeleteDownSizeSelection, MissingPositionsKeepAndAnyFlagButZeroSelects)
{
  TestFolder tree("corvala-downsize");
  for (const char *name : {"bin/php/ext/mbstring.so", "bin/php/ext/curl.so", "www/phpmyadmin/index.php"})
    tree.Write(name, "x");

  DeleteDownSizeSelection(tree.Path().string() + "/", {"0", "0", "0", "0", "0", "1"});
  EXPECT_FALSE(Exists(tree, "bin/php/ext/mbstring.so"));
  EXPECT_TRUE(Exists(tree, "bin/php/ext/curl.so"));
  EXPECT_TRUE(Exists(tree, "www/phpmyadmin"));
}

TEST(DeleteDownSizeSelection, NoFavoritesFileIsCreated)
{
  TestFolder tree("corvala-downsize");
  tree.Write("www/phpmyadmin/index.php", "x");
  tree.Write("data/phpmyadmin/pma.frm", "x");
  tree.Write("bin/Apache/Apache", "x");

  DeleteDownSizeSelection(tree.Path().string() + "/", Select({13}));
  EXPECT_FALSE(Exists(tree, "www/phpmyadmin"));
  EXPECT_FALSE(Exists(tree, "data/phpmyadmin"));
  EXPECT_FALSE(Exists(tree, "bin/Favorites.ini"));
}

TEST(DeleteDownSizeSelection, PhpMyAdminAloneLeavesMySqlAndItsFavorite)
{
  TStackTreeCopy tree;
  ASSERT_TRUE(Exists(tree, "www/phpmyadmin"));
  const std::string favorites = tree.File("bin/Favorites.ini");
  ASSERT_NE(ReadIniStringIfExists(favorites, "URLS", "phpMyAdmin"), "");

  DeleteDownSizeSelection(tree.AppPath(), Select({13}));

  EXPECT_FALSE(Exists(tree, "www/phpmyadmin"));
  EXPECT_EQ(ReadIniStringIfExists(favorites, "URLS", "phpMyAdmin"), "");
  EXPECT_TRUE(Exists(tree, "www/index.php"));
  EXPECT_TRUE(Exists(tree, "bin/mysql/bin/mysqld"));
  EXPECT_TRUE(Exists(tree, "data/mysql"));
  EXPECT_EQ(ReadIniStringIfExists(favorites, "DIRS", "MySQL data directory"), "{APPDIR}/data");
}

// The real "downsize" mode of a launcher standing in a kit tree copy: it waits for the other process
// of its file, deletes MySQL and phpMyAdmin, and starts the launcher again without arguments.
TEST(RunDownSize, WaitsForTheLauncherDeletesAndStartsItAgain)
{
  TStackTreeCopy tree;
  const std::string launcher = CopyTestProgram(tree.File("corvala"));
  const std::string record = tree.File("restart.txt");
  TEnvOverride role(HelperRoleVariable, "launcher");
  TEnvOverride recordFile(RecordFileVariable, record);
  const std::string favorites = tree.File("bin/Favorites.ini");
  ASSERT_TRUE(Exists(tree, "bin/mysql"));
  ASSERT_NE(ReadIniStringIfExists(favorites, "DIRS", "MySQL data directory"), "");

  const Base::TProcessId old = Process::StartProcess(launcher, "hold", Process::TShowCommand::Normal, "");
  ASSERT_NE(old, 0u);
  const Base::TProcessId command = Process::StartProcess(launcher, "downsize -1 0 0 0 0 0 0 0 0 0 0 0 -1 0 0",
                                                         Process::TShowCommand::Normal, "");
  ASSERT_NE(command, 0u);
  // While the old process runs, nothing may be touched: the command is seen pausing in its wait.
  ASSERT_TRUE(WaitUntil([&] { return TestSupport::IsPausing(static_cast<pid_t>(command)); }, 60s,
                        "the command to wait for the launcher"));
  EXPECT_TRUE(Process::ProcessExists(command));
  EXPECT_TRUE(Exists(tree, "bin/mysql"));
  EXPECT_TRUE(Exists(tree, "www/phpmyadmin"));
  Process::KillProcess(old);

  ASSERT_TRUE(WaitUntil([&] { return Files::FileExists(record) && !Process::ProcessExists(command); }, 60s,
                        "the command to restart the launcher and end"));
  EXPECT_EQ(ReadLines(record), std::vector<std::string>{launcher});
  EXPECT_FALSE(Exists(tree, "bin/mysql"));
  EXPECT_FALSE(Exists(tree, "data"));
  EXPECT_FALSE(Exists(tree, "bin/php/ext/mysqli.so"));
  EXPECT_FALSE(Exists(tree, "bin/php/ext/pdo_mysql.so"));
  EXPECT_FALSE(Exists(tree, "www/phpmyadmin"));
  EXPECT_EQ(ReadIniStringIfExists(favorites, "DIRS", "MySQL data directory"), "");
  EXPECT_EQ(ReadIniStringIfExists(favorites, "URLS", "phpMyAdmin"), "");
  EXPECT_NE(ReadIniStringIfExists(favorites, "URLS", "Home"), "");
  // What the rest of the stack still needs stays.
  EXPECT_TRUE(Exists(tree, "bin/Apache/Apache"));
  EXPECT_TRUE(Exists(tree, "bin/php/ext/pdo.so"));
  EXPECT_TRUE(Exists(tree, "bin/php/ext/pdo_sqlite.so"));
  EXPECT_TRUE(Exists(tree, "www/index.php"));
}
