#include "stack/PrivateMode.h"
#include "stack/ApacheConfig.h"

#include "utils/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Corvala;
using namespace TestSupport;

TEST(PrivateMode, OnOnlyForOneSoAMissingKeyKeepsTheOpenDefault)
{
  EXPECT_TRUE(IsPrivateModeOn("1"));
  for (const char *value : {"", "0", "yes", " 1", "true"})
    EXPECT_FALSE(IsPrivateModeOn(value)) << value;
}

TEST(PrivateMode, KeysAreFreshHexadecimalNumbers)
{
  const std::string first = NewRandomKey();
  EXPECT_EQ(first.size(), 32u);
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(first, NewRandomKey());
}

// The password lives with the user's configuration (which survives a log-out), per installation.
TEST(PrivateMode, RootPasswordIsMadeOnceAndKeptPrivate)
{
  TScratchFolder root;
  const char *saved = std::getenv("XDG_CONFIG_HOME");
  const std::string before = saved != nullptr ? saved : "";
  setenv("XDG_CONFIG_HOME", root.File("config").c_str(), 1);
  const std::string path = MySqlRootPasswordPath("/opt/stack/corvala");
  EXPECT_EQ(path.rfind(root.File("config/corvala/"), 0), 0u) << path;
  EXPECT_NE(path, MySqlRootPasswordPath("/opt/other/corvala"));

  const std::string password = ReadOrCreateMySqlRootPassword(path);
  EXPECT_EQ(password.size(), 32u);
  EXPECT_EQ(ReadOrCreateMySqlRootPassword(path), password);
  struct stat st {
  };
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  for (const std::string &folder : {root.File("config/corvala"), path.substr(0, path.rfind('/'))}) {
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
  }
  // An emptied file gets a new password; a folder others could enter is made private again.
  root.Write(path.substr(root.Path().string().size() + 1), "");
  chmod(root.File("config/corvala").c_str(), 0755);
  EXPECT_NE(ReadOrCreateMySqlRootPassword(path), password);
  ASSERT_EQ(stat(root.File("config/corvala").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  if (saved != nullptr)
    setenv("XDG_CONFIG_HOME", before.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

TEST(PrivateMode, ApacheWantsTheKeyOnlyWhenOneIsSet)
{
  TStackSetup setup;
  setup.appPath = "/opt/s/";
  setup.binFolder = "/opt/s/bin";
  setup.workFolder = "/tmp/w";
  setup.ip = "127.0.0.1";
  setup.apachePort = 8080;
  const std::string open = ApacheConfigText(setup);
  EXPECT_EQ(open.find("corvala_key"), std::string::npos);
  setup.siteKey = "0123456789abcdef0123456789abcdef";
  const std::string rules = SiteKeyRules(setup.siteKey);
  EXPECT_EQ(ApacheConfigText(setup), open + rules);
  EXPECT_NE(rules.find("RewriteRule ^ - [F]"), std::string::npos);
  EXPECT_NE(rules.find("CO=corvala_key:" + setup.siteKey + ":"), std::string::npos);
  EXPECT_THROW(SiteKeyRules("0123 \" x"), std::runtime_error);
}
