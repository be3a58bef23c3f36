#include "files/OwnFolder.h"

#include "support/TestSupport.h"

#include <stdexcept>
#include <sys/stat.h>

using namespace Files;
using namespace TestSupport;

TEST(OwnFolder, OnlyMakePrivateTakesTheOthersAccessAway)
{
  TScratchFolder scratch;
  const std::string shared = scratch.File("shared");
  EnsureOwnFolder(shared, "Test folder");
  ASSERT_EQ(chmod(shared.c_str(), 0711), 0);

  // A folder its owner opened up for others, as the server workers need, stays open.
  EnsureOwnFolder(shared, "Test folder");
  EXPECT_EQ(ModeOf(shared), 0711);

  EnsureOwnFolder(shared, "Test folder", true);
  EXPECT_EQ(ModeOf(shared), 0700);
}

TEST(OwnFolder, RefusalsNameTheKindAndThePath)
{
  TScratchFolder scratch;
  const std::string file = scratch.File("taken");
  WriteBytes(file, "not a folder");
  try {
    EnsureOwnFolder(file, "Test folder", true);
    FAIL() << "a file was taken for a folder";
  } catch (const std::runtime_error &error) {
    EXPECT_EQ(std::string(error.what()),
              "Test folder \"" + file + "\" exists but is not a folder; refusing to use it");
  }
  EXPECT_EQ(ReadBytes(file), "not a folder");
}
