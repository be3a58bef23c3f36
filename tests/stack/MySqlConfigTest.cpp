#include "stack/MySqlConfig.h"
#include "stack/MySqlSystemTables.h"
#include "stack/ServerCommandLines.h"

#include "ini/Ini.h"
#include "process/CommandLine.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace Corvala;
using namespace TestSupport;

static TStackSetup StackAt(const std::string &app, const std::string &work)
{
  TStackSetup setup;
  setup.appPath = app + "/";
  setup.binFolder = app + "/bin";
  setup.workFolder = work;
  setup.mySqlPort = 3306;
  return setup;
}

TEST(MySqlIniSettings, FixedDiskInOrderWithInnoDbAndWithout)
{
  TIniValues expected = {
      {"basedir", "\"/opt/My Stack/bin/mysql\""},
      {"datadir", "\"/opt/My Stack/data\""},
      {"bind-address", "127.0.0.1"},
      {"port", "3306"},
      {"default-storage-engine", "InnoDB"},
      {"socket", "\"/tmp/w 1/mysql.sock\""},
      {"pid-file", "\"/tmp/w 1/mysql.pid\""},
      {"tmpdir", "\"/tmp/w 1/mysql-tmp\""},
      {"character-sets-dir", "\"/opt/My Stack/bin/mysql/share/charsets\""},
      {"character-set-server", "utf8mb4"},
      {"collation-server", "utf8mb4_general_ci"},
      {"secure_file_priv", "\"/tmp/w 1/mysql-files\""},
      {"skip-name-resolve", "0"},
      {"myisam-recover-options", "BACKUP"},
      {"innodb_buffer_pool_size", "64M"},
      {"innodb_log_file_size", "8M"},
      {"innodb_autoextend_increment", "8"},
      {"init-file", "\"/tmp/w 1/mysql-init.sql\""},
  };
  TStackSetup setup = StackAt("/opt/My Stack", "/tmp/w 1");
  EXPECT_EQ(MySqlIniSettings(setup), expected);

  // The old server: Aria by default and nothing of InnoDB, which it does not load.
  setup.innoDb = false;
  expected.resize(14);
  expected[4].second = "Aria";
  EXPECT_EQ(MySqlIniSettings(setup), expected);

  // The private mode: no name lookups, and an init file that sets root's TCP password.
  setup.privateMode = true;
  setup.mySqlRootPassword = "0123abcd";
  expected[12].second = "1";
  expected.push_back({"init-file", "\"/tmp/w 1/mysql-init.sql\""});
  EXPECT_EQ(MySqlIniSettings(setup), expected);
}

TEST(MySqlInitSql, RootPasswordForEveryTcpAccountFirstThenInnoDbTables)
{
  TStackSetup setup = StackAt("/opt/s", "/tmp/w");
  EXPECT_EQ(MySqlInitSql(setup), InnoDbSystemTablesSql());
  setup.mySqlRootPassword = "it's\\";
  const std::string passwords = "ALTER USER IF EXISTS 'root'@'127.0.0.1' IDENTIFIED BY 'it\\'s\\\\';\n"
                                "ALTER USER IF EXISTS 'root'@'::1' IDENTIFIED BY 'it\\'s\\\\';\n"
                                "ALTER USER IF EXISTS 'root'@'%' IDENTIFIED BY 'it\\'s\\\\';\n";
  EXPECT_EQ(MySqlInitSql(setup), passwords + InnoDbSystemTablesSql());
  // Turned off again: the empty password comes back, even without InnoDB.
  setup.mySqlRootPassword = "";
  setup.innoDb = false;
  EXPECT_EQ(MySqlInitSql(setup), "ALTER USER IF EXISTS 'root'@'127.0.0.1' IDENTIFIED BY '';\n"
                                 "ALTER USER IF EXISTS 'root'@'::1' IDENTIFIED BY '';\n"
                                 "ALTER USER IF EXISTS 'root'@'%' IDENTIFIED BY '';\n");
  setup.mySqlRootPassword.reset();
  EXPECT_EQ(MySqlInitSql(setup), "");
}

TEST(MySqlIniSettings, CdUsesTheCopiesAndEscapesQuotesAndBackslashes)
{
  TStackSetup setup = StackAt("/media/cd", "/tmp/a\"b\\c");
  setup.binFolder = "/tmp/a\"b\\c/bin";
  setup.isCdRom = true;
  setup.mySqlPort = 3307;
  const TIniValues settings = MySqlIniSettings(setup);
  ASSERT_EQ(settings.size(), 18u);
  EXPECT_EQ(settings[0].second, "\"/tmp/a\\\"b\\\\c/bin/mysql\"");
  EXPECT_EQ(settings[1].second, "\"/tmp/a\\\"b\\\\c/data\"");
  EXPECT_EQ(settings[3].second, "3307");
}

TEST(MySqlSocketPath, LimitedTo107Bytes)
{
  const std::string fits = "/" + std::string(106 - std::string("/mysql.sock").size(), 'w');
  EXPECT_EQ(MySqlSocketPath(fits).size(), 107u);
  EXPECT_THROW(MySqlSocketPath(fits + "w"), std::runtime_error);
  EXPECT_THROW(MySqlIniSettings(StackAt("/opt", fits + "w")), std::runtime_error);
}

TEST(MySqlParameters, QuotedOptionsAndTheUserSwitchOnlyForRoot)
{
  TStackSetup setup = StackAt("/opt/My Stack", "/tmp/w 1");
  setup.mySqlPort = 3307;
  setup.runningAsRoot = true;
  const std::string common = "\"--defaults-file=/tmp/w 1/my.ini\" \"--port=3307\" "
                             "\"--language=/opt/My Stack/bin/mysql/share/english\"";
  EXPECT_EQ(MySqlParameters("/tmp/w 1/my.ini", setup), common + " \"--user=root\"");
  setup.runningAsRoot = false;
  EXPECT_EQ(MySqlParameters("/tmp/w 1/my.ini", setup), common);
  EXPECT_EQ(MySqlExePath("/opt/My Stack/bin"), "/opt/My Stack/bin/mysql/bin/mysqld");
  // A tree may sit in any folder a file system allows: the split gives each path back whole.
  setup.binFolder = "/op\"t\\";
  EXPECT_EQ(Process::SplitCommandLine(MySqlParameters("/tmp/\"/my.ini", setup)),
            (Base::TStringArray{"--defaults-file=/tmp/\"/my.ini", "--port=3307",
                                "--language=/op\"t\\/mysql/share/english"}));
}

// With "innodb=0" the server is started exactly as before InnoDB was the default engine.
TEST(MySqlParameters, WithoutInnoDbTheOldCommandLine)
{
  TStackSetup setup = StackAt("/opt/My Stack", "/tmp/w 1");
  setup.innoDb = false;
  setup.runningAsRoot = true;
  EXPECT_EQ(MySqlParameters("/tmp/w 1/my.ini", setup),
            "\"--defaults-file=/tmp/w 1/my.ini\" \"--port=3306\" \"--skip-innodb\" "
            "\"--language=/opt/My Stack/bin/mysql/share/english\" \"--user=root\"");
  setup.runningAsRoot = false;
  EXPECT_EQ(MySqlParameters("/tmp/w 1/my.ini", setup),
            "\"--defaults-file=/tmp/w 1/my.ini\" \"--port=3306\" \"--skip-innodb\" "
            "\"--language=/opt/My Stack/bin/mysql/share/english\"");
}

TEST(WriteMySqlConfig, NewFileInOrder)
{
  TScratchFolder root;
  TStackSetup setup = StackAt(root.File("My Stack"), root.File("work"));
  fs::create_directories(setup.workFolder);
  const std::string path = WriteMySqlConfig(setup);
  EXPECT_EQ(path, root.File("work/my.ini"));
  EXPECT_EQ(ReadBytes(path), root.Fill("[mysqld]\r\n"
                                       "basedir=\"{root}/My Stack/bin/mysql\"\r\n"
                                       "datadir=\"{root}/My Stack/data\"\r\n"
                                       "bind-address=127.0.0.1\r\n"
                                       "port=3306\r\n"
                                       "default-storage-engine=InnoDB\r\n"
                                       "socket=\"{root}/work/mysql.sock\"\r\n"
                                       "pid-file=\"{root}/work/mysql.pid\"\r\n"
                                       "tmpdir=\"{root}/work/mysql-tmp\"\r\n"
                                       "character-sets-dir=\"{root}/My Stack/bin/mysql/share/charsets\"\r\n"
                                       "character-set-server=utf8mb4\r\n"
                                       "collation-server=utf8mb4_general_ci\r\n"
                                       "secure_file_priv=\"{root}/work/mysql-files\"\r\n"
                                       "skip-name-resolve=0\r\n"
                                       "myisam-recover-options=BACKUP\r\n"
                                       "innodb_buffer_pool_size=64M\r\n"
                                       "innodb_log_file_size=8M\r\n"
                                       "innodb_autoextend_increment=8\r\n"
                                       "init-file=\"{root}/work/mysql-init.sql\"\r\n"));
  EXPECT_EQ(ReadBytes(root.File("work/mysql-init.sql")), InnoDbSystemTablesSql());
  EXPECT_FALSE(fs::exists(root.File("work/data")));
  EXPECT_EQ(fs::status(root.File("work/mysql-files")).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(root.File("work/mysql-tmp")).permissions(), fs::perms::owner_all);
}

// Every folder the server's settings name for its writes lies beneath one it may write in.
TEST(MySqlWritableFolders, TheDataFolderAndTheWorkFolderHoldEverythingTheServerWrites)
{
  for (const bool cd : {false, true}) {
    SCOPED_TRACE(cd);
    TStackSetup setup = StackAt("/opt/s", "/tmp/w");
    setup.isCdRom = cd;
    const Base::TStringArray folders = MySqlWritableFolders(setup);
    EXPECT_EQ(folders, (Base::TStringArray{cd ? "/tmp/w/data" : "/opt/s/data", "/tmp/w"}));
    auto writable = [&folders](std::string path) {
      if (path.size() >= 2 && path.front() == '"')
        path = path.substr(1, path.size() - 2);
      for (const std::string &folder : folders)
        if (path == folder || path.starts_with(folder + "/"))
          return true;
      return false;
    };
    for (const char *key : {"datadir", "socket", "pid-file", "tmpdir", "secure_file_priv"}) {
      std::string value;
      for (const auto &[name, setting] : MySqlIniSettings(setup))
        if (name == key)
          value = setting;
      EXPECT_TRUE(writable(value)) << key << "=" << value;
    }
  }
}

TEST(WriteMySqlConfig, WithoutInnoDbNoInitFile)
{
  TScratchFolder root;
  TStackSetup setup = StackAt(root.File("app"), root.File("work"));
  setup.innoDb = false;
  fs::create_directories(setup.workFolder);
  const std::string path = WriteMySqlConfig(setup);
  EXPECT_EQ(Ini::ReadIniString(path, "mysqld", "default-storage-engine"), "Aria");
  EXPECT_EQ(Ini::ReadIniString(path, "mysqld", "init-file"), "");
  EXPECT_FALSE(fs::exists(root.File("work/mysql-init.sql")));
}

TEST(WriteMySqlConfig, OlderFileKeepsItsContentAndGetsTheKeysInPlace)
{
  TScratchFolder root;
  TStackSetup setup = StackAt(root.File("app"), root.File("work"));
  setup.mySqlPort = 3307;
  root.Write("work/my.ini", "[client]\r\nport=3306\r\n[mysqld]\r\nport=3306\r\nkey_buffer_size=16M\r\n"
                            "datadir=C:/old/data\r\n");
  WriteMySqlConfig(setup);
  EXPECT_EQ(ReadBytes(root.File("work/my.ini")),
            root.Fill("[client]\r\n"
                      "port=3306\r\n"
                      "[mysqld]\r\n"
                      "port=3307\r\n"
                      "key_buffer_size=16M\r\n"
                      "datadir=\"{root}/app/data\"\r\n"
                      "basedir=\"{root}/app/bin/mysql\"\r\n"
                      "bind-address=127.0.0.1\r\n"
                      "default-storage-engine=InnoDB\r\n"
                      "socket=\"{root}/work/mysql.sock\"\r\n"
                      "pid-file=\"{root}/work/mysql.pid\"\r\n"
                      "tmpdir=\"{root}/work/mysql-tmp\"\r\n"
                      "character-sets-dir=\"{root}/app/bin/mysql/share/charsets\"\r\n"
                      "character-set-server=utf8mb4\r\n"
                      "collation-server=utf8mb4_general_ci\r\n"
                      "secure_file_priv=\"{root}/work/mysql-files\"\r\n"
                      "skip-name-resolve=0\r\n"
                      "myisam-recover-options=BACKUP\r\n"
                      "innodb_buffer_pool_size=64M\r\n"
                      "innodb_log_file_size=8M\r\n"
                      "innodb_autoextend_increment=8\r\n"
                      "init-file=\"{root}/work/mysql-init.sql\"\r\n"));
}

TEST(WriteMySqlConfig, CdCopiesTheDataFolderWritable)
{
  TScratchFolder root;
  TStackSetup setup = StackAt(root.File("cd"), root.File("work"));
  setup.isCdRom = true;
  fs::create_directories(setup.workFolder);
  root.Write("cd/data/mysql/user.MAI", "rows");
  fs::permissions(root.File("cd/data/mysql/user.MAI"), fs::perms::owner_read);
  fs::permissions(root.File("cd/data/mysql"), fs::perms::owner_read | fs::perms::owner_exec);
  const std::string path = WriteMySqlConfig(setup);
  EXPECT_EQ(Ini::ReadIniString(path, "mysqld", "datadir"), root.File("work/data"));
  EXPECT_EQ(ReadBytes(root.File("work/data/mysql/user.MAI")), "rows");
  EXPECT_NE(fs::status(root.File("work/data/mysql/user.MAI")).permissions() & fs::perms::owner_write,
            fs::perms::none);
  EXPECT_NE(fs::status(root.File("work/data/mysql")).permissions() & fs::perms::owner_write, fs::perms::none);

  // Written again for another port, the server keeps the copy it started with.
  root.Write("work/data/mysql/user.MAI", "changed by the server");
  setup.mySqlPort = 3307;
  WriteMySqlConfig(setup);
  EXPECT_EQ(Ini::ReadIniString(path, "mysqld", "port"), "3307");
  EXPECT_EQ(ReadBytes(root.File("work/data/mysql/user.MAI")), "changed by the server");
  fs::permissions(root.File("cd/data/mysql"), fs::perms::owner_all);
}

TEST(WriteMySqlConfig, TooLongSocketPathWritesAndCopiesNothing)
{
  TScratchFolder root;
  TStackSetup setup = StackAt(root.File("cd"), root.File(std::string(110, 'w')));
  setup.isCdRom = true;
  fs::create_directories(setup.workFolder);
  root.Write("cd/data/x", "x");
  EXPECT_THROW(WriteMySqlConfig(setup), std::runtime_error);
  EXPECT_FALSE(fs::exists(setup.workFolder + "/my.ini"));
  EXPECT_FALSE(fs::exists(setup.workFolder + "/data"));
}

// The real server, when installed, must read back the paths we wrote, blanks and quotes included.
TEST(WriteMySqlConfig, RealServerReadsThePaths)
{
  const std::string server = "/usr/sbin/mariadbd";
  if (!fs::exists(server))
    GTEST_SKIP() << "MariaDB is not installed";
  TScratchFolder root;
  TStackSetup setup = StackAt(root.File("my \"stack\""), root.File("work \\ 1"));
  fs::create_directories(setup.workFolder);
  const std::string path = WriteMySqlConfig(setup);
  const std::string command = "'" + server + "' '--defaults-file=" + path + "' --verbose --help 2>/dev/null";
  FILE *pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr)
    output += buffer;
  pclose(pipe);
  const auto value = [&output](const std::string &name) {
    const size_t at = output.find("\n" + name + " ");
    if (at == std::string::npos)
      return std::string();
    const size_t begin = output.find_first_not_of(' ', at + name.size() + 1);
    return output.substr(begin, output.find('\n', begin) - begin);
  };
  EXPECT_EQ(value("datadir"), setup.appPath + "data/");
  EXPECT_EQ(value("socket"), setup.workFolder + "/mysql.sock");
  EXPECT_EQ(value("port"), "3306");
  EXPECT_EQ(value("bind-address"), "127.0.0.1");
  EXPECT_EQ(value("default-storage-engine"), "InnoDB");
  EXPECT_EQ(value("character-sets-dir"), setup.binFolder + "/mysql/share/charsets/");
  EXPECT_EQ(value("character-set-server"), "utf8mb4");
  EXPECT_EQ(value("collation-server"), "utf8mb4_general_ci");
  EXPECT_EQ(value("innodb-buffer-pool-size"), "67108864");
  EXPECT_EQ(value("innodb-log-file-size"), "8388608");
  EXPECT_EQ(value("innodb-autoextend-increment"), "8");
  EXPECT_EQ(value("init-file"), setup.workFolder + "/mysql-init.sql");
  EXPECT_EQ(value("secure-file-priv"), setup.workFolder + "/mysql-files/");
  EXPECT_EQ(value("skip-name-resolve"), "FALSE");
  EXPECT_EQ(value("myisam-recover-options"), "BACKUP");
}
