#include "process/CommandLine.h"

#include <gtest/gtest.h>

using namespace Base;
using namespace Process;

TEST(BuildCommandLine, QuotesTheCleanedProgramOnce)
{
  EXPECT_EQ(BuildCommandLine("/x/a", "-f b"), "\"/x/a\" -f b");
  EXPECT_EQ(BuildCommandLine("/x/a", ""), "\"/x/a\" ");
  EXPECT_EQ(BuildCommandLine("\"/my \"stack\"/a\"", "-f \"/c d\""), "\"/my stack/a\" -f \"/c d\"");
}

TEST(SplitCommandLine, BlanksAndControlCharactersSeparateOutsideQuotes)
{
  EXPECT_EQ(SplitCommandLine("  a\tb\r\n c\x01"
                             "d  "),
            (TStringArray{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitCommandLine("\"a\tb c\""), (TStringArray{"a\tb c"}));
  EXPECT_TRUE(SplitCommandLine("").empty());
  EXPECT_TRUE(SplitCommandLine(" \t\n").empty());
  EXPECT_EQ(SplitCommandLine("caf\xC3\xA9 x\x7Fy"), (TStringArray{"caf\xC3\xA9", "x\x7Fy"}));
}

TEST(SplitCommandLine, QuotesGroupAndAreRemoved)
{
  EXPECT_EQ(SplitCommandLine("ab\"c d\"e f"), (TStringArray{"abc de", "f"}));
  EXPECT_EQ(SplitCommandLine("a \"\" b"), (TStringArray{"a", "", "b"}));
  EXPECT_EQ(SplitCommandLine("a \"b c"), (TStringArray{"a", "b c"}));
  EXPECT_EQ(SplitCommandLine("\"\"\"\"x"), (TStringArray{"x"}));
}

TEST(SplitCommandLine, NulEndsTheCommandLine)
{
  EXPECT_EQ(SplitCommandLine(std::string("x \"a\0b\" c", 9)), (TStringArray{"x", "a"}));
}

TEST(SplitCommandLine, ReadsBackTheLaunchersOwnCommandLines)
{
  const std::string line =
      BuildCommandLine("/opt/my stack/runme", "/config \"/opt/my stack/runme\" \"/tmp/w/Config.ini\"");
  EXPECT_EQ(SplitCommandLine(line),
            (TStringArray{"/opt/my stack/runme", "/config", "/opt/my stack/runme", "/tmp/w/Config.ini"}));
  EXPECT_EQ(SplitCommandLine(BuildCommandLine("/bin/mysqld", "\"--port=3306\" \"--user=root\"")),
            (TStringArray{"/bin/mysqld", "--port=3306", "--user=root"}));
  EXPECT_EQ(SplitCommandLine(BuildCommandLine("/a b/c", "")), (TStringArray{"/a b/c"}));
}
