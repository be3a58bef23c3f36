#include "files/Paths.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Files;

TEST(Paths, AppFolderForms)
{
  EXPECT_EQ(AppDirOf("/opt/Stack/launcher"), "/opt/Stack");
  EXPECT_EQ(AppPathOf("/opt/Stack/launcher"), "/opt/Stack/");
  EXPECT_EQ(AppDirOf("/launcher"), "/");
  EXPECT_EQ(AppPathOf("/launcher"), "/");
  EXPECT_EQ(AppPathOf("/my stack/\"q\"/run me"), "/my stack/\"q\"/");
}

TEST(Paths, RunningProgramIsThisTest)
{
  const std::string program = GetProgramPath();
  EXPECT_EQ(program, std::filesystem::canonical("/proc/self/exe").string());
  EXPECT_EQ(GetAppPath(), GetAppDir() + "/");
}

TEST(Paths, ExpandFromAppDirMakesTheAppFolderCurrent)
{
  ASSERT_EQ(chdir("/tmp"), 0);
  EXPECT_EQ(ExpandFromAppDir("bin/php"), GetAppDir() + "/bin/php");
  EXPECT_EQ(std::filesystem::current_path().string(), GetAppDir());
  EXPECT_EQ(ExpandFromAppDir("./a/../b/./c"), GetAppDir() + "/b/c");
  EXPECT_EQ(ExpandFromAppDir("/x/y/../z"), "/x/z");
  EXPECT_EQ(FullPathName("/../.."), "/");
}

TEST(Paths, ExistenceRules)
{
  EXPECT_TRUE(FileExists(GetProgramPath()));
  EXPECT_FALSE(DirectoryExists(GetProgramPath()));
  EXPECT_TRUE(DirectoryExists(GetAppDir()));
  EXPECT_FALSE(FileExists(GetAppDir()));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(DirectoryExists("/no/such/folder"));

  // A device or FIFO is a file, but no regular one.
  TestSupport::TScratchFolder folder;
  const std::string fifo = (folder.Path() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(RegularFileExists(GetProgramPath()));
  for (const std::string &special : {fifo, std::string("/dev/zero")}) {
    EXPECT_TRUE(FileExists(special)) << special;
    EXPECT_FALSE(RegularFileExists(special)) << special;
  }
  EXPECT_FALSE(RegularFileExists(GetAppDir()));
  EXPECT_FALSE(RegularFileExists(""));
  EXPECT_FALSE(RegularFileExists(fifo + "/missing"));
}
