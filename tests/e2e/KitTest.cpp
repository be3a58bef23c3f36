#include "E2eSupport.h"
#include "stack/CommandLineTools.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace E2e;
namespace fs = std::filesystem;

// The kit run as a user runs it, into a folder whose name holds what users put into folder names:
// blanks, quotes, a dollar sign, parentheses and a non-ASCII letter. The tree it makes carries its
// libraries and finds them from there; moved beside a launcher (whose servers' command lines take
// no double quote, which it refuses with a clear message) it serves a PHP page that reaches its MySQL.
TEST(StackKit, AssemblesAWorkingTreeInAFolderWithBlanksQuotesAndDollars)
{
  TestSupport::TScratchFolder scratch;
  const std::string kit = scratch.File("Kit \"d\" 'q' $HOME (1) \xc3\xa9");
  const std::string log = scratch.File("kit.log");
  Shell("bash " + Quoted(std::string(CORVALA_SOURCE_DIR) + "/scripts/stack-kit.sh") + " " + Quoted(kit) +
        " >" + Quoted(log) + " 2>&1; echo $? >" + Quoted(log + ".rc"));
  ASSERT_EQ(TestSupport::ReadBytes(log + ".rc"), "0\n") << TestSupport::ReadBytes(log);
  ASSERT_TRUE(fs::exists(kit + "/data/mysql"));

  // Every program, module and extension resolves each library it needs, and those of the tree
  // from the tree itself.
  const std::string unresolved =
      Shell("cd " + Quoted(kit) +
            " && find bin -type f | while IFS= read -r f; do head -c 4 \"$f\" | grep -q ELF || continue;"
            " ldd \"$f\" 2>&1 | grep 'not found' | sed \"s|^|$f: |\"; done");
  EXPECT_EQ(unresolved, "");
  for (const char *tool : Corvala::CommandLineTools) {
    if (TestSupport::ReadBytes(kit + "/" + tool).starts_with("#!"))
      continue;
    const std::string inTree =
        Shell("ldd " + Quoted(kit + "/" + tool) + " | grep -c " + Quoted(kit + "/bin/") + " | tr -d '\\n'");
    EXPECT_NE(inTree, "0") << tool << " takes no library from its tree";
  }

  const std::string parent = scratch.File("My Stack 'q' $HOME (1) \xc3\xa9");
  fs::create_directories(parent);
  // Run by root, Apache's workers run as nobody and must reach the site through these folders.
  fs::permissions(scratch.Path(), fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
  fs::permissions(parent, fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
  TInstall install(CORVALA_DRIVER, parent);
  for (const char *folder : {"bin", "www", "data"}) {
    fs::remove_all(install.Path(folder));
    fs::rename(kit + "/" + folder, install.Path(folder));
  }
  install.SetConfig("[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=24080\r\nip=127.0.0.1\r\n"
                    "copyfilestoharddisk=0\r\nbrand=0");
  WriteStatusPage(install);
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  const THttpReply page = HttpGet(launcher.IntValue("apache_port"), "/index.php");
  EXPECT_NE(page.body.find("E2E MySQL connected on port " + std::to_string(launcher.IntValue("mysql_port"))),
            std::string::npos)
      << page.body;
  EXPECT_EQ(launcher.Stop(), 0);
  EXPECT_TRUE(ProcessesBelow(install.Root()).empty());
}

// The tree's PHP started by an IDE, a cron job or a script: no environment at all, any folder, on a
// host with Debian's own PHP configured in /etc/php. It reads the stack's php.ini, loads the
// stack's extensions once each (a second load of one would warn) and nothing of /etc/php, and PHP
// started from PHP does the same.
TEST(StackKit, ThePhpCommandLineUsesTheStacksOwnConfigurationFromAnywhere)
{
  if (!fs::exists("/etc/php/8.2/cli/conf.d/10-mysqlnd.ini"))
    GTEST_SKIP() << "needs Debian's PHP configured on the host";
  TestSupport::TScratchFolder scratch;
  const std::string tree = scratch.File("moved tree");
  fs::create_directories(tree + "/bin");
  // A copy of the tree's PHP in another place: the script finds everything beside it.
  fs::copy(std::string(CORVALA_STACK_TREE) + "/bin/php", tree + "/bin/php", fs::copy_options::recursive);
  fs::copy(std::string(CORVALA_STACK_TREE) + "/bin/lib", tree + "/bin/lib", fs::copy_options::recursive);
  const std::string report =
      "echo php_ini_loaded_file(), '|', var_export(php_ini_scanned_files(), true), '|',"
      " class_exists('PDO') ? 'PDO' : 'no PDO', '|',"
      " function_exists('mysqli_connect') ? 'mysqli' : 'no mysqli', '|',"
      " ini_get('extension_dir');";
  const std::string php = Quoted(tree + "/bin/php/php");
  const std::string expected = tree + "/bin/php/php.ini|false|PDO|mysqli|" + tree + "/bin/php/ext";
  EXPECT_EQ(Shell("cd / && env -i " + php + " -r " + Quoted(report) + " 2>&1"), expected);
  // Through PHP_BINARY, as Composer and PHPUnit start PHP again.
  EXPECT_EQ(Shell("cd / && env -i " + php + " -r " +
                  Quoted("passthru(escapeshellarg(PHP_BINARY) . ' -r ' . escapeshellarg(" +
                         std::string("\"") + report + "\"" + "));") +
                  " 2>&1"),
            expected);
}
