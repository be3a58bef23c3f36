#include "process/WriteConfinement.h"
#include "process/Process.h"

#include "support/TestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Base;
using namespace Process;
using namespace TestSupport;

namespace
{

// Tries every kind of write in the folder given first, where it is allowed, and in the second,
// where it is not: the outcome is read from the folders afterwards. The truncation is the path's
// (truncate(2)), which opens nothing for writing. No redirection to /dev/null: that is a write
// outside the rules too.
constexpr char Probe[] = R"(inside=$1 outside=$2
echo in > "$inside/created"
mkdir "$inside/made"
mv "$inside/moving" "$inside/made/moved"
rm "$inside/doomed"
echo new > "$outside/created"
echo more >> "$outside/kept"
perl -e 'truncate($ARGV[0], 1) or die "truncate: $!\n"' "$outside/kept"
mv "$outside/kept" "$outside/renamed"
mv "$outside/kept" "$inside/stolen"
mv "$inside/stays" "$outside/planted"
ln "$inside/stays" "$outside/hard link"
ln -s "$inside/stays" "$outside/symbolic link"
mkfifo "$outside/fifo"
mkdir "$outside/made"
rmdir "$outside/empty"
rm "$outside/kept"
exit 0
)";

class WriteConfinementTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    abi = LandlockAbi();
    if (abi == 0)
      GTEST_SKIP() << "this kernel has no Landlock";
    WriteBytes(root / "probe.sh", Probe);
  }

  // A fresh pair of folders for one run of the probe.
  void PreparePair(const fs::path &inside, const fs::path &outside) const
  {
    fs::create_directories(inside);
    fs::create_directories(outside / "empty");
    WriteBytes(inside / "moving", "moving\n");
    WriteBytes(inside / "doomed", "doomed\n");
    WriteBytes(inside / "stays", "stays\n");
    WriteBytes(outside / "kept", "kept\n");
  }

  TChildEnd RunProbe(const fs::path &inside, const fs::path &outside, int writeRules) const
  {
    return StartProcessAndWait("/bin/sh",
                               "\"" + (root / "probe.sh").string() + "\" \"" + inside.string() + "\" \"" +
                                   outside.string() + "\"",
                               TShowCommand::Hide, "", {.captureErrors = true, .writeRules = writeRules});
  }

  // A move into another folder inside the rules is a rename, not mv's copy after a refusal: a
  // server renames its files between folders and knows no other way. Landlock's first version
  // refuses every such rename.
  void ExpectWrittenInside(const fs::path &inside, ino_t movingFile) const
  {
    EXPECT_EQ(ReadBytes(inside / "created"), "in\n");
    EXPECT_EQ(ReadBytes(inside / "made/moved"), "moving\n");
    if (abi >= 2) {
      EXPECT_EQ(InodeOf(inside / "made/moved"), movingFile);
    }
    EXPECT_FALSE(Exists(inside / "moving"));
    EXPECT_FALSE(Exists(inside / "doomed"));
  }

  static ino_t InodeOf(const fs::path &path)
  {
    struct stat status {
    };
    return lstat(path.c_str(), &status) == 0 ? status.st_ino : 0;
  }

  // Truncating a path confines from Landlock's third version on.
  void ExpectOutsideUntouched(const fs::path &inside, const fs::path &outside) const
  {
    EXPECT_EQ(ReadBytes(outside / "kept"), abi >= 3 ? "kept\n" : "k");
    EXPECT_TRUE(fs::is_directory(outside / "empty"));
    EXPECT_EQ(ReadBytes(inside / "stays"), "stays\n");
    EXPECT_FALSE(Exists(inside / "stolen"));
    for (const char *name : {"created", "renamed", "planted", "hard link", "symbolic link", "fifo", "made"})
      EXPECT_FALSE(Exists(outside / name)) << name;
  }

  int abi = 0;
  const TScratchFolder scratch{"corvala confinement"};
  const fs::path root = scratch.Path();
};

// Run as root (as CI runs), nothing but the rules stands in the way of the writes outside.
TEST_F(WriteConfinementTest, AChildWritesBeneathItsFoldersAndNowhereElse)
{
  PreparePair(root / "a", root / "b");
  const ino_t moving = InodeOf(root / "a/moving");
  const TWriteConfinement rules = TWriteConfinement::Beneath({(root / "a").string()});
  ASSERT_TRUE(rules.Available()) << rules.Reason();
  EXPECT_EQ(rules.Reason(), "");

  const TChildEnd end = RunProbe(root / "a", root / "b", rules.Descriptor());
  ASSERT_TRUE(end.Succeeded()) << end.errors;
  ExpectWrittenInside(root / "a", moving);
  ExpectOutsideUntouched(root / "a", root / "b");
  EXPECT_NE(end.errors.find("Permission denied"), std::string::npos) << end.errors;

  // The same probe without the rules changes the other folder: the denials above were the rules'.
  PreparePair(root / "c", root / "d");
  ASSERT_TRUE(RunProbe(root / "c", root / "d", -1).Succeeded());
  EXPECT_EQ(ReadBytes(root / "d/created"), "new\n");
  EXPECT_FALSE(Exists(root / "d/kept"));
  EXPECT_TRUE(Exists(root / "d/planted"));
}

TEST_F(WriteConfinementTest, AnOrdinaryUserIsConfinedAlike)
{
  const fs::path home = root / "home";
  PreparePair(home / "a", home / "b");
  const ino_t moving = InodeOf(home / "a/moving");
  if (geteuid() == 0) {
    // The scratch folder is root's; the folders of the run become nobody's, who may then write
    // both but for the rules.
    fs::permissions(root, fs::perms::others_exec, fs::perm_options::add);
    GiveToNobody(home);
    const int exitCode = RunAsNobody([&] {
      const TWriteConfinement rules = TWriteConfinement::Beneath({(home / "a").string()});
      return rules.Available() && RunProbe(home / "a", home / "b", rules.Descriptor()).Succeeded() ? 1 : 0;
    });
    ASSERT_EQ(exitCode, 1);
  } else {
    const TWriteConfinement rules = TWriteConfinement::Beneath({(home / "a").string()});
    ASSERT_TRUE(RunProbe(home / "a", home / "b", rules.Descriptor()).Succeeded());
  }
  ExpectWrittenInside(home / "a", moving);
  ExpectOutsideUntouched(home / "a", home / "b");
}

TEST_F(WriteConfinementTest, AFileRuleAllowsWritingThatFileOnly)
{
  fs::create_directories(root / "files");
  WriteBytes(root / "files/allowed", "");
  const TWriteConfinement rules = TWriteConfinement::Beneath({(root / "files/allowed").string()});
  ASSERT_TRUE(rules.Available());

  const TChildEnd end = StartProcessAndWait(
      "/bin/sh",
      "-c \"echo line >> '" + (root / "files/allowed").string() + "'; echo line > '" +
          (root / "files/other").string() + "'; rm '" + (root / "files/allowed").string() + "'; exit 0\"",
      TShowCommand::Hide, "", {.captureErrors = true, .writeRules = rules.Descriptor()});
  ASSERT_TRUE(end.Succeeded()) << end.errors;
  EXPECT_EQ(ReadBytes(root / "files/allowed"), "line\n");
  EXPECT_FALSE(Exists(root / "files/other"));
}

TEST_F(WriteConfinementTest, APathThatCannotBeOpenedIsAnErrorThatNamesIt)
{
  const std::string missing = (root / "no such folder").string();
  try {
    TWriteConfinement::Beneath({root.string(), missing});
    FAIL() << "no error for a missing folder";
  } catch (const std::runtime_error &error) {
    EXPECT_EQ(std::string(error.what()),
              "Writes cannot be allowed beneath \"" + missing + "\": No such file or directory");
  }
}

TEST_F(WriteConfinementTest, TheRulesCloseWithTheirObjectAndMoveWithIt)
{
  int descriptor = -1;
  {
    TWriteConfinement rules = TWriteConfinement::Beneath({root.string()});
    descriptor = rules.Descriptor();
    ASSERT_GE(descriptor, 0);
    const TWriteConfinement moved = std::move(rules);
    EXPECT_EQ(moved.Descriptor(), descriptor);
    EXPECT_FALSE(rules.Available());
    EXPECT_GE(fcntl(descriptor, F_GETFD), 0);
  }
  errno = 0;
  EXPECT_EQ(fcntl(descriptor, F_GETFD), -1);
  EXPECT_EQ(errno, EBADF);
}

} // namespace

TEST(WriteConfinement, UnavailableRulesSayWhyAndHaveNoDescriptor)
{
  const TWriteConfinement none = TWriteConfinement::Unavailable("this kernel has no Landlock");
  EXPECT_FALSE(none.Available());
  EXPECT_EQ(none.Descriptor(), -1);
  EXPECT_EQ(none.Reason(), "this kernel has no Landlock");
}

// Whatever the kernel: a start whose restriction fails gives 0 and the program never runs. A
// descriptor that is no ruleset makes the kernel refuse it (EBADFD; ENOSYS without Landlock).
TEST(WriteConfinement, AStartWhoseRestrictionFailsNeverRunsTheProgram)
{
  const TScratchFolder scratch("corvala confinement");
  const std::string marker = scratch.File("ran");
  const int notARuleset = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(notARuleset, 0);

  const std::string command = "-c \"echo ran > '" + marker + "'\"";
  const TProcessId id = StartProcess("/bin/sh", command, TShowCommand::Hide, "", {.writeRules = notARuleset});
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(LastStartError().rfind("its writes could not be confined with Landlock (", 0), 0u)
      << LastStartError();
  const TChildEnd end =
      StartProcessAndWait("/bin/sh", command, TShowCommand::Hide, "", {.writeRules = notARuleset});
  EXPECT_FALSE(end.started);
  EXPECT_EQ(LastStartError().rfind("its writes could not be confined with Landlock (", 0), 0u)
      << LastStartError();
  close(notARuleset);
  EXPECT_FALSE(Exists(marker));
  // The failed children were collected.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}
