// A build's progress, its cancel and its failures: what it made goes, and nothing else.
#include "packaging/DistributionBuild.h"

#include "BuildTree.h"
#include "files/Paths.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace Corvala;

namespace
{

// Every path below Folder, relative to it.
std::set<std::string> Listing(const std::string &folder)
{
  std::set<std::string> paths;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(folder))
    paths.insert(std::filesystem::relative(entry.path(), folder).string());
  return paths;
}

// A site large enough that a build reports progress several times while copying it.
void AddLargeSite(TBuildTree &tree)
{
  const std::string block(1 << 20, 'x');
  for (int i = 0; i < 40; ++i)
    tree.root.Write("app/www/media/clip" + std::to_string(i) + ".bin", block);
}

} // namespace

TEST(BuildCancel, ProgressCountsEveryFileAndByteAndOnlyGrows)
{
  TBuildTree tree;
  AddLargeSite(tree);
  TBrandSettings settings = tree.Settings();
  std::vector<TBuildProgress> seen;
  MakeDistribution(tree.Source(), settings,
                   {.Progress = [&](const TBuildProgress &p) { seen.push_back(p); }});

  ASSERT_FALSE(seen.empty());
  const TBuildProgress &last = seen.back();
  // bin 3, licenses 1, data 3, www 2 + 40.
  EXPECT_EQ(last.FilesTotal, 49u);
  EXPECT_EQ(last.FilesDone, last.FilesTotal);
  EXPECT_EQ(last.BytesDone, last.BytesTotal);
  EXPECT_GE(last.BytesTotal, 40u << 20);
  for (size_t i = 1; i < seen.size(); ++i)
    if (seen[i].FilesTotal != 0 && seen[i - 1].FilesTotal != 0) {
      EXPECT_GE(seen[i].BytesDone, seen[i - 1].BytesDone);
      EXPECT_GE(seen[i].FilesDone, seen[i - 1].FilesDone);
    }
}

TEST(BuildCancel, ACancelRemovesWhatTheBuildMadeAndKeepsWhatWasThere)
{
  TBuildTree tree;
  AddLargeSite(tree);
  {
    SCOPED_TRACE("into the default output folder");
    TBrandSettings settings = tree.Settings();
    uint64_t bytesAtCancel = 0;
    const TBuildHooks hooks{.Progress = [&](const TBuildProgress &p) { bytesAtCancel = p.BytesDone; },
                            .Cancelled = [&] { return bytesAtCancel >= (8u << 20); }};
    EXPECT_THROW(MakeDistribution(tree.Source(), settings, hooks), TBuildCancelled);
    EXPECT_GE(bytesAtCancel, 8u << 20);
    EXPECT_FALSE(Files::FileExists(tree.DefaultOutput()));
    // The documents folder was made for the output: it goes too.
    EXPECT_FALSE(Files::FileExists(tree.root.File("Documents")));
  }
  {
    SCOPED_TRACE("into an existing folder holding files of its own");
    const std::string output = tree.root.File("out");
    tree.root.Write("out/notes.txt", "mine");
    tree.root.Write("out/www/old.html", "old page");
    const auto before = Listing(output);
    TBrandSettings settings = tree.Settings();
    settings.OutputDir = output;
    int calls = 0;
    EXPECT_THROW(MakeDistribution(tree.Source(), settings, {.Cancelled = [&] { return ++calls > 30; }}),
                 TBuildCancelled);
    EXPECT_EQ(Listing(output), before);
    EXPECT_EQ(TestSupport::ReadBytes(output + "/www/old.html"), "old page");
  }
}

TEST(BuildCancel, AFailedCopyNamesTheFileAndRemovesThePartialOutput)
{
  TBuildTree tree;
  const std::string output = tree.root.File("out");
  // A file where the site has its folder "img".
  tree.root.Write("out/www/img", "in the way");
  const auto before = Listing(output);
  TBrandSettings settings = tree.Settings();
  settings.OutputDir = output;
  try {
    MakeDistribution(tree.Source(), settings);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error &error) {
    EXPECT_EQ(std::string(error.what()), "Cannot copy the folder \"" + tree.root.File("app/www/img") +
                                             "\": a file is in the way at \"" + output + "/www/img\"");
  }
  EXPECT_EQ(Listing(output), before);
}

TEST(BuildCancel, TheDataIsCopiedWhileTheServerHoldsStillAndOnlyThen)
{
  TBuildTree tree;
  TBrandSettings settings = tree.Settings();
  settings.OutputDir = tree.root.File("out");
  std::filesystem::create_directories(settings.OutputDir);
  int holds = 0;
  bool dataBefore = true;
  bool dataAfter = false;
  const TBuildHooks hooks{.HoldData = [&](const std::function<void()> &copy) {
    ++holds;
    dataBefore = Files::FileExists(settings.OutputDir + "/data/mysql/user.frm");
    copy();
    dataAfter = Files::FileExists(settings.OutputDir + "/data/mysql/user.frm");
  }};
  MakeDistribution(tree.Source(), settings, hooks);
  EXPECT_EQ(holds, 1);
  EXPECT_FALSE(dataBefore);
  EXPECT_TRUE(dataAfter);
  EXPECT_EQ(TestSupport::ReadBytes(settings.OutputDir + "/www/index.php"), "<?php echo 'hello';");
}
