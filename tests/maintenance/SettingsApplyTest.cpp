#include "maintenance/SettingsApply.h"
#include "HelperRole.h"
#include "MaintenanceTestSupport.h"
#include "utils/Ini.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

mode_t ModeOf(const std::string &path)
{
  struct stat st {
  };
  return lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// A private temporary folder and a stand-in launcher that records how it is started.
class SettingsApply : public ::testing::Test
{
protected:
  SettingsApply()
      : tmp(temp.File("tmp")), record(temp.File("record.txt")),
        launcher(CopyTestProgram(temp.File("install/corvala"))),
        config(temp.Write("work/Config.ini", "[INI]\r\ntitle=\"Corvala\"\r\nip=127.0.0.1\r\nport=80\r\n"))
  {
    fs::create_directories(tmp);
  }

  std::string CommandFolder() const { return tmp + "/corvala-" + std::to_string(geteuid()); }

  TestFolder temp{"corvala-settings"};
  std::string tmp;
  std::string record;
  std::string launcher;
  std::string config;
  TEnvOverride tmpdir{"TMPDIR", tmp};
  TEnvOverride role{HelperRoleVariable, "record"};
  TEnvOverride recordFile{RecordFileVariable, record};
};

} // namespace

TEST_F(SettingsApply, WritesTheValuesAndStartsTheCommandCopyWithSetup)
{
  ApplyServerSettings(config, "all", 8080, launcher);

  EXPECT_EQ(AppUtils::ReadIniString(config, "INI", "ip"), "all");
  EXPECT_EQ(AppUtils::ReadIniString(config, "INI", "port"), "8080");
  EXPECT_EQ(AppUtils::ReadIniString(config, "INI", "title"), "Corvala");

  const std::string copy = CommandFolder() + "/ruzu_cmd0.tmp";
  ASSERT_TRUE(WaitUntil([&] { return AppUtils::FileExists(record); }));
  EXPECT_EQ(ReadLines(record), (std::vector<std::string>{copy, "/setup", launcher, copy + ".ini"}));
  EXPECT_EQ(TestSupport::ReadBytes(copy), TestSupport::ReadBytes(launcher));
  EXPECT_EQ(TestSupport::ReadBytes(copy + ".ini"), TestSupport::ReadBytes(config));
  EXPECT_EQ(ModeOf(CommandFolder()), 0700u);
  EXPECT_EQ(ModeOf(copy), 0700u);
  EXPECT_EQ(ModeOf(copy + ".ini"), 0600u);
}

TEST_F(SettingsApply, ReplacesWhatStandsAtAnUnusedCopyNameWithoutWritingThroughIt)
{
  fs::create_directories(CommandFolder());
  const std::string elsewhere = temp.Write("elsewhere.txt", "keep me");
  fs::create_symlink(elsewhere, CommandFolder() + "/ruzu_cmd0.tmp");
  fs::create_symlink(elsewhere, CommandFolder() + "/ruzu_cmd0.tmp.ini");

  ApplyServerSettings(config, "127.0.0.1", 81, launcher);

  ASSERT_TRUE(WaitUntil([&] { return AppUtils::FileExists(record); }));
  EXPECT_EQ(TestSupport::ReadBytes(elsewhere), "keep me");
  EXPECT_FALSE(fs::is_symlink(CommandFolder() + "/ruzu_cmd0.tmp"));
  EXPECT_EQ(TestSupport::ReadBytes(CommandFolder() + "/ruzu_cmd0.tmp.ini"), TestSupport::ReadBytes(config));
}

TEST_F(SettingsApply, CommandFolderIsMadePrivateAndAnUntrustedOneIsRefused)
{
  fs::create_directories(CommandFolder());
  chmod(CommandFolder().c_str(), 0777);
  EXPECT_EQ(GetCommandFolder(), CommandFolder());
  EXPECT_EQ(ModeOf(CommandFolder()), 0700u);

  fs::remove(CommandFolder());
  fs::create_directories(temp.File("decoy"));
  fs::create_directory_symlink(temp.File("decoy"), CommandFolder());
  EXPECT_THROW(GetCommandFolder(), std::runtime_error);
  EXPECT_THROW(ApplyServerSettings(config, "all", 8080, launcher), std::runtime_error);
  EXPECT_TRUE(fs::is_empty(temp.File("decoy")));

  fs::remove(CommandFolder());
  temp.Write("tmp/corvala-" + std::to_string(geteuid()), "a file");
  EXPECT_THROW(GetCommandFolder(), std::runtime_error);

  if (geteuid() == 0) {
    fs::remove(CommandFolder());
    fs::create_directories(CommandFolder());
    ASSERT_EQ(chown(CommandFolder().c_str(), 65534, 65534), 0);
    EXPECT_THROW(GetCommandFolder(), std::runtime_error);
  }
}

TEST_F(SettingsApply, AConfigurationThatCannotBeWrittenStartsNothing)
{
  const std::string missing = temp.File("gone/Config.ini");
  EXPECT_THROW(ApplyServerSettings(missing, "all", 8080, launcher), std::runtime_error);
  EXPECT_FALSE(fs::exists(CommandFolder() + "/ruzu_cmd0.tmp"));
  EXPECT_FALSE(fs::exists(record));
}

TEST_F(SettingsApply, AProgramThatCannotBeCopiedIsReportedAndNotStarted)
{
  EXPECT_THROW(ApplyServerSettings(config, "all", 8080, temp.File("no-such-launcher")), std::runtime_error);
  EXPECT_FALSE(fs::exists(record));
}
