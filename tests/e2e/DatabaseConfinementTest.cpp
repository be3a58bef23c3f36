// The database server's writes under its Landlock rules: a client that names a log file anywhere
// (SET GLOBAL general_log_file, slow_query_log_file) gets nothing written outside the server's
// folders, whoever runs the launcher, while the logs inside the data folder keep working.
#include "E2eSupport.h"
#include "process/WriteConfinement.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

// What a client plants in a log it points into the site: a page PHP would run.
constexpr char Payload[] = "<?php echo \"planted\"; ?>";

class DatabaseConfinement : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (Process::LandlockAbi() == 0)
      GTEST_SKIP() << "this kernel has no Landlock: the database server runs unconfined there";
    install.SetConfig("[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=" + std::to_string(FreePort()) +
                      "\r\nip=127.0.0.1\r\ncopyfilestoharddisk=0\r\nbrand=0");
    // Beside the installation and the launcher's own: the server's user could write it but for the
    // rules.
    outside = install.Root() + ".outside";
    fs::create_directory(outside);
    chmod(outside.c_str(), 0700);
    launcher = std::make_unique<TLauncher>(install.Program());
    ASSERT_TRUE(launcher->WaitReady()) << launcher->LastLine();
    work = launcher->Value("work");
  }

  void TearDown() override
  {
    if (launcher) {
      EXPECT_EQ(launcher->Stop(), 0);
    }
    fs::remove_all(outside);
  }

  // The statements on one connection through the server's socket, as root; its output with the
  // errors.
  std::string Sql(const std::string &statements) const
  {
    return Shell("mariadb --no-defaults --protocol=SOCKET -S " + Quoted(work + "/mysql.sock") +
                 " -u root -N -B -e " + Quoted(statements) + " 2>&1");
  }

  // Points the log at Path (an SQL expression), turns it on and runs a statement it records. The
  // server may refuse any step; then it turns the log off again.
  std::string PlantThroughLog(const std::string &log, const std::string &path) const
  {
    const std::string written = Sql("SET long_query_time = 0; SET GLOBAL " + log + "_file = " + path +
                                    "; SET GLOBAL " + log + " = 1; SELECT '" + Payload + "'");
    Sql("SET GLOBAL " + log + " = 0");
    return written;
  }

  // The general log named inside the data folder records a statement.
  void ExpectGeneralLogInsideTheDataFolder(const std::string &name, const std::string &marker) const
  {
    EXPECT_EQ(Sql("SET GLOBAL general_log_file = CONCAT(@@datadir, '" + name +
                  "'); SET GLOBAL general_log = 1; SELECT '" + marker + "'; SET GLOBAL general_log = 0"),
              marker + "\n");
    const std::string logged = Shell("cat " + Quoted(install.Path("data/" + name)));
    EXPECT_NE(logged.find("SELECT '" + marker + "'"), std::string::npos) << logged;
  }

  TInstall install;
  std::unique_ptr<TLauncher> launcher;
  std::string work;
  std::string outside;
};

} // namespace

TEST_F(DatabaseConfinement, LogFilesNamedIntoTheSiteOrElsewhereAreNeverWrittenAndTheDataFolderLogsWork)
{
  EXPECT_EQ(launcher->Value("status_note"), "");
  // Its temporary files are in the work folder, which it may write.
  EXPECT_EQ(Sql("SELECT @@tmpdir"), work + "/mysql-tmp\n");
  ExpectGeneralLogInsideTheDataFolder("general-before.log", "logged before");

  struct TTarget {
    std::string sql;
    std::string path;
  };
  const std::vector<TTarget> targets = {
      {"CONCAT(@@datadir, '../www/general.php')", install.Path("www/general.php")},
      {"'" + install.Path("www/direct.php") + "'", install.Path("www/direct.php")},
      {"'" + outside + "/elsewhere.log'", outside + "/elsewhere.log"},
  };
  for (const char *log : {"general_log", "slow_query_log"})
    for (const TTarget &target : targets) {
      SCOPED_TRACE(std::string(log) + " at " + target.sql);
      const std::string answer = PlantThroughLog(log, target.sql);
      EXPECT_FALSE(fs::exists(target.path)) << answer;
    }
  EXPECT_TRUE(fs::is_empty(outside));

  ExpectGeneralLogInsideTheDataFolder("general-after.log", "logged after");
}
