#include "maintenance/SettingsApply.h"
#include "HelperRole.h"
#include "MaintenanceTestSupport.h"
#include "digest/Md5.h"
#include "ini/Ini.h"
#include "support/WaitUntil.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using TestSupport::WaitUntil;
using namespace std::chrono_literals;

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

  std::string CommandFolder() const { return tmp + "/corvala/" + Digest::Md5Hex(launcher); }

  TestFolder temp{"corvala-settings"};
  std::string tmp;
  std::string record;
  std::string launcher;
  std::string config;
  TEnvOverride tmpdir{"TMPDIR", tmp};
  // The user's runtime folder comes first for the command copies.
  TEnvOverride runtime{"XDG_RUNTIME_DIR", tmp};
  TEnvOverride role{HelperRoleVariable, "record"};
  TEnvOverride recordFile{RecordFileVariable, record};
};

} // namespace

TEST_F(SettingsApply, WritesTheValuesAndStartsTheCommandCopyWithSetup)
{
  ApplyServerSettings(config, {"all", 8080, false, true, true}, launcher);

  EXPECT_EQ(Ini::ReadIniString(config, "INI", "ip"), "all");
  EXPECT_EQ(Ini::ReadIniString(config, "INI", "port"), "8080");
  EXPECT_EQ(Ini::ReadIniString(config, "INI", "innodb"), "0");
  EXPECT_EQ(Ini::ReadIniString(config, "INI", "privatemode"), "1");
  EXPECT_EQ(Ini::ReadIniString(config, "INI", "xdebug"), "1");
  EXPECT_EQ(Ini::ReadIniString(config, "INI", "title"), "Corvala");

  const std::string copy = CommandFolder() + "/ruzu_cmd0.tmp";
  ASSERT_TRUE(WaitUntil([&] { return Files::FileExists(record); }, 60s, "the restart's record"));
  EXPECT_EQ(ReadLines(record), (std::vector<std::string>{copy, "/setup", launcher, copy + ".ini"}));
  EXPECT_EQ(TestSupport::ReadBytes(copy), TestSupport::ReadBytes(launcher));
  EXPECT_EQ(TestSupport::ReadBytes(copy + ".ini"), TestSupport::ReadBytes(config));
  EXPECT_EQ(ModeOf(CommandFolder()), 0700u);
  EXPECT_EQ(ModeOf(copy), 0700u);
  EXPECT_EQ(ModeOf(copy + ".ini"), 0600u);
  // The copy finds the installation's bundled libraries through its folder's "bin", as the program does.
  EXPECT_EQ(fs::read_symlink(CommandFolder() + "/bin"), fs::path(temp.File("install/bin")));
}

TEST_F(SettingsApply, ReplacesWhatStandsAtAnUnusedCopyNameWithoutWritingThroughIt)
{
  fs::create_directories(CommandFolder());
  const std::string elsewhere = temp.Write("elsewhere.txt", "keep me");
  fs::create_symlink(elsewhere, CommandFolder() + "/ruzu_cmd0.tmp");
  fs::create_symlink(elsewhere, CommandFolder() + "/ruzu_cmd0.tmp.ini");

  ApplyServerSettings(config, {"127.0.0.1", 81, true, false}, launcher);
  EXPECT_EQ(Ini::ReadIniString(config, "INI", "innodb"), "1");
  EXPECT_EQ(Ini::ReadIniString(config, "INI", "privatemode"), "0");
  EXPECT_EQ(Ini::ReadIniString(config, "INI", "xdebug"), "0");

  ASSERT_TRUE(WaitUntil([&] { return Files::FileExists(record); }, 60s, "the restart's record"));
  EXPECT_EQ(TestSupport::ReadBytes(elsewhere), "keep me");
  EXPECT_FALSE(fs::is_symlink(CommandFolder() + "/ruzu_cmd0.tmp"));
  EXPECT_EQ(TestSupport::ReadBytes(CommandFolder() + "/ruzu_cmd0.tmp.ini"), TestSupport::ReadBytes(config));
}

TEST_F(SettingsApply, CommandFolderIsMadePrivateAndAnUntrustedOneIsRefused)
{
  fs::create_directories(CommandFolder());
  chmod(CommandFolder().c_str(), 0777);
  // A link left by an earlier command, pointing elsewhere, is replaced.
  fs::create_directory_symlink(temp.File("elsewhere"), CommandFolder() + "/bin");
  EXPECT_EQ(GetCommandFolder(launcher), CommandFolder());
  EXPECT_EQ(ModeOf(CommandFolder()), 0700u);
  EXPECT_EQ(fs::read_symlink(CommandFolder() + "/bin"), fs::path(temp.File("install/bin")));

  // Something that is not a link where "bin" belongs is not ours to remove.
  fs::remove(CommandFolder() + "/bin");
  fs::create_directories(CommandFolder() + "/bin/keep");
  EXPECT_THROW(GetCommandFolder(launcher), std::runtime_error);
  EXPECT_TRUE(fs::exists(CommandFolder() + "/bin/keep"));

  fs::remove_all(CommandFolder());
  fs::create_directories(temp.File("decoy"));
  fs::create_directory_symlink(temp.File("decoy"), CommandFolder());
  EXPECT_THROW(GetCommandFolder(launcher), std::runtime_error);
  EXPECT_THROW(ApplyServerSettings(config, {"all", 8080, true, false}, launcher), std::runtime_error);
  EXPECT_TRUE(fs::is_empty(temp.File("decoy")));

  fs::remove(CommandFolder());
  temp.Write("tmp/corvala/" + Digest::Md5Hex(launcher), "a file");
  EXPECT_THROW(GetCommandFolder(launcher), std::runtime_error);

  if (geteuid() == 0) {
    fs::remove(CommandFolder());
    fs::create_directories(CommandFolder());
    ASSERT_EQ(chown(CommandFolder().c_str(), 65534, 65534), 0);
    EXPECT_THROW(GetCommandFolder(launcher), std::runtime_error);
  }
}

namespace
{

// Runs Apply as a normal desktop user (the user nobody when the tests run as root) in a child
// process; gives the error text it raised, or "no error".
std::string RaisedAsNormalUser(const std::function<void()> &apply)
{
  int fds[2];
  if (pipe(fds) != 0)
    return "pipe failed";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string text = "no error";
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
      text = "cannot become nobody";
    else
      try {
        apply();
      } catch (const std::exception &error) {
        text = error.what();
      }
    _exit(write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string text;
  char chunk[512];
  for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;)
    text.append(chunk, static_cast<size_t>(n));
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return text;
}

} // namespace

// Root-owned under /opt, or in a folder the user cannot write: "/setup" could never replace the
// file, so the change is refused up front and the launcher keeps running on its settings.
TEST_F(SettingsApply, AProgramThatCannotBeRewrittenIsRefusedBeforeAnythingChanges)
{
  const bool root = geteuid() == 0;
  // Nobody must be able to reach the files the child looks at.
  chmod(temp.File("").c_str(), 0755);
  const std::string before = TestSupport::ReadBytes(config);

  // The user's own program file in a folder the user cannot write.
  const std::string lockedIn = CopyTestProgram(temp.File("locked-in/corvala"));
  if (root) {
    ASSERT_EQ(chown(lockedIn.c_str(), 65534, 65534), 0);
  }
  chmod(temp.File("locked-in").c_str(), 0555);
  const std::string folderError = RaisedAsNormalUser([&] {
    ApplyServerSettings(config, {"all", 8080, true, false}, lockedIn);
  });
  EXPECT_NE(folderError.find("The server settings cannot be saved: the folder \"" + temp.File("locked-in") +
                             "\" does not let its program file be replaced"),
            std::string::npos)
      << folderError;

  if (root) {
    // Someone else's program file, not writable for the user, in a folder the user may write.
    const std::string foreign = CopyTestProgram(temp.File("foreign/corvala"));
    chmod(foreign.c_str(), 0755);
    ASSERT_EQ(chown(temp.File("foreign").c_str(), 65534, 65534), 0);
    const std::string fileError = RaisedAsNormalUser([&] {
      ApplyServerSettings(config, {"all", 8080, true, false}, foreign);
    });
    EXPECT_NE(fileError.find("\"" + foreign + "\" cannot be rewritten by this user"), std::string::npos)
        << fileError;
  }

  EXPECT_EQ(TestSupport::ReadBytes(config), before);
  EXPECT_FALSE(fs::exists(record));
  chmod(temp.File("locked-in").c_str(), 0755);
}

TEST_F(SettingsApply, AConfigurationThatCannotBeWrittenStartsNothing)
{
  const std::string missing = temp.File("gone/Config.ini");
  EXPECT_THROW(ApplyServerSettings(missing, {"all", 8080, true, false}, launcher), std::runtime_error);
  EXPECT_FALSE(fs::exists(CommandFolder() + "/ruzu_cmd0.tmp"));
  EXPECT_FALSE(fs::exists(record));
}

TEST_F(SettingsApply, AProgramThatCannotBeCopiedIsReportedAndNotStarted)
{
  EXPECT_THROW(ApplyServerSettings(config, {"all", 8080, true, false}, temp.File("no-such-launcher")),
               std::runtime_error);
  EXPECT_FALSE(fs::exists(record));
}
