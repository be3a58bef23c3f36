#include "config/ConfigFile.h"
#include "config/IntegerValue.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Corvala;
using namespace TestSupport;

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
  TScratchFolder root;
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
  TScratchFolder root;
  // The test program carries no resources.
  try {
    PrepareConfigFile(root.Path());
    ADD_FAILURE() << "no error without the resource";
  } catch (const std::runtime_error &error) {
    EXPECT_STREQ(error.what(), "Resource res_Config_ini not found");
  }
}

// A wrong value names the file and the key it came from, so the user knows what to fix.
TEST(TConfigFile, RefusesAWrongPortOrAddressNamingTheFileAndKey)
{
  TScratchFolder root;
  const TConfigFile config(root.Write("Config.ini", "[INI]\r\nport=abc\r\nip=not-an-address\r\n"));
  try {
    config.ReadInteger("port");
    ADD_FAILURE() << "accepted port=abc";
  } catch (const std::runtime_error &error) {
    EXPECT_EQ(std::string(error.what()), "Config.ini, key \"port\": 'abc' is not a valid integer value");
  }
  try {
    config.ReadInteger("missing");
    ADD_FAILURE() << "accepted a missing port";
  } catch (const std::runtime_error &error) {
    EXPECT_EQ(std::string(error.what()), "Config.ini, key \"missing\": '' is not a valid integer value");
  }
  for (const char *ip : {"not-an-address", "", "127.0.0.1x", "127.0.0", "127.0.0.1.5", "256.0.0.1", "::1",
                         "localhost", "0x7f.0.0.1", "All", "every"}) {
    config.Write("ip", ip);
    try {
      config.ReadListenAddress("ip");
      ADD_FAILURE() << "accepted ip=" << ip;
    } catch (const std::runtime_error &error) {
      EXPECT_EQ(
          std::string(error.what())
              .rfind("Config.ini, key \"ip\": '" + std::string(ip) + "' is not a valid IPv4 address", 0),
          0u)
          << error.what();
    }
  }
}

TEST(TConfigFile, ReadsPortsAndListenAddresses)
{
  TScratchFolder root;
  const TConfigFile config(root.Write("Config.ini", "[INI]\r\nport=8080\r\n"));
  EXPECT_EQ(config.ReadInteger("port"), 8080);
  for (const char *ip : {"127.0.0.1", "0.0.0.0", "192.168.1.20", "all"}) {
    config.Write("ip", ip);
    EXPECT_EQ(config.ReadListenAddress("ip"), ip);
  }
}
