#include "files/TempFolder.h"

#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/file.h>

using namespace Files;
using namespace TestSupport;

TEST(GetTempFolder, FollowsTmpDirWithoutTrailingSlash)
{
  {
    const TTmpDirOverride tmp("/var/tmp/some where//");
    EXPECT_EQ(GetTempFolder(), "/var/tmp/some where");
  }
  {
    const TTmpDirOverride tmp("");
    EXPECT_EQ(GetTempFolder(), "/tmp");
  }
  const TTmpDirOverride tmp("x");
  unsetenv("TMPDIR");
  EXPECT_EQ(GetTempFolder(), "/tmp");
}

TEST(MakeUniqueTempFileName, SkipsLockedFilesOnly)
{
  TScratchFolder scratch;
  const std::string folder = scratch.File("dist folder");
  fs::create_directory(folder);
  EXPECT_EQ(MakeUniqueTempFileName("P", folder, 0, ".tmp"), folder + "/P0.tmp");

  WriteBytes(folder + "/P0.tmp", "unlocked");
  EXPECT_EQ(MakeUniqueTempFileName("P", folder, 0, ".tmp"), folder + "/P0.tmp");

  ASSERT_EQ(chmod((folder + "/P0.tmp").c_str(), 0444), 0);
  EXPECT_EQ(MakeUniqueTempFileName("P", folder, 0, ".tmp"), folder + "/P1.tmp");

  WriteBytes(folder + "/P1.tmp", "");
  const int fd = open((folder + "/P1.tmp").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  EXPECT_EQ(MakeUniqueTempFileName("P", folder, 0, ".tmp"), folder + "/P2.tmp");
  close(fd);
  EXPECT_EQ(MakeUniqueTempFileName("P", folder, 0, ".tmp"), folder + "/P1.tmp");
  EXPECT_EQ(MakeUniqueTempFileName("ruzu_cmd", folder, 7, ".tmp"), folder + "/ruzu_cmd7.tmp");
}

TEST(MakeUniqueTempFileName, EmptyOrMissingFolderUsesTheTemporaryFolder)
{
  TScratchFolder scratch;
  const TTmpDirOverride tmp(scratch.Path().string() + "/");
  EXPECT_EQ(MakeUniqueTempFileName("P", "", 0, ".tmp"), scratch.File("P0.tmp"));
  EXPECT_EQ(MakeUniqueTempFileName("P", scratch.File("missing"), 3, ""), scratch.File("P3"));
  WriteBytes(scratch.File("a file"), "");
  EXPECT_EQ(MakeUniqueTempFileName("P", scratch.File("a file"), 0, ".x"), scratch.File("P0.x"));
}
