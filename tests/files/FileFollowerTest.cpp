#include "files/FileFollower.h"
#include "files/FileIO.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Files;
using TestSupport::TScratchFolder;

namespace
{

void Append(const std::string &path, const std::string &bytes)
{
  std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

} // namespace

TEST(TFileFollower, GivesWholeLinesAsTheyAreAppended)
{
  TScratchFolder dir;
  const std::string log = dir.Write("error.log", "first\nsecond\n");
  TFileFollower follower(log);
  EXPECT_EQ(follower.Poll().text, "first\nsecond\n");
  EXPECT_EQ(follower.Poll().text, "");
  Append(log, "third\n");
  const TFileFollower::TNews news = follower.Poll();
  EXPECT_EQ(news.text, "third\n");
  EXPECT_FALSE(news.restarted);
}

TEST(TFileFollower, KeepsAPartialLineUntilItEnds)
{
  TScratchFolder dir;
  const std::string log = dir.Write("error.log", "whole\nhal");
  TFileFollower follower(log);
  EXPECT_EQ(follower.Poll().text, "whole\n");
  Append(log, "f a li");
  EXPECT_EQ(follower.Poll().text, "");
  Append(log, "ne\nnext");
  EXPECT_EQ(follower.Poll().text, "half a line\n");
}

TEST(TFileFollower, AFileThatAppearsLaterIsReadFromItsStart)
{
  TScratchFolder dir;
  TFileFollower follower(dir.File("later.log"));
  EXPECT_EQ(follower.Poll().text, "");
  EXPECT_FALSE(follower.Exists());
  dir.Write("later.log", "written\n");
  const TFileFollower::TNews news = follower.Poll();
  EXPECT_EQ(news.text, "written\n");
  EXPECT_FALSE(news.restarted);
  EXPECT_TRUE(follower.Exists());
}

TEST(TFileFollower, ATruncatedOrReplacedFileIsReadAgainFromItsStart)
{
  TScratchFolder dir;
  const std::string log = dir.Write("error.log", "old line one\nold line two\nold pa");
  TFileFollower follower(log);
  ASSERT_EQ(follower.Poll().text, "old line one\nold line two\n");

  // Truncated to less than was read, as a server's log emptied at its stop.
  std::ofstream(log, std::ios::binary | std::ios::trunc) << "new\n";
  TFileFollower::TNews news = follower.Poll();
  EXPECT_TRUE(news.restarted);
  // The partial line of the old file is not glued to the new one.
  EXPECT_EQ(news.text, "new\n");

  // Rotated: another file under the same name, larger than the offset reached.
  const std::string rotated = dir.Write("rotated.tmp", "rotated line one\nrotated line two\n");
  std::filesystem::rename(rotated, log);
  news = follower.Poll();
  EXPECT_TRUE(news.restarted);
  EXPECT_EQ(news.text, "rotated line one\nrotated line two\n");
}

TEST(TFileFollower, ADeletedFileIsNoErrorAndItsSuccessorIsReadWhole)
{
  TScratchFolder dir;
  const std::string log = dir.Write("error.log", "before the stop\n");
  TFileFollower follower(log);
  ASSERT_EQ(follower.Poll().text, "before the stop\n");
  std::filesystem::remove(log);
  EXPECT_EQ(follower.Poll().text, "");
  EXPECT_FALSE(follower.Exists());
  // Of the same size, and likely with the same inode.
  dir.Write("error.log", "after a restart\n");
  const TFileFollower::TNews news = follower.Poll();
  EXPECT_EQ(news.text, "after a restart\n");
  EXPECT_TRUE(news.restarted);
}

TEST(TFileFollower, GivesAtMostTheBacklogFromTheFirstWholeLine)
{
  TScratchFolder dir;
  const std::string log = dir.Write("error.log", "an old line longer than the backlog\nkept 1\nkept 2\n");
  TFileFollower follower(log, 16);
  EXPECT_EQ(follower.Poll().text, "kept 1\nkept 2\n");
  // The same when the file grows by more than the backlog between two polls.
  Append(log, "dropped line that is long\nlast 1\nlast 2\n");
  EXPECT_EQ(follower.Poll().text, "last 1\nlast 2\n");
  // A line that never ends is given once it reaches the backlog.
  Append(log, "0123456789");
  EXPECT_EQ(follower.Poll().text, "");
  Append(log, "abcdefXYZ");
  EXPECT_EQ(follower.Poll().text, "0123456789abcdefXYZ\n");
}

TEST(TFileFollower, AMarkKeepsOnlyTheLinesHoldingIt)
{
  TScratchFolder dir;
  const std::string log = dir.Write("error.log", "[core:notice] started\n[php:error] PHP Fatal error: x\n");
  TFileFollower follower(log, 1024 * 1024, "[php:");
  EXPECT_EQ(follower.Poll().text, "[php:error] PHP Fatal error: x\n");
  Append(log, "[mpm_prefork:notice] ready\n[php:warn");
  EXPECT_EQ(follower.Poll().text, "");
  Append(log, "] PHP Warning: y\n");
  EXPECT_EQ(follower.Poll().text, "[php:warn] PHP Warning: y\n");
}

TEST(TFileFollower, AFileItCannotReadIsAnErrorNamingIt)
{
  TScratchFolder dir;
  const std::string log = dir.Write("error.log", "secret\n");
  ASSERT_EQ(chmod(log.c_str(), 0), 0);
  TestSupport::GiveToNobody(dir.Path());
  const auto unreadable = [&log] {
    TFileFollower follower(log);
    try {
      follower.Poll();
    } catch (const EFileError &error) {
      return error.ErrorCode == EACCES && std::string(error.what()).find(log) != std::string::npos;
    }
    return false;
  };
  // Root reads every file: the reader is the unprivileged owner of the file.
  EXPECT_EQ(geteuid() == 0 ? TestSupport::RunAsNobody(unreadable) : unreadable(), 1);
}
