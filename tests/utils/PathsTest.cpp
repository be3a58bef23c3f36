#include "utils/Paths.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace AppUtils;

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
}
