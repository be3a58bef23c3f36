#include "ini/Ini.h"

#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

using namespace Base;
using namespace Ini;
using namespace std::string_literals;
using namespace TestSupport;

namespace
{

std::string WriteErrorOf(const std::string &file)
{
  try {
    WriteIniString(file, "INI", "port", "80");
  } catch (const std::runtime_error &error) {
    return error.what();
  }
  return "no error";
}

} // namespace

TEST(Ini, ValuesAreTrimmedAndLoseOneEnclosingPairOfQuotes)
{
  TScratchFolder dir;
  const std::string file = dir.File("Config.ini");
  WriteBytes(file, "[INI]\r\n"
                   "port=  80  \r\n"
                   "title=\"My Program\"\r\n"
                   "single = 'it' \r\n"
                   "mixed=\"a'\r\n"
                   "lone=\"\r\n"
                   "twice=\"\"x\"\"\r\n"
                   "inner= \"  x  \" \r\n"
                   "empty=\r\n"
                   "equals=a=b ; not a comment\r\n");
  EXPECT_EQ(ReadIniString(file, "ini", "PORT"), "80");
  EXPECT_EQ(ReadIniString(file, "Ini", "title"), "My Program");
  EXPECT_EQ(ReadIniString(file, "INI", "single"), "it");
  EXPECT_EQ(ReadIniString(file, "INI", "mixed"), "\"a'");
  EXPECT_EQ(ReadIniString(file, "INI", "lone"), "\"");
  EXPECT_EQ(ReadIniString(file, "INI", "twice"), "\"x\"");
  EXPECT_EQ(ReadIniString(file, "INI", "inner"), "  x  ");
  EXPECT_EQ(ReadIniString(file, "INI", "empty"), "");
  EXPECT_EQ(ReadIniString(file, "INI", "equals"), "a=b ; not a comment");
  EXPECT_EQ(ReadIniString(file, " INI ", " port "), "80");
}

TEST(Ini, ValuesAreWrittenAsGivenAndReadByTheRules)
{
  TScratchFolder dir;
  const std::string file = dir.File("Config.ini");
  WriteIniString(file, "INI", "port", "  80  ");
  WriteIniString(file, "INI", "title", "\"My Program\"");
  EXPECT_EQ(ReadBytes(file), "[INI]\r\nport=  80  \r\ntitle=\"My Program\"\r\n");
  EXPECT_EQ(ReadIniString(file, "ini", "port"), "80");
  EXPECT_EQ(ReadIniString(file, "ini", "title"), "My Program");
}

TEST(Ini, LongValuesAreCutAt2047Characters)
{
  TScratchFolder dir;
  const std::string file = dir.File("long.ini");
  std::string value;
  for (int i = 0; i < 3000; ++i)
    value += static_cast<char>('a' + i % 26);
  WriteIniString(file, "S", "plain", value);
  WriteIniString(file, "S", "quoted", "\"" + value + "\"");
  WriteIniString(file, "S", "exact", value.substr(0, 2047));
  EXPECT_EQ(ReadIniString(file, "S", "plain"), value.substr(0, 2047));
  EXPECT_EQ(ReadIniString(file, "S", "quoted"), value.substr(0, 2047));
  EXPECT_EQ(ReadIniString(file, "S", "exact"), value.substr(0, 2047));
  EXPECT_NE(ReadBytes(file).find(value), std::string::npos);
}

TEST(Ini, MissingFileSectionOrKeyReadsEmpty)
{
  TScratchFolder dir;
  const std::string file = dir.File("a.ini");
  EXPECT_EQ(ReadIniString(file, "INI", "port"), "");
  EXPECT_EQ(ReadIniStringIfExists(file, "INI", "port"), "");
  EXPECT_FALSE(fs::exists(file));
  WriteBytes(file, "[INI]\nport=80\n");
  EXPECT_EQ(ReadIniStringIfExists(file, "INI", "port"), "80");
  EXPECT_EQ(ReadIniString(file, "Other", "port"), "");
  EXPECT_EQ(ReadIniString(file, "INI", "ip"), "");
  EXPECT_EQ(ReadIniString(dir.Path().string(), "INI", "port"), "");
  EXPECT_EQ(ReadIniString("/dev/zero", "INI", "port"), "");
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReadIniString(dir.File("fifo"), "INI", "port"), "");
}

TEST(Ini, ReplacingAKeyChangesOnlyItsLine)
{
  TScratchFolder dir;
  const std::string file = dir.File("Config.ini");
  WriteBytes(file, "; settings\r\n[INI]\r\n  A = 1\r\nb=2\r\n; about c\r\nC=3\r\n\r\n[Other]\r\nb=9\r\n");
  WriteIniString(file, "ini", "A", "one");
  WriteIniString(file, "INI", "c", "three");
  EXPECT_EQ(ReadBytes(file),
            "; settings\r\n[INI]\r\nA=one\r\nb=2\r\n; about c\r\nC=three\r\n\r\n[Other]\r\nb=9\r\n");
}

TEST(Ini, NewKeysFollowTheLastKeyOfTheirSection)
{
  TScratchFolder dir;
  const std::string file = dir.File("Brand.ini");
  WriteBytes(file, "[A]\r\na=1\r\nnot a key\r\n\r\n; about B\r\n[B]\r\n\r\n[Empty]\r\n");
  WriteIniString(file, "a", "new", "x");
  WriteIniString(file, "Empty", "k", "y");
  WriteIniString(file, "Added", "z", "w");
  EXPECT_EQ(ReadBytes(file), "[A]\r\na=1\r\nnew=x\r\nnot a key\r\n\r\n; about B\r\n[B]\r\n\r\n"
                             "[Empty]\r\nk=y\r\n[Added]\r\nz=w\r\n");
}

TEST(Ini, GeneratedFileGetsWhatOneWriteAfterTheOtherWouldGive)
{
  TScratchFolder dir;
  const std::string one = dir.File("one.ini");
  const std::string batch = dir.File("batch.ini");
  const std::string text = "[A]\r\na=1\r\nnot a key\r\n\r\n; about B\r\n[B]\r\nb=2\r\n";
  WriteBytes(one, text);
  WriteBytes(batch, text);
  ASSERT_EQ(chmod(batch.c_str(), 0640), 0);
  const std::vector<TIniEntry> entries = {
      {"a", "new", "x"}, {"B", "b", "3"}, {"Added", "z", "w"}, {"A", "new", "y"}, {"added", "z2", "v"}};
  for (const auto &entry : entries)
    WriteIniString(one, entry.section, entry.key, entry.value);
  WriteGeneratedIni(batch, entries);
  EXPECT_EQ(ReadBytes(batch), ReadBytes(one));
  EXPECT_EQ(ModeOf(batch), 0640);

  // One entry that would not read back: nothing of the batch is written.
  EXPECT_THROW(WriteGeneratedIni(batch, {{"A", "a", "2"}, {"A", "k", "1\r\n[T]"}}), std::invalid_argument);
  EXPECT_EQ(ReadBytes(batch), ReadBytes(one));
  WriteGeneratedIni(dir.File("new.ini"), {{"S", "k", "v"}});
  EXPECT_EQ(ReadBytes(dir.File("new.ini")), "[S]\r\nk=v\r\n");
  EXPECT_EQ(ModeOf(dir.File("new.ini")), 0600);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}

TEST(Ini, MissingFileIsCreatedPrivateAndExistingModeIsKept)
{
  TScratchFolder dir;
  const std::string file = dir.File("new.ini");
  WriteIniString(file, "S", "k", "v");
  EXPECT_EQ(ReadBytes(file), "[S]\r\nk=v\r\n");
  EXPECT_EQ(ModeOf(file), 0600);
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  WriteIniString(file, "S", "k", "w");
  EXPECT_EQ(ModeOf(file), 0644);
  EXPECT_EQ(ReadIniString(file, "S", "k"), "w");
  // Only the file itself remains: no temporary files are left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(Ini, RewriteKeepsTheFileOwner)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "only a privileged user can hand a file to another owner";
  TScratchFolder dir;
  const std::string file = dir.File("Config.ini");
  WriteBytes(file, "[S]\r\nk=1\r\n");
  ASSERT_EQ(chown(file.c_str(), kNobody, kNobody), 0);
  WriteIniString(file, "S", "k", "2");
  struct stat st {
  };
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kNobody);
  EXPECT_EQ(st.st_gid, kNobody);
  EXPECT_EQ(ReadBytes(file), "[S]\r\nk=2\r\n");
}

TEST(Ini, WritingThroughASymlinkUpdatesItsTarget)
{
  TScratchFolder dir;
  const std::string target = dir.File("real.ini");
  const std::string link = dir.File("link.ini");
  WriteBytes(target, "[S]\nk=1\n");
  fs::create_symlink(target, link);
  WriteIniString(link, "S", "k", "2");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(target), "[S]\r\nk=2\r\n");
}

TEST(Ini, LfFilesAreReadAndRewrittenWithCrLf)
{
  TScratchFolder dir;
  const std::string file = dir.File("lf.ini");
  WriteBytes(file, "[S]\nk=1\n; note\nmixed=2\r\nlast=3");
  EXPECT_EQ(ReadIniString(file, "S", "k"), "1");
  EXPECT_EQ(ReadIniString(file, "S", "mixed"), "2");
  EXPECT_EQ(ReadIniString(file, "S", "last"), "3");
  WriteIniString(file, "S", "k", "one");
  EXPECT_EQ(ReadBytes(file), "[S]\r\nk=one\r\n; note\r\nmixed=2\r\nlast=3\r\n");
}

TEST(Ini, FirstOfDuplicateSectionsAndKeysWins)
{
  TScratchFolder dir;
  const std::string file = dir.File("dup.ini");
  WriteBytes(file, "[S]\r\nk=first\r\nK=second\r\n[s]\r\nk=third\r\nother=4\r\n");
  EXPECT_EQ(ReadIniString(file, "S", "k"), "first");
  EXPECT_EQ(ReadIniString(file, "S", "other"), "");
  TStringArray keys;
  ReadIniSectionKeys(file, "S", keys);
  EXPECT_EQ(keys, (TStringArray{"k", "K"}));
  WriteIniString(file, "S", "k", "new");
  WriteIniString(file, "S", "other", "5");
  EXPECT_EQ(ReadBytes(file), "[S]\r\nk=new\r\nK=second\r\nother=5\r\n[s]\r\nk=third\r\nother=4\r\n");
  DeleteIniKey(file, "S", "k");
  EXPECT_EQ(ReadIniString(file, "S", "k"), "second");
}

TEST(Ini, SectionKeysAreAppendedInFileOrder)
{
  TScratchFolder dir;
  const std::string file = dir.File("Favorites.ini");
  WriteBytes(file,
             "[URLS]\r\nzeta=1\r\n; comment=x\r\n\r\nno equals\r\n =empty name\r\nAlpha = 2\r\n[DIRS]\r\n"
             "d=3\r\n");
  TStringArray keys{"kept"};
  ReadIniSectionKeys(file, "urls", keys);
  EXPECT_EQ(keys, (TStringArray{"kept", "zeta", "Alpha"}));
  ReadIniSectionKeys(file, "URLS", keys);
  EXPECT_EQ(keys, (TStringArray{"kept", "zeta", "Alpha", "zeta", "Alpha"}));
  ReadIniSectionKeys(file, "missing", keys);
  ReadIniSectionKeys(dir.File("missing.ini"), "URLS", keys);
  EXPECT_EQ(keys.size(), 5u);
}

TEST(Ini, SectionKeyListHoldsOnlyWholeNamesWithin16384Bytes)
{
  TScratchFolder dir;
  const std::string file = dir.File("many.ini");
  // 100-character names take 101 bytes each: 162 of them and the end need 16363 bytes, a 163rd
  // does not fit; a 20-character name (21 bytes) then exactly fills 16384.
  std::string text = "[S]\r\n";
  for (int i = 0; i < 162; ++i)
    text += std::string(97, 'n') + std::to_string(100 + i) + "=v\r\n";
  const std::string filler(20, 'f');
  WriteBytes(file, text + filler + "=v\r\nafter=v\r\n");
  TStringArray keys;
  ReadIniSectionKeys(file, "S", keys);
  ASSERT_EQ(keys.size(), 163u);
  EXPECT_EQ(keys.back(), filler);

  WriteBytes(file, text + std::string(21, 'g') + "=v\r\nx=v\r\n");
  keys.clear();
  ReadIniSectionKeys(file, "S", keys);
  ASSERT_EQ(keys.size(), 162u);
  EXPECT_EQ(keys.back(), std::string(97, 'n') + "261");
}

TEST(Ini, StringListToArrayAppends)
{
  TStringArray keys{"a"};
  StringListToArray({"b", "c"}, keys);
  StringListToArray({}, keys);
  EXPECT_EQ(keys, (TStringArray{"a", "b", "c"}));
}

TEST(Ini, DeleteIniKeyRemovesOneLineAndNeverCreatesAFile)
{
  TScratchFolder dir;
  const std::string missing = dir.File("missing.ini");
  DeleteIniKey(missing, "S", "k");
  EXPECT_FALSE(fs::exists(missing));

  const std::string file = dir.File("d.ini");
  const std::string original = "[S]\nk=1\nj=2\n[T]\nk=3\n";
  WriteBytes(file, original);
  DeleteIniKey(file, "S", "absent");
  DeleteIniKey(file, "Absent", "k");
  EXPECT_EQ(ReadBytes(file), original);
  DeleteIniKey(file, "s", "K");
  EXPECT_EQ(ReadBytes(file), "[S]\r\nj=2\r\n[T]\r\nk=3\r\n");
  DeleteIniKey(dir.Path().string(), "S", "k");
  EXPECT_TRUE(fs::is_directory(dir.Path()));
}

TEST(Ini, MalformedAndBinaryInputIsReadSafelyAndKeptOnWrite)
{
  TScratchFolder dir;
  const std::string file = dir.File("bad.ini");
  const std::string longLine(1 << 20, 'x');
  std::string text = "before=0\r\nstray line\r\n[unclosed\r\nk=unclosed\r\n";
  text += "[S]\r\nnul=a\0b\r\nna\0me=1\r\n"s;
  text += longLine + "\r\n" + "\xff\xfe\x01=\x80\x90\r\n[S2\r\nk=2\r\n";
  WriteBytes(file, text);

  EXPECT_EQ(ReadIniString(file, "", "before"), "");
  EXPECT_EQ(ReadIniString(file, "S", "nul"), "a");
  EXPECT_EQ(ReadIniString(file, "S", "na"), "");
  EXPECT_EQ(ReadIniString(file, "S", "\xff\xfe\x01"), "\x80\x90");
  EXPECT_EQ(ReadIniString(file, "S", "k"), "2");
  TStringArray keys;
  ReadIniSectionKeys(file, "S", keys);
  EXPECT_EQ(keys, (TStringArray{"nul", "\xff\xfe\x01", "k"}));

  WriteIniString(file, "S", "new", "v");
  EXPECT_EQ(ReadBytes(file), text + "new=v\r\n");
}

TEST(Ini, ArgumentsThatWouldNotReadBackAreRefused)
{
  TScratchFolder dir;
  const std::string file = dir.File("x.ini");
  WriteBytes(file, "[S]\r\nk=1\r\n");
  EXPECT_THROW(WriteIniString(file, "S", "k", "1\r\n[T]"), std::invalid_argument);
  EXPECT_THROW(WriteIniString(file, "S\nT", "k", "1"), std::invalid_argument);
  EXPECT_THROW(WriteIniString(file, "S", "a=b", "1"), std::invalid_argument);
  EXPECT_THROW(WriteIniString(file, "S", " ", "1"), std::invalid_argument);
  EXPECT_THROW(WriteIniString(file, "S", ";k", "1"), std::invalid_argument);
  EXPECT_THROW(WriteIniString(file, "S", "[k]", "1"), std::invalid_argument);
  EXPECT_THROW(WriteIniString(file, "S", "k", "a\0b"s), std::invalid_argument);
  EXPECT_EQ(ReadBytes(file), "[S]\r\nk=1\r\n");
}

TEST(Ini, PathsWithBlanksQuotesAndNonAsciiWork)
{
  TScratchFolder dir;
  const fs::path folder = dir.Path() / "my stack \"q\" it's \xc3\xa4\xc3\xb6";
  fs::create_directory(folder);
  const std::string file = (folder / "Conf ig\xc3\xbc.ini").string();
  WriteIniString(file, "Sect ion", "ke y", "v a l");
  EXPECT_EQ(ReadIniString(file, "sect ion", "KE Y"), "v a l");
  TStringArray keys;
  ReadIniSectionKeys(file, "Sect ion", keys);
  EXPECT_EQ(keys, (TStringArray{"ke y"}));
}

TEST(Ini, UnwritableLocationsRaiseUnableToWrite)
{
  TScratchFolder dir;
  const std::string inMissingFolder = dir.File("no such folder/Config.ini");
  EXPECT_EQ(WriteErrorOf(inMissingFolder), "Unable to write to " + inMissingFolder);
  WriteBytes(dir.File("plain"), "x");
  EXPECT_EQ(WriteErrorOf(dir.File("plain/Config.ini")), "Unable to write to " + dir.File("plain/Config.ini"));
  fs::create_directory(dir.File("folder.ini"));
  EXPECT_EQ(WriteErrorOf(dir.File("folder.ini")), "Unable to write to " + dir.File("folder.ini"));
  EXPECT_TRUE(fs::is_directory(dir.File("folder.ini")));
}

TEST(Ini, UnprivilegedUserCannotWriteIntoOrReadForeignFiles)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to switch to another user";
  TScratchFolder dir;
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  const std::string secret = dir.File("secret.ini");
  WriteIniString(secret, "S", "k", "v");
  // As nobody: the folder is not writable and the 0600 file is not readable, so a write must fail
  // with the system's message rather than replace content it could not read.
  const int verdict = RunAsNobody([&] {
    return ReadIniString(secret, "S", "k").empty() &&
           WriteErrorOf(secret) == "Unable to write to " + secret &&
           WriteErrorOf(dir.File("other.ini")) == "Unable to write to " + dir.File("other.ini");
  });
  EXPECT_EQ(verdict, 1);
  EXPECT_EQ(ReadBytes(secret), "[S]\r\nk=v\r\n");
}
