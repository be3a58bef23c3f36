#include "stack/host/WorkFolder.h"

#include "digest/Md5.h"
#include "files/Paths.h"

#include "support/TestSupport.h"

#include <cstdlib>
#include <stdexcept>

using namespace Files;
using namespace Digest;
using namespace Host;
using namespace TestSupport;

namespace
{

// Runs GetTempWorkFolder and gives the error text, empty when it did not throw.
std::string ErrorOf()
{
  try {
    GetTempWorkFolder();
  } catch (const std::runtime_error &error) {
    return error.what();
  }
  return {};
}

} // namespace

TEST(WorkFolder, PathIsTheTemporaryFolderAndTheProgramDigest)
{
  TScratchFolder scratch;
  const TTmpDirOverride tmp(scratch.Path().string() + "/");
  EXPECT_EQ(WorkFolderPathFor("/opt/a/runme"), scratch.File(Md5Hex("/opt/a/runme")));
  EXPECT_NE(WorkFolderPathFor("/opt/a/runme"), WorkFolderPathFor("/opt/b/runme"));
  EXPECT_EQ(WorkFolderPathFor(GetProgramPath()), scratch.File(Md5Hex()));
  EXPECT_FALSE(Exists(WorkFolderPathFor(GetProgramPath())));
}

TEST(WorkFolder, CreatedPrivateAndFoundAgain)
{
  TScratchFolder scratch;
  const TTmpDirOverride tmp(scratch.Path().string());
  const mode_t oldMask = umask(0);
  const std::string folder = GetTempWorkFolder();
  umask(oldMask);

  EXPECT_EQ(folder, scratch.File(Md5Hex()));
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(ModeOf(folder), 0700);
  WriteBytes(folder + "/Config.ini", "[INI]\n");
  EXPECT_EQ(GetTempWorkFolder(), folder);
  EXPECT_EQ(ReadBytes(folder + "/Config.ini"), "[INI]\n");
}

TEST(WorkFolder, RefusesSymlinksFilesAndMissingParents)
{
  TScratchFolder scratch;
  const TTmpDirOverride tmp(scratch.Path().string());
  const std::string path = WorkFolderPathFor(GetProgramPath());

  fs::create_directory(scratch.File("elsewhere"));
  fs::create_directory_symlink(scratch.File("elsewhere"), path);
  std::string error = ErrorOf();
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
  fs::remove(path);

  WriteBytes(path, "not a folder");
  error = ErrorOf();
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_NE(error.find("not a folder"), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(path), "not a folder");

  const TTmpDirOverride missing(scratch.File("no such temp"));
  error = ErrorOf();
  EXPECT_NE(error.find(scratch.File("no such temp")), std::string::npos) << error;
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST(WorkFolder, RefusesAFolderOfAnotherUser)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to hand the folder to another user";
  TScratchFolder scratch;
  const TTmpDirOverride tmp(scratch.Path().string());
  const std::string path = WorkFolderPathFor(GetProgramPath());
  fs::create_directory(path);
  ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);

  // The name is fixed; the message says how to start anyway.
  const std::string error = ErrorOf();
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_NE(error.find("another user"), std::string::npos) << error;
  EXPECT_NE(error.find("start the program with TMPDIR set to a private folder of yours"), std::string::npos)
      << error;
}

namespace
{

// CheckWorkFolderWritable's error text, empty when it did not throw.
std::string WritableErrorOf(const std::string &folder)
{
  try {
    CheckWorkFolderWritable(folder);
  } catch (const std::runtime_error &error) {
    return error.what();
  }
  return {};
}

} // namespace

TEST(WorkFolder, AFolderThatCannotBeWrittenIsReportedWithTheWayOut)
{
  TScratchFolder scratch;
  const TTmpDirOverride tmp(scratch.Path().string());
  const std::string folder = GetTempWorkFolder();
  EXPECT_EQ(WritableErrorOf(folder), "");
  EXPECT_TRUE(fs::is_empty(folder));

  // Root writes into any folder: a full disk is a small file system of its own.
  if (geteuid() != 0) {
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    const std::string error = WritableErrorOf(folder);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_NE(error.find("\"" + folder + "\" cannot be written: Permission denied"), std::string::npos)
        << error;
    EXPECT_NE(error.find("TMPDIR"), std::string::npos) << error;
    return;
  }
  const std::string disk = scratch.File("small disk");
  fs::create_directory(disk);
  if (std::system(("mount -t tmpfs -o size=1m tmpfs '" + disk + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "cannot mount a small file system here";
  const std::string error = WritableErrorOf(disk);
  std::system(("umount '" + disk + "'").c_str());
  EXPECT_NE(error.find("\"" + disk + "\" cannot be written"), std::string::npos) << error;
  EXPECT_NE(error.find("TMPDIR"), std::string::npos) << error;
}
