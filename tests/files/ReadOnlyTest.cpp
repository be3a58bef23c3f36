#include "files/ReadOnly.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using Files::SetFileReadOnly;
using namespace TestSupport;

TEST(SetFileReadOnly, TogglesWriteBitsAndKeepsTheRest)
{
  const TScratchFolder scratch;
  const fs::path dir = scratch.Path();
  const fs::path file = scratch.Write("a file", "x");
  ASSERT_EQ(chmod(file.c_str(), 0764), 0);

  EXPECT_TRUE(SetFileReadOnly(file.string(), true));
  EXPECT_EQ(ModeOf(file), 0544);
  EXPECT_TRUE(SetFileReadOnly(file.string(), false));
  EXPECT_EQ(ModeOf(file), 0744);

  EXPECT_TRUE(SetFileReadOnly(dir.string(), true));
  EXPECT_EQ(ModeOf(dir) & 0222, 0);
  EXPECT_TRUE(SetFileReadOnly(dir.string(), false));
  EXPECT_NE(ModeOf(dir) & S_IWUSR, 0);

  EXPECT_FALSE(SetFileReadOnly(scratch.File("missing"), false));
}
