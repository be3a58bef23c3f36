#include "utils/ReadOnly.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using AppUtils::SetFileReadOnly;
namespace fs = std::filesystem;

static mode_t ModeOf(const fs::path &path)
{
  struct stat st {
  };
  EXPECT_EQ(stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST(SetFileReadOnly, TogglesWriteBitsAndKeepsTheRest)
{
  const fs::path dir = fs::temp_directory_path() / ("ro-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / "a file";
  std::ofstream(file) << "x";
  ASSERT_EQ(chmod(file.c_str(), 0764), 0);

  EXPECT_TRUE(SetFileReadOnly(file.string(), true));
  EXPECT_EQ(ModeOf(file), 0544u);
  EXPECT_TRUE(SetFileReadOnly(file.string(), false));
  EXPECT_EQ(ModeOf(file), 0744u);

  EXPECT_TRUE(SetFileReadOnly(dir.string(), true));
  EXPECT_EQ(ModeOf(dir) & 0222, 0u);
  EXPECT_TRUE(SetFileReadOnly(dir.string(), false));
  EXPECT_NE(ModeOf(dir) & S_IWUSR, 0u);

  EXPECT_FALSE(SetFileReadOnly((dir / "missing").string(), false));
  fs::remove_all(dir);
}
