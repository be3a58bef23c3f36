#include "stack/host/Environment.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

using namespace Host;

namespace
{

// Keeps the variables a test changes and puts them back afterwards.
class EnvironmentTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    for (size_t i = 0; i < Names.size(); ++i) {
      const char *value = getenv(Names[i]);
      saved_[i] = value ? std::optional<std::string>(value) : std::nullopt;
      unsetenv(Names[i]);
    }
  }
  void TearDown() override
  {
    for (size_t i = 0; i < Names.size(); ++i) {
      if (saved_[i])
        setenv(Names[i], saved_[i]->c_str(), 1);
      else
        unsetenv(Names[i]);
    }
  }

  static constexpr std::array<const char *, 6> Names{"LC_ALL",      "LC_MESSAGES", "LANG",
                                                     "OS_LANGUAGE", "PHPRC",       "PHP_INI_SCAN_DIR"};
  std::array<std::optional<std::string>, Names.size()> saved_;
};

// The variable as a child process started through the shell sees it.
std::string SeenByChild(const std::string &name)
{
  FILE *pipe = popen(("printf '%s' \"${" + name + "-unset}\"").c_str(), "r");
  if (pipe == nullptr)
    return "popen failed";
  std::string output;
  char buffer[256];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    output.append(buffer, n);
  pclose(pipe);
  return output;
}

} // namespace

TEST(LanguageTable, LocaleNamesGiveEnglishLanguageNames)
{
  EXPECT_EQ(LanguageNameOfLocale("de_DE.UTF-8"), "German");
  EXPECT_EQ(LanguageNameOfLocale("en_GB"), "English");
  EXPECT_EQ(LanguageNameOfLocale("fr"), "French");
  EXPECT_EQ(LanguageNameOfLocale("pt_BR.ISO-8859-1"), "Portuguese");
  EXPECT_EQ(LanguageNameOfLocale("sr@latin"), "Serbian");
  EXPECT_EQ(LanguageNameOfLocale("ZH_CN.GB18030"), "Chinese");
  EXPECT_EQ(LanguageNameOfLocale("ja_JP.eucJP"), "Japanese");
  EXPECT_EQ(LanguageNameOfLocale("nb_NO.UTF-8"), "Norwegian");
  EXPECT_EQ(LanguageNameOfLocale("uk_UA"), "Ukrainian");
}

TEST(LanguageTable, NeutralAndUnknownLocalesGiveNoName)
{
  EXPECT_EQ(LanguageNameOfLocale("C"), "");
  EXPECT_EQ(LanguageNameOfLocale("C.UTF-8"), "");
  EXPECT_EQ(LanguageNameOfLocale("POSIX"), "");
  EXPECT_EQ(LanguageNameOfLocale(""), "");
  EXPECT_EQ(LanguageNameOfLocale("_DE"), "");
  EXPECT_EQ(LanguageNameOfLocale("xx_YY"), "");
  EXPECT_EQ(LanguageNameOfLocale("german"), "");
}

TEST_F(EnvironmentTest, LanguageComesFromLcAllThenLcMessagesThenLang)
{
  EXPECT_EQ(GetSystemLanguageName(), "");
  setenv("LANG", "es_ES.UTF-8", 1);
  EXPECT_EQ(GetSystemLanguageName(), "Spanish");
  setenv("LC_MESSAGES", "it_IT", 1);
  EXPECT_EQ(GetSystemLanguageName(), "Italian");
  setenv("LC_ALL", "", 1);
  EXPECT_EQ(GetSystemLanguageName(), "Italian");
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  EXPECT_EQ(GetSystemLanguageName(), "German");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(GetSystemLanguageName(), "");
}

TEST_F(EnvironmentTest, LanguageEnvironmentReachesChildren)
{
  setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_TRUE(SetLanguageEnvironment());
  EXPECT_EQ(SeenByChild("OS_LANGUAGE"), "German");
  setenv("LANG", "POSIX", 1);
  EXPECT_TRUE(SetLanguageEnvironment());
  EXPECT_EQ(SeenByChild("OS_LANGUAGE"), "");
}

TEST_F(EnvironmentTest, PhpIniEnvironmentNamesTheFolderAsGiven)
{
  const std::string folder = "/tmp/work folder/it's \"here\"";
  EXPECT_TRUE(SetPhpIniEnvironment(folder));
  EXPECT_EQ(SeenByChild("PHPRC"), folder);
  EXPECT_EQ(SeenByChild("PHP_INI_SCAN_DIR"), "");
}

TEST_F(EnvironmentTest, SetEnvironmentValueRefusesNamesTheEnvironmentCannotHold)
{
  EXPECT_TRUE(SetEnvironmentValue("OS_LANGUAGE", " two  words "));
  EXPECT_EQ(SeenByChild("OS_LANGUAGE"), " two  words ");
  EXPECT_FALSE(SetEnvironmentValue("", "x"));
  EXPECT_FALSE(SetEnvironmentValue("A=B", "x"));
  EXPECT_EQ(getenv("A"), nullptr);
}
