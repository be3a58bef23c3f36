#include "stack/MySqlConfig.h"
#include "stack/ServerCommandLines.h"

#include "config/TempFolder.h"
#include "utils/Ini.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace Corvala;
namespace fs = std::filesystem;

static TStackSetup StackAt(const std::string &app, const std::string &work)
{
  TStackSetup setup;
  setup.appPath = app + "/";
  setup.binFolder = app + "/bin";
  setup.workFolder = work;
  setup.mySqlPort = 3306;
  return setup;
}

TEST(MySqlIniSettings, FixedDiskInOrder)
{
  const TIniValues expected = {
      {"basedir", "\"/opt/My Stack/bin/mysql\""},
      {"datadir", "\"/opt/My Stack/data\""},
      {"bind-address", "127.0.0.1"},
      {"port", "3306"},
      {"default-storage-engine", "Aria"},
      {"socket", "\"/tmp/w 1/mysql.sock\""},
      {"pid-file", "\"/tmp/w 1/mysqld.pid\""},
  };
  EXPECT_EQ(MySqlIniSettings(StackAt("/opt/My Stack", "/tmp/w 1")), expected);
}

TEST(MySqlIniSettings, CdUsesTheCopiesAndEscapesQuotesAndBackslashes)
{
  TStackSetup setup = StackAt("/media/cd", "/tmp/a\"b\\c");
  setup.binFolder = "/tmp/a\"b\\c/bin";
  setup.isCdRom = true;
  setup.mySqlPort = 3307;
  const TIniValues settings = MySqlIniSettings(setup);
  ASSERT_EQ(settings.size(), 7u);
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

TEST(MySqlParameters, FiveQuotedOptions)
{
  EXPECT_EQ(MySqlParameters("/tmp/w 1/my.ini", 3307, "/opt/My Stack/bin"),
            "\"--defaults-file=/tmp/w 1/my.ini\" \"--port=3307\" \"--skip-innodb\" "
            "\"--language=/opt/My Stack/bin/mysql/share/english\" \"--user=root\"");
  EXPECT_EQ(MySqlExePath("/opt/My Stack/bin"), "/opt/My Stack/bin/mysql/bin/mysqld");
  EXPECT_THROW(MySqlParameters("/tmp/\"/my.ini", 3306, "/opt"), std::runtime_error);
  EXPECT_THROW(MySqlParameters("/tmp/my.ini", 3306, "/op\"t"), std::runtime_error);
}
