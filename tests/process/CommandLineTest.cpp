#include "process/CommandLine.h"

#include <gtest/gtest.h>

using namespace Base;
using namespace Process;

TEST(CommandLineWord, EveryTextComesBackWholeFromTheSplit)
{
  EXPECT_EQ(CommandLineWord("/my stack/a"), "\"/my stack/a\"");
  EXPECT_EQ(CommandLineWord("say \"hi\""), "\"say \\\"hi\\\"\"");
  EXPECT_EQ(CommandLineWord("a\\"), "\"a\\\\\"");
  for (const std::string text : {"", "plain", "/opt/my \"stack\"/runme", "back\\slash", "ends\\", "\\\"",
                                 "two\\\\\"x", "\t tab and blank ", "\"", "\\\\", "$`'();&|%"}) {
    const std::string line = "/config " + CommandLineWord(text) + " " + CommandLineWord(text + "2");
    EXPECT_EQ(SplitCommandLine(line), (TStringArray{"/config", text, text + "2"})) << line;
  }
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

TEST(SplitCommandLine, BackslashesAreLiteralExceptBeforeAQuote)
{
  EXPECT_EQ(SplitCommandLine("a\\b c\\\\d \"e\\f\""), (TStringArray{"a\\b", "c\\\\d", "e\\f"}));
  EXPECT_EQ(SplitCommandLine("\"a\\\"b\" x"), (TStringArray{"a\"b", "x"}));
  EXPECT_EQ(SplitCommandLine("\"a\\\\\" x"), (TStringArray{"a\\", "x"}));
  EXPECT_EQ(SplitCommandLine("tail\\"), (TStringArray{"tail\\"}));
  EXPECT_EQ(SplitCommandLine("\"--port=3306\" \"--user=root\""),
            (TStringArray{"--port=3306", "--user=root"}));
}
