#include "files/FileTree.h"

#include "support/TestSupport.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace Base;
using namespace Files;
using namespace TestSupport;

namespace
{

Base::TStringArray Sorted(Base::TStringArray names)
{
  std::sort(names.begin(), names.end());
  return names;
}

// File names the shell copy and delete must carry through unchanged.
const std::vector<std::string> &AwkwardNames()
{
  static const std::vector<std::string> names = {"with blank",    "with \"quotes\" and 'single'",
                                                 "naïve—ünïcode", "new\nline",
                                                 "-leading dash", "trailing blank "};
  return names;
}

// bin/ with a program, a sub-folder with awkward names and a relative symlink.
void MakeSampleTree(const fs::path &root)
{
  fs::create_directories(root / "Apache" / "conf");
  WriteBytes(root / "Apache" / "Apache", "program");
  ASSERT_EQ(chmod((root / "Apache" / "Apache").c_str(), 0750), 0);
  WriteBytes(root / "Apache" / "conf" / "httpd.conf", "Listen 80\n");
  for (const auto &name : AwkwardNames())
    WriteBytes(root / "Apache" / name, name);
  fs::create_symlink("conf/httpd.conf", root / "Apache" / "current.conf");
}

} // namespace

TEST(FileTreeDelete, FolderCallsAnswerForFoldersOnly)
{
  TScratchFolder scratch;
  WriteBytes(scratch.File("a file"), "keep");
  fs::create_directory(scratch.File("a folder"));

  EXPECT_TRUE(DeleteFolder(scratch.File("a file")));
  EXPECT_EQ(ReadBytes(scratch.File("a file")), "keep");
  EXPECT_TRUE(DeleteFileSilently(scratch.File("a folder")));
  EXPECT_TRUE(fs::is_directory(scratch.Path() / "a folder"));

  EXPECT_TRUE(DeleteFolder(scratch.File("never there")));
  EXPECT_TRUE(DeleteFileSilently(scratch.File("never there")));

  EXPECT_TRUE(DeleteFileSilently(scratch.File("a file")));
  EXPECT_FALSE(Exists(scratch.Path() / "a file"));
  EXPECT_TRUE(DeleteFolder(scratch.File("a folder")));
  EXPECT_FALSE(Exists(scratch.Path() / "a folder"));
}

TEST(FileTreeDelete, RemovesWholeTreeWithReadOnlyPartsAndAwkwardNames)
{
  TScratchFolder scratch;
  const fs::path tree = scratch.Path() / "tree \"x\"\n";
  MakeSampleTree(tree);
  ASSERT_EQ(chmod((tree / "Apache" / "conf" / "httpd.conf").c_str(), 0444), 0);
  ASSERT_EQ(chmod((tree / "Apache" / "conf").c_str(), 0555), 0);
  fs::create_directories(tree / "locked");
  ASSERT_EQ(chmod((tree / "locked").c_str(), 0), 0);

  EXPECT_TRUE(DeleteFolder(tree.string()));
  EXPECT_FALSE(Exists(tree));
}

TEST(FileTreeDelete, SymlinksAreRemovedNeverFollowed)
{
  TScratchFolder scratch;
  const fs::path outside = scratch.Path() / "outside";
  fs::create_directories(outside / "deep");
  WriteBytes(outside / "deep" / "precious", "data");
  WriteBytes(outside / "file", "data");
  fs::create_directories(scratch.Path() / "tree");
  fs::create_directory_symlink(outside, scratch.Path() / "tree" / "to folder");
  fs::create_symlink(outside / "file", scratch.Path() / "tree" / "to file");
  fs::create_directory_symlink(outside, scratch.Path() / "top link");

  EXPECT_TRUE(DeleteFolder(scratch.File("tree")));
  EXPECT_TRUE(DeleteFolder(scratch.File("top link")));
  EXPECT_FALSE(Exists(scratch.Path() / "tree"));
  EXPECT_FALSE(Exists(scratch.Path() / "top link"));

  fs::create_symlink(outside / "file", scratch.Path() / "file link");
  EXPECT_TRUE(DeleteFileSilently(scratch.File("file link")));
  EXPECT_FALSE(Exists(scratch.Path() / "file link"));

  EXPECT_EQ(ReadBytes(outside / "deep" / "precious"), "data");
  EXPECT_EQ(ReadBytes(outside / "file"), "data");
}

TEST(FileTreeDelete, ReadOnlyTreeOfAnOrdinaryUser)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another user";
  TScratchFolder scratch;
  ASSERT_EQ(chmod(scratch.Path().c_str(), 0755), 0);
  const fs::path home = scratch.Path() / "home";
  MakeSampleTree(home / "tree");
  GiveToNobody(home);
  ASSERT_EQ(chmod((home / "tree" / "Apache" / "conf").c_str(), 0555), 0);
  ASSERT_EQ(chmod((home / "tree" / "Apache").c_str(), 0500), 0);

  const int code = RunAsNobody([&] {
    const bool deleted = DeleteFolder((home / "tree").string());
    return deleted && !Exists(home / "tree") ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
}

TEST(SetTreeReadOnly, ClearsWriteProtectionEverywhereAndKeepsOtherBits)
{
  TScratchFolder scratch;
  const fs::path tree = scratch.Path() / "bin";
  MakeSampleTree(tree);
  const fs::path outside = scratch.Path() / "outside";
  WriteBytes(outside, "x");
  ASSERT_EQ(chmod(outside.c_str(), 0444), 0);
  fs::create_symlink(outside, tree / "Apache" / "conf" / "outside link");
  ASSERT_EQ(chmod((tree / "Apache" / "Apache").c_str(), 02555), 0);
  ASSERT_EQ(chmod((tree / "Apache" / "conf" / "httpd.conf").c_str(), 0440), 0);
  ASSERT_EQ(chmod((tree / "Apache" / "conf").c_str(), 01555), 0);
  ASSERT_EQ(chmod((tree / "Apache").c_str(), 0550), 0);
  ASSERT_EQ(chmod(tree.c_str(), 0555), 0);

  EXPECT_TRUE(SetTreeReadOnly(tree.string(), false));
  EXPECT_EQ(ModeOf(tree), 0755);
  EXPECT_EQ(ModeOf(tree / "Apache"), 0750);
  EXPECT_EQ(ModeOf(tree / "Apache" / "Apache"), 02755);
  EXPECT_EQ(ModeOf(tree / "Apache" / "conf"), 01755);
  EXPECT_EQ(ModeOf(tree / "Apache" / "conf" / "httpd.conf"), 0640);
  for (const auto &name : AwkwardNames())
    EXPECT_EQ(ModeOf(tree / "Apache" / name) & 0200, 0200) << name;
  EXPECT_EQ(ModeOf(outside), 0444) << "the walk followed a symlink out of the tree";

  EXPECT_TRUE(SetTreeReadOnly(tree.string(), true));
  EXPECT_EQ(ModeOf(tree / "Apache" / "conf" / "httpd.conf"), 0440);
  EXPECT_EQ(ModeOf(tree), 0555);
}

TEST(SetTreeReadOnly, MissingFolderOrFileIsFalse)
{
  TScratchFolder scratch;
  WriteBytes(scratch.File("file"), "x");
  EXPECT_FALSE(SetTreeReadOnly(scratch.File("missing"), false));
  EXPECT_FALSE(SetTreeReadOnly(scratch.File("file"), false));
}

TEST(SetTreeReadOnly, StopsAtTheFirstFailure)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another user";
  TScratchFolder scratch;
  ASSERT_EQ(chmod(scratch.Path().c_str(), 0755), 0);
  // nobody may not change the top folder (root's): nothing below may be touched.
  const fs::path rootsTree = scratch.Path() / "roots";
  fs::create_directories(rootsTree / "sub");
  WriteBytes(rootsTree / "sub" / "f", "x");
  GiveToNobody(rootsTree / "sub");
  ASSERT_EQ(chmod((rootsTree / "sub" / "f").c_str(), 0444), 0);
  ASSERT_EQ(chmod(rootsTree.c_str(), 0555), 0);
  // A foreign file deep inside makes the whole answer false.
  const fs::path mixed = scratch.Path() / "mixed";
  fs::create_directories(mixed / "a" / "b");
  WriteBytes(mixed / "a" / "b" / "foreign", "x");
  GiveToNobody(mixed);
  ASSERT_EQ(lchown((mixed / "a" / "b" / "foreign").c_str(), 0, 0), 0);
  ASSERT_EQ(chmod((mixed / "a" / "b").c_str(), 0555), 0);

  const int code = RunAsNobody([&] {
    return (SetTreeReadOnly(rootsTree.string(), false) ? 1 : 0) |
           (SetTreeReadOnly(mixed.string(), false) ? 2 : 0);
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ModeOf(rootsTree / "sub" / "f"), 0444);
  EXPECT_EQ(ModeOf(mixed / "a" / "b"), 0755);
}

TEST(FileTreeList, EmptyFolderHoldsOnlyDotEntries)
{
  TScratchFolder scratch;
  EXPECT_EQ(Sorted(ListEntryNames(scratch.Path().string())), (TStringArray{".", ".."}));
  EXPECT_TRUE(ListSubfolderNames(scratch.Path().string()).empty());
  EXPECT_TRUE(ListFileNames(scratch.Path().string()).empty());
}

TEST(FileTreeList, SeparatesFoldersFromFiles)
{
  TScratchFolder scratch;
  const fs::path folder = scratch.Path() / "data \"db\"";
  fs::create_directories(folder / "x");
  fs::create_directories(folder / "y\nz");
  WriteBytes(folder / "a.txt", "");
  WriteBytes(folder / ".hidden", "");
  ASSERT_EQ(chmod((folder / "a.txt").c_str(), 0), 0);
  fs::create_directory_symlink(folder / "x", folder / "link to x");
  fs::create_symlink(folder / "gone", folder / "dangling");

  EXPECT_EQ(Sorted(ListSubfolderNames(folder.string())), (TStringArray{"link to x", "x", "y\nz"}));
  EXPECT_EQ(Sorted(ListFileNames(folder.string())), (TStringArray{".hidden", "a.txt", "dangling"}));
  EXPECT_EQ(ListEntryNames(folder.string()).size(), 8u);
}

TEST(FileTreeList, MissingFolderOrFileGivesEmptyLists)
{
  TScratchFolder scratch;
  WriteBytes(scratch.File("file"), "x");
  for (const auto &path : {scratch.File("missing"), scratch.File("file")}) {
    EXPECT_TRUE(ListEntryNames(path).empty());
    EXPECT_TRUE(ListSubfolderNames(path).empty());
    EXPECT_TRUE(ListFileNames(path).empty());
  }
}

TEST(CopyFolder, IntoAnExistingFolderUnderItsOwnName)
{
  TScratchFolder scratch;
  MakeSampleTree(scratch.Path() / "cd" / "bin");
  fs::create_directories(scratch.Path() / "work");

  CopyFolder(scratch.File("cd/bin"), scratch.File("work"));

  const fs::path copy = scratch.Path() / "work" / "bin" / "Apache";
  EXPECT_EQ(ReadBytes(copy / "conf" / "httpd.conf"), "Listen 80\n");
  EXPECT_EQ(ModeOf(copy / "Apache"), 0750);
  for (const auto &name : AwkwardNames())
    EXPECT_EQ(ReadBytes(copy / name), name);
  ASSERT_TRUE(fs::is_symlink(copy / "current.conf"));
  EXPECT_EQ(fs::read_symlink(copy / "current.conf"), "conf/httpd.conf");
  EXPECT_EQ(Sorted(ListEntryNames(scratch.File("work"))), (TStringArray{".", "..", "bin"}));
}

TEST(CopyFolder, OverOlderCopyOverwritesMergesAndKeepsExtras)
{
  TScratchFolder scratch;
  MakeSampleTree(scratch.Path() / "cd" / "bin");
  const fs::path old = scratch.Path() / "work" / "bin" / "Apache";
  fs::create_directories(old / "conf");
  fs::create_directories(old / "logs");
  WriteBytes(old / "conf" / "httpd.conf", "stale and much longer than the new content");
  ASSERT_EQ(chmod((old / "conf" / "httpd.conf").c_str(), 0444), 0);
  WriteBytes(old / "conf" / "extra.conf", "mine");
  WriteBytes(old / "current.conf", "a file where the new copy has a symlink");
  // A hard link elsewhere must not be written through when the name is overwritten.
  fs::create_hard_link(old / "conf" / "httpd.conf", scratch.Path() / "hard link");

  CopyFolder(scratch.File("cd/bin"), scratch.File("work"));

  EXPECT_EQ(ReadBytes(old / "conf" / "httpd.conf"), "Listen 80\n");
  EXPECT_EQ(ReadBytes(old / "conf" / "extra.conf"), "mine");
  EXPECT_TRUE(fs::is_directory(old / "logs"));
  EXPECT_TRUE(fs::is_symlink(old / "current.conf"));
  EXPECT_EQ(ReadBytes(scratch.Path() / "hard link"), "stale and much longer than the new content");
  EXPECT_EQ(Sorted(ListFileNames(old.string() + "/conf")), (TStringArray{"extra.conf", "httpd.conf"}));
}

TEST(CopyFolder, ContentsWithStarIntoMissingFolders)
{
  TScratchFolder scratch;
  MakeSampleTree(scratch.Path() / "www");
  ASSERT_EQ(chmod((scratch.Path() / "www" / "Apache" / "conf").c_str(), 0555), 0);

  CopyFolder(scratch.File("www/*"), scratch.File("new/deep dest"));

  const fs::path dest = scratch.Path() / "new" / "deep dest";
  EXPECT_EQ(Sorted(ListEntryNames(dest.string())), (TStringArray{".", "..", "Apache"}));
  EXPECT_EQ(ReadBytes(dest / "Apache" / "conf" / "httpd.conf"), "Listen 80\n");
  EXPECT_EQ(ModeOf(dest / "Apache" / "conf"), 0555);
}

TEST(CopyFolder, ToAMissingNameCopiesUnderThatName)
{
  TScratchFolder scratch;
  WriteBytes(scratch.File("Config.ini"), "[INI]\n");
  ASSERT_EQ(chmod((scratch.Path() / "Config.ini").c_str(), 0640), 0);
  MakeSampleTree(scratch.Path() / "bin");

  CopyFolder(scratch.File("Config.ini"), scratch.File("sub/Renamed.ini"));
  CopyFolder(scratch.File("bin"), scratch.File("dist/bin2"));

  EXPECT_EQ(ReadBytes(scratch.Path() / "sub" / "Renamed.ini"), "[INI]\n");
  EXPECT_EQ(ModeOf(scratch.Path() / "sub" / "Renamed.ini"), 0640);
  EXPECT_EQ(ReadBytes(scratch.Path() / "dist" / "bin2" / "Apache" / "conf" / "httpd.conf"), "Listen 80\n");
}

TEST(CopyFolder, MissingSourceSelfCopyAndCopyIntoItself)
{
  TScratchFolder scratch;
  fs::create_directories(scratch.Path() / "dest");
  CopyFolder(scratch.File("missing"), scratch.File("dest"));
  CopyFolder(scratch.File("missing/*"), scratch.File("dest"));
  EXPECT_EQ(ListEntryNames(scratch.File("dest")).size(), 2u);

  MakeSampleTree(scratch.Path() / "bin");
  CopyFolder(scratch.File("bin/Apache/Apache"), scratch.File("bin/Apache"));
  EXPECT_EQ(ReadBytes(scratch.Path() / "bin" / "Apache" / "Apache"), "program");

  CopyFolder(scratch.File("bin"), scratch.File("bin/Apache"));
  EXPECT_EQ(ReadBytes(scratch.Path() / "bin" / "Apache" / "bin" / "Apache" / "conf" / "httpd.conf"),
            "Listen 80\n");
  EXPECT_FALSE(Exists(scratch.Path() / "bin" / "Apache" / "bin" / "Apache" / "bin"));
}

// A copy that cannot be made whole says where and why, whoever runs it (root included): here the
// copy's paths grow past what the system takes.
TEST(CopyFolder, AFailureEndsTheCopyWithThePathAndTheReason)
{
  TScratchFolder scratch;
  fs::path deep = scratch.Path() / "source" / "data";
  while (deep.native().size() < 3700)
    deep /= std::string(200, 'n');
  fs::create_directories(deep);
  WriteBytes(deep / "table.frm", "rows");
  const fs::path dest = scratch.Path() / std::string(250, 'w') / std::string(250, 'x');
  fs::create_directories(dest);
  try {
    CopyFolder(scratch.File("source/data"), dest.native());
    FAIL() << "the copy passed for a whole one";
  } catch (const std::runtime_error &error) {
    const std::string message = error.what();
    EXPECT_TRUE(message.starts_with("Cannot create the folder \"" + dest.native() + "/data/nnn")) << message;
    EXPECT_TRUE(message.ends_with("\": File name too long")) << message;
  }
}

TEST(CopyFolder, ReadOnlyMediaRoundTripForAnOrdinaryUser)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another user";
  TScratchFolder scratch;
  ASSERT_EQ(chmod(scratch.Path().c_str(), 0755), 0);
  const fs::path cd = scratch.Path() / "cd";
  MakeSampleTree(cd / "bin");
  // A disc's files are every account's to read.
  ASSERT_EQ(chmod((cd / "bin" / "Apache" / "Apache").c_str(), 0755), 0);
  for (const auto &entry : fs::recursive_directory_iterator(cd))
    if (!entry.is_symlink())
      fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove);
  fs::create_directories(scratch.Path() / "work");
  GiveToNobody(scratch.Path() / "work");

  const fs::path copy = scratch.Path() / "work" / "bin";
  const int code = RunAsNobody([&] {
    CopyFolder((cd / "bin").string(), (scratch.Path() / "work").string());
    const bool copied = ReadBytes(copy / "Apache" / "conf" / "httpd.conf") == "Listen 80\n";
    const bool readOnly = ModeOf(copy / "Apache" / "conf") == 0555;
    const bool writable = SetTreeReadOnly(copy.string(), false) && ModeOf(copy / "Apache" / "conf") == 0755;
    const bool deleted = DeleteFolder(copy.string()) && !Exists(copy);
    return (copied ? 0 : 1) | (readOnly ? 0 : 2) | (writable ? 0 : 4) | (deleted ? 0 : 8);
  });
  EXPECT_EQ(code, 0);
}

// A file the account cannot read fails the copy, which names it, instead of leaving it out.
TEST(CopyFolder, AnUnreadableFileFailsTheCopyForAnOrdinaryUser)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another user";
  TScratchFolder scratch;
  ASSERT_EQ(chmod(scratch.Path().c_str(), 0755), 0);
  const fs::path cd = scratch.Path() / "cd";
  MakeSampleTree(cd / "bin");
  fs::create_directories(scratch.Path() / "work");
  GiveToNobody(scratch.Path() / "work");
  const std::string program = (cd / "bin" / "Apache" / "Apache").string();
  const int code = RunAsNobody([&] {
    try {
      CopyFolder((cd / "bin").string(), (scratch.Path() / "work").string());
    } catch (const std::runtime_error &error) {
      return std::string(error.what()) == "Cannot read \"" + program + "\": Permission denied" ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(code, 0);
}
