#include "utils/FileTree.h"

#include "FileTestSupport.h"

#include <algorithm>

using namespace AppUtils;
using namespace FileTestSupport;

namespace
{

AppUtils::TStringArray Sorted(AppUtils::TStringArray names)
{
  std::sort(names.begin(), names.end());
  return names;
}

// bin/ with a program, a sub-folder with awkward names and a relative symlink.
void MakeSampleTree(const fs::path &root)
{
  fs::create_directories(root / "Apache" / "conf");
  WriteText(root / "Apache" / "Apache", "program");
  ASSERT_EQ(chmod((root / "Apache" / "Apache").c_str(), 0750), 0);
  WriteText(root / "Apache" / "conf" / "httpd.conf", "Listen 80\n");
  for (const auto &name : AwkwardNames())
    WriteText(root / "Apache" / name, name);
  fs::create_symlink("conf/httpd.conf", root / "Apache" / "current.conf");
}

} // namespace

TEST(FileTreeDelete, FolderCallsAnswerForFoldersOnly)
{
  TScratchFolder scratch;
  WriteText(scratch / "a file", "keep");
  fs::create_directory(scratch / "a folder");

  EXPECT_TRUE(DeleteFolder(scratch / "a file"));
  EXPECT_EQ(ReadText(scratch / "a file"), "keep");
  EXPECT_TRUE(DeleteFileSilently(scratch / "a folder"));
  EXPECT_TRUE(fs::is_directory(scratch.path() / "a folder"));

  EXPECT_TRUE(DeleteFolder(scratch / "never there"));
  EXPECT_TRUE(DeleteFileSilently(scratch / "never there"));

  EXPECT_TRUE(DeleteFileSilently(scratch / "a file"));
  EXPECT_FALSE(Exists(scratch.path() / "a file"));
  EXPECT_TRUE(DeleteFolder(scratch / "a folder"));
  EXPECT_FALSE(Exists(scratch.path() / "a folder"));
}

TEST(FileTreeDelete, RemovesWholeTreeWithReadOnlyPartsAndAwkwardNames)
{
  TScratchFolder scratch;
  const fs::path tree = scratch.path() / "tree \"x\"\n";
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
  const fs::path outside = scratch.path() / "outside";
  fs::create_directories(outside / "deep");
  WriteText(outside / "deep" / "precious", "data");
  WriteText(outside / "file", "data");
  fs::create_directories(scratch.path() / "tree");
  fs::create_directory_symlink(outside, scratch.path() / "tree" / "to folder");
  fs::create_symlink(outside / "file", scratch.path() / "tree" / "to file");
  fs::create_directory_symlink(outside, scratch.path() / "top link");

  EXPECT_TRUE(DeleteFolder(scratch / "tree"));
  EXPECT_TRUE(DeleteFolder(scratch / "top link"));
  EXPECT_FALSE(Exists(scratch.path() / "tree"));
  EXPECT_FALSE(Exists(scratch.path() / "top link"));

  fs::create_symlink(outside / "file", scratch.path() / "file link");
  EXPECT_TRUE(DeleteFileSilently(scratch / "file link"));
  EXPECT_FALSE(Exists(scratch.path() / "file link"));

  EXPECT_EQ(ReadText(outside / "deep" / "precious"), "data");
  EXPECT_EQ(ReadText(outside / "file"), "data");
}

TEST(FileTreeDelete, ReadOnlyTreeOfAnOrdinaryUser)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another user";
  TScratchFolder scratch;
  ASSERT_EQ(chmod(scratch.path().c_str(), 0755), 0);
  const fs::path home = scratch.path() / "home";
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
  const fs::path tree = scratch.path() / "bin";
  MakeSampleTree(tree);
  const fs::path outside = scratch.path() / "outside";
  WriteText(outside, "x");
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
  WriteText(scratch / "file", "x");
  EXPECT_FALSE(SetTreeReadOnly(scratch / "missing", false));
  EXPECT_FALSE(SetTreeReadOnly(scratch / "file", false));
}

TEST(SetTreeReadOnly, StopsAtTheFirstFailure)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another user";
  TScratchFolder scratch;
  ASSERT_EQ(chmod(scratch.path().c_str(), 0755), 0);
  // nobody may not change the top folder (root's): nothing below may be touched.
  const fs::path rootsTree = scratch.path() / "roots";
  fs::create_directories(rootsTree / "sub");
  WriteText(rootsTree / "sub" / "f", "x");
  GiveToNobody(rootsTree / "sub");
  ASSERT_EQ(chmod((rootsTree / "sub" / "f").c_str(), 0444), 0);
  ASSERT_EQ(chmod(rootsTree.c_str(), 0555), 0);
  // A foreign file deep inside makes the whole answer false.
  const fs::path mixed = scratch.path() / "mixed";
  fs::create_directories(mixed / "a" / "b");
  WriteText(mixed / "a" / "b" / "foreign", "x");
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
  EXPECT_EQ(Sorted(ListEntryNames(scratch.path().string())), (TStringArray{".", ".."}));
  EXPECT_TRUE(ListSubfolderNames(scratch.path().string()).empty());
  EXPECT_TRUE(ListFileNames(scratch.path().string()).empty());
}

TEST(FileTreeList, SeparatesFoldersFromFiles)
{
  TScratchFolder scratch;
  const fs::path folder = scratch.path() / "data \"db\"";
  fs::create_directories(folder / "x");
  fs::create_directories(folder / "y\nz");
  WriteText(folder / "a.txt", "");
  WriteText(folder / ".hidden", "");
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
  WriteText(scratch / "file", "x");
  for (const auto &path : {scratch / "missing", scratch / "file"}) {
    EXPECT_TRUE(ListEntryNames(path).empty());
    EXPECT_TRUE(ListSubfolderNames(path).empty());
    EXPECT_TRUE(ListFileNames(path).empty());
  }
}

TEST(CopyFolder, IntoAnExistingFolderUnderItsOwnName)
{
  TScratchFolder scratch;
  MakeSampleTree(scratch.path() / "cd" / "bin");
  fs::create_directories(scratch.path() / "work");

  CopyFolder(scratch / "cd/bin", scratch / "work");

  const fs::path copy = scratch.path() / "work" / "bin" / "Apache";
  EXPECT_EQ(ReadText(copy / "conf" / "httpd.conf"), "Listen 80\n");
  EXPECT_EQ(ModeOf(copy / "Apache"), 0750);
  for (const auto &name : AwkwardNames())
    EXPECT_EQ(ReadText(copy / name), name);
  ASSERT_TRUE(fs::is_symlink(copy / "current.conf"));
  EXPECT_EQ(fs::read_symlink(copy / "current.conf"), "conf/httpd.conf");
  EXPECT_EQ(Sorted(ListEntryNames(scratch / "work")), (TStringArray{".", "..", "bin"}));
}

TEST(CopyFolder, OverOlderCopyOverwritesMergesAndKeepsExtras)
{
  TScratchFolder scratch;
  MakeSampleTree(scratch.path() / "cd" / "bin");
  const fs::path old = scratch.path() / "work" / "bin" / "Apache";
  fs::create_directories(old / "conf");
  fs::create_directories(old / "logs");
  WriteText(old / "conf" / "httpd.conf", "stale and much longer than the new content");
  ASSERT_EQ(chmod((old / "conf" / "httpd.conf").c_str(), 0444), 0);
  WriteText(old / "conf" / "extra.conf", "mine");
  WriteText(old / "current.conf", "a file where the new copy has a symlink");
  // A hard link elsewhere must not be written through when the name is overwritten.
  fs::create_hard_link(old / "conf" / "httpd.conf", scratch.path() / "hard link");

  CopyFolder(scratch / "cd/bin", scratch / "work");

  EXPECT_EQ(ReadText(old / "conf" / "httpd.conf"), "Listen 80\n");
  EXPECT_EQ(ReadText(old / "conf" / "extra.conf"), "mine");
  EXPECT_TRUE(fs::is_directory(old / "logs"));
  EXPECT_TRUE(fs::is_symlink(old / "current.conf"));
  EXPECT_EQ(ReadText(scratch.path() / "hard link"), "stale and much longer than the new content");
  EXPECT_EQ(Sorted(ListFileNames(old.string() + "/conf")), (TStringArray{"extra.conf", "httpd.conf"}));
}

TEST(CopyFolder, ContentsWithStarIntoMissingFolders)
{
  TScratchFolder scratch;
  MakeSampleTree(scratch.path() / "www");
  ASSERT_EQ(chmod((scratch.path() / "www" / "Apache" / "conf").c_str(), 0555), 0);

  CopyFolder(scratch / "www/*", scratch / "new/deep dest");

  const fs::path dest = scratch.path() / "new" / "deep dest";
  EXPECT_EQ(Sorted(ListEntryNames(dest.string())), (TStringArray{".", "..", "Apache"}));
  EXPECT_EQ(ReadText(dest / "Apache" / "conf" / "httpd.conf"), "Listen 80\n");
  EXPECT_EQ(ModeOf(dest / "Apache" / "conf"), 0555);
}

TEST(CopyFolder, ToAMissingNameCopiesUnderThatName)
{
  TScratchFolder scratch;
  WriteText(scratch / "Config.ini", "[INI]\n");
  ASSERT_EQ(chmod((scratch.path() / "Config.ini").c_str(), 0640), 0);
  MakeSampleTree(scratch.path() / "bin");

  CopyFolder(scratch / "Config.ini", scratch / "sub/Renamed.ini");
  CopyFolder(scratch / "bin", scratch / "dist/bin2");

  EXPECT_EQ(ReadText(scratch.path() / "sub" / "Renamed.ini"), "[INI]\n");
  EXPECT_EQ(ModeOf(scratch.path() / "sub" / "Renamed.ini"), 0640);
  EXPECT_EQ(ReadText(scratch.path() / "dist" / "bin2" / "Apache" / "conf" / "httpd.conf"), "Listen 80\n");
}

TEST(CopyFolder, MissingSourceSelfCopyAndCopyIntoItself)
{
  TScratchFolder scratch;
  fs::create_directories(scratch.path() / "dest");
  CopyFolder(scratch / "missing", scratch / "dest");
  CopyFolder(scratch / "missing/*", scratch / "dest");
  EXPECT_EQ(ListEntryNames(scratch / "dest").size(), 2u);

  MakeSampleTree(scratch.path() / "bin");
  CopyFolder(scratch / "bin/Apache/Apache", scratch / "bin/Apache");
  EXPECT_EQ(ReadText(scratch.path() / "bin" / "Apache" / "Apache"), "program");

  CopyFolder(scratch / "bin", scratch / "bin/Apache");
  EXPECT_EQ(ReadText(scratch.path() / "bin" / "Apache" / "bin" / "Apache" / "conf" / "httpd.conf"),
            "Listen 80\n");
  EXPECT_FALSE(Exists(scratch.path() / "bin" / "Apache" / "bin" / "Apache" / "bin"));
}

TEST(CopyFolder, ReadOnlyMediaRoundTripForAnOrdinaryUser)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another user";
  TScratchFolder scratch;
  ASSERT_EQ(chmod(scratch.path().c_str(), 0755), 0);
  const fs::path cd = scratch.path() / "cd";
  MakeSampleTree(cd / "bin");
  for (const auto &entry : fs::recursive_directory_iterator(cd))
    if (!entry.is_symlink())
      fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove);
  fs::create_directories(scratch.path() / "work");
  GiveToNobody(scratch.path() / "work");

  const fs::path copy = scratch.path() / "work" / "bin";
  const int code = RunAsNobody([&] {
    CopyFolder((cd / "bin").string(), (scratch.path() / "work").string());
    const bool copied = ReadText(copy / "Apache" / "conf" / "httpd.conf") == "Listen 80\n";
    const bool readOnly = ModeOf(copy / "Apache" / "conf") == 0555;
    const bool writable = SetTreeReadOnly(copy.string(), false) && ModeOf(copy / "Apache" / "conf") == 0755;
    const bool deleted = DeleteFolder(copy.string()) && !Exists(copy);
    return (copied ? 0 : 1) | (readOnly ? 0 : 2) | (writable ? 0 : 4) | (deleted ? 0 : 8);
  });
  EXPECT_EQ(code, 0);
}
