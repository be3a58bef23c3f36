#include "config/ConfigFile.h"
#include "config/IntegerValue.h"

#include "config/TestFolder.h"

#include <gtest/gtest.h>

using namespace Corvala;

TEST(IsFlagOn, OffOnlyForTheTextZero)
{
  EXPECT_FALSE(IsFlagOn("0"));
  for (const char *value : {"", "1", "00", "false", "no", " 0", "0 ", "O"})
    EXPECT_TRUE(IsFlagOn(value)) << '"' << value << '"';
}

TEST(StrToInt, AcceptsSignedDecimalIntegers)
{
  EXPECT_EQ(StrToInt("80"), 80);
  EXPECT_EQ(StrToInt("0080"), 80);
  EXPECT_EQ(StrToInt("+8080"), 8080);
  EXPECT_EQ(StrToInt("-1"), -1);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
}

TEST(StrToInt, RejectsEverythingElseWithTheConversionMessage)
{
  for (const char *text : {"", " 80", "80 ", "8 0", "0x50", "$50", "80a", "abc", "+", "-", "+-5", "--5",
                           "1e3", "80.0", "2147483648", "-2147483649", "\xd9\xa8"}) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "accepted \"" << text << '"';
    } catch (const std::invalid_argument &error) {
      EXPECT_EQ(error.what(), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(TConfigFile, ReadsAndWritesSectionIni)
{
  TestFolder root;
  const std::string path = root.Write("Config.ini", "[ini]\r\nport=  80  \r\ntitle=\"My Program\"\r\n"
                                                    "toolbar=0\r\n[Other]\r\nbrand=0\r\n");
  const TConfigFile config(path);
  EXPECT_EQ(config.Path(), path);
  EXPECT_EQ(config.Read("PORT"), "80");
  EXPECT_EQ(config.Read("title"), "My Program");
  EXPECT_EQ(config.Read("missing"), "");
  EXPECT_FALSE(config.ReadFlag("toolbar"));
  EXPECT_TRUE(config.ReadFlag("brand")); // only in another section: missing, so on
  EXPECT_TRUE(config.ReadFlag("statusbar"));

  config.Write("port", "8080");
  config.Write("ip", "all");
  EXPECT_EQ(config.Read("port"), "8080");
  EXPECT_EQ(config.Read("ip"), "all");
  EXPECT_EQ(TConfigFile(root.File("none.ini")).Read("port"), "");
}

TEST(PrepareConfigFile, NeedsAWorkFolderAndTheResource)
{
  EXPECT_THROW(PrepareConfigFile(""), std::runtime_error);
  TestFolder root;
  // The test program carries no resources.
  try {
    PrepareConfigFile(root.Path());
    ADD_FAILURE() << "no error without the resource";
  } catch (const std::runtime_error &error) {
    EXPECT_STREQ(error.what(), "Resource res_Config_ini not found");
  }
}
