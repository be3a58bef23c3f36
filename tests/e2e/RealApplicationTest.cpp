#include "E2eSupport.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;

// A real application from Debian's archive, unmodified, installed through its own web installer
// on the launcher's stack: Roundcube, whose schema names ENGINE=INNODB and declares foreign keys
// with cascading deletes. Debian builds it to live at /var/lib/roundcube, so the launcher runs in a
// private mount namespace where a folder of this test is mounted on /var/lib; nothing of the
// machine changes. Needs root (for the namespace) and Debian's archive.
namespace
{

const std::string Packages =
    "roundcube-core php-pear php-auth-sasl php-mail-mime php-net-smtp php-net-socket";

// The stack's MariaDB client on the launcher's MySQL.
std::string Sql(const TInstall &install, int port, const std::string &statements)
{
  return Shell(Quoted(install.Path("bin/mysql/bin/mariadb")) + " -h 127.0.0.1 -P " + std::to_string(port) +
               " -u root -N -B -e " + Quoted(statements) + " 2>&1");
}

} // namespace

TEST(RealApplication, RoundcubeInstallsThroughItsInstallerWithInnoDbTablesAndForeignKeys)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root for a private mount namespace";
  TestSupport::TScratchFolder scratch;
  // Run by root, Apache's workers run as nobody and must reach the application's files.
  fs::permissions(scratch.Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  const std::string debs = scratch.File("debs");
  const std::string unpacked = scratch.File("unpacked");
  fs::create_directories(debs);
  // Package lists older than the archive name versions it no longer has: then they are read anew.
  const std::string download = "apt-get download -q " + Packages + " >>download.log 2>&1";
  ASSERT_EQ(Shell("cd " + Quoted(debs) + " && { " + download +
                  " || { apt-get update -qq >>download.log 2>&1 && " + download +
                  "; }; } && for f in *.deb; do dpkg-deb -x \"$f\" " + Quoted(unpacked) +
                  " || exit 1; done && echo unpacked"),
            "unpacked\n")
      << TestSupport::ReadBytes(debs + "/download.log");

  // /var/lib/roundcube links the package's files from /usr/share/roundcube, as the package's own
  // links do, and its web installer too; its configuration folder holds the package's defaults and
  // the settings the installation guide asks for.
  const std::string app = unpacked + "/usr/share/roundcube";
  const std::string lib = scratch.File("var-lib");
  const std::string home = lib + "/roundcube";
  fs::create_directories(home);
  for (const auto &entry : fs::directory_iterator(app))
    fs::create_symlink(entry.path(), home + "/" + entry.path().filename().string());
  const std::string config = home + "/config";
  fs::create_directories(config);
  for (const char *file : {"defaults.inc.php", "mimetypes.php"})
    fs::copy_file(unpacked + "/etc/roundcube/" + file, config + "/" + file);
  TestSupport::WriteBytes(
      config + "/config.inc.php",
      "<?php\n"
      "$config['db_dsnw'] = 'mysql://root:@127.0.0.1:' . ini_get('mysqli.default_port') . "
      "'/roundcubemail';\n"
      "$config['enable_installer'] = true;\n"
      "$config['des_key'] = 'corvala-test-key-24-char';\n"
      "$config['log_dir'] = '" +
          home + "/logs/';\n$config['temp_dir'] = '" + home + "/temp/';\n");
  for (const char *folder : {"logs", "temp"}) {
    fs::create_directories(home + "/" + folder);
    fs::permissions(home + "/" + folder, fs::perms::all);
  }
  Shell("chmod -R a+rX " + Quoted(scratch.Path().string()));

  TInstall install;
  install.SetConfig("[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=25080\r\nip=127.0.0.1\r\n"
                    "copyfilestoharddisk=0\r\nbrand=0");
  fs::create_symlink("/var/lib/roundcube", install.Path("www/roundcube"));
  // The launcher, and the servers it starts, see the folder on /var/lib.
  const std::string program =
      scratch.Write("corvala-in-namespace",
                    "#!/bin/sh\nexec unshare --mount --propagation private sh -c 'mount --bind \"$0\" "
                    "/var/lib && exec \"$1\"' " +
                        Quoted(lib) + " " + Quoted(install.Program()) + "\n");
  fs::permissions(program, fs::perms::owner_all);
  TLauncher launcher(program);
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  const int port = launcher.IntValue("mysql_port");
  const std::string site = "http://127.0.0.1:" + std::to_string(launcher.IntValue("apache_port"));

  // As the installation guide says: a database, then the installer's third step, "Initialize database".
  ASSERT_EQ(Sql(install, port, "CREATE DATABASE roundcubemail"), "");
  const std::string installer = Quoted(site + "/roundcube/installer/index.php?_step=3");
  const std::string before = Shell("curl -s " + installer);
  ASSERT_NE(before.find("name=\"initdb\""), std::string::npos) << before;
  const std::string after = Shell("curl -s -d initdb=1 " + installer);
  EXPECT_NE(after.find("DB Schema:&nbsp; <span class=\"success\">OK</span>"), std::string::npos) << after;

  // Its tables are InnoDB, its foreign keys are enforced and cascade.
  EXPECT_EQ(Sql(install, port,
                "SELECT COUNT(*) > 10, SUM(ENGINE <> 'InnoDB') FROM information_schema.TABLES "
                "WHERE TABLE_SCHEMA = 'roundcubemail'"),
            "1\t0\n");
  EXPECT_NE(Sql(install, port,
                "SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS "
                "WHERE CONSTRAINT_SCHEMA = 'roundcubemail' AND DELETE_RULE = 'CASCADE'"),
            "0\n");
  EXPECT_NE(Sql(install, port,
                "INSERT INTO roundcubemail.identities (user_id, changed, email, name) "
                "VALUES (999, NOW(), 'a@b.c', 'orphan')")
                .find("ERROR 1452"),
            std::string::npos);
  EXPECT_EQ(
      Sql(install, port,
          "USE roundcubemail; INSERT INTO users (username, mail_host, created) VALUES ('u', 'h', NOW());"
          "INSERT INTO identities (user_id, changed, email, name) VALUES (LAST_INSERT_ID(), NOW(), "
          "'u@h', 'U'); START TRANSACTION; DELETE FROM users; ROLLBACK;"
          "SELECT COUNT(*) FROM identities; DELETE FROM users; SELECT COUNT(*) FROM identities"),
      "1\n0\n");
  EXPECT_EQ(launcher.Stop(), 0);
  EXPECT_TRUE(ProcessesBelow(install.Root()).empty());
}
