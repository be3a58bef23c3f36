// The terminal's client options, written by every start of MySQL on a scripted machine.
#include "FakeStackSystem.h"
#include "stack/StackTerminal.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace StackFakes;
using Corvala::TServerStack;

namespace
{
std::string ExpectedOptions(const std::string &work, int port)
{
  return "[client]\nuser=root\nprotocol=socket\nsocket=" + work +
         "/mysql.sock\nport=" + std::to_string(port) + "\ndefault-character-set=utf8mb4\n";
}

unsigned ModeOf(const std::string &path)
{
  struct stat info {
  };
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}
} // namespace

TEST(TerminalOptions, TheStartWritesThemPrivateForRootThroughTheSocketInUtf8mb4)
{
  TFakeMachine machine;
  const std::string work = machine.Installation.WorkFolder;
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  EXPECT_EQ(Corvala::TerminalClientOptionsFolder(work), work + "/terminal");
  EXPECT_EQ(machine.WorkFile("terminal/my.cnf"), ExpectedOptions(work, 3306));
  EXPECT_EQ(ModeOf(work + "/terminal"), 0700u);
  EXPECT_EQ(ModeOf(work + "/terminal/my.cnf"), 0600u);
}

// An open terminal keeps its option file's path: a MySQL that moved, or a start after the work
// folder was emptied, writes it there again.
TEST(TerminalOptions, EveryStartOfMySqlWritesThemAgain)
{
  TFakeMachine machine;
  const std::string work = machine.Installation.WorkFolder;
  TServerStack stack(machine.Options());
  ASSERT_EQ(stack.Start(), TServerStack::TStartResult::Started);
  stack.PauseMySql();
  machine.Ports.Taken.insert(3306);
  stack.ResumeMySql();
  EXPECT_EQ(machine.WorkFile("terminal/my.cnf"), ExpectedOptions(work, 3307));

  std::filesystem::remove_all(work + "/terminal");
  stack.RestartServers();
  EXPECT_EQ(machine.WorkFile("terminal/my.cnf"), ExpectedOptions(work, 3307));
}
