#include "files/FileIO.h"
#include "resources/ResourceTestSupport.h"

#include <cerrno>
#include <climits>
#include <unistd.h>

using namespace Files;
using namespace ResourceTests;
using namespace TestSupport;

// The error code an action raises, or 0 when it raises nothing.
template <class Action> static int ErrorCodeOf(Action action)
{
  try {
    action();
  } catch (const EFileError &e) {
    return e.ErrorCode;
  }
  return 0;
}

TEST(EFileError, MessageIsTheSystemTextOrAFallback)
{
  const EFileError missing(ENOENT);
  EXPECT_EQ(missing.ErrorCode, ENOENT);
  EXPECT_STREQ(missing.what(), "No such file or directory");
  EXPECT_EQ(FileErrorText(EACCES), "Permission denied");
  EXPECT_EQ(FileErrorText(99999), "File I/O error 99999");
}

TEST(TFile, CreateModesMapToTheirOpenRules)
{
  TScratchFolder dir;
  const std::string path = dir.File("f.bin");
  TFile file;
  EXPECT_EQ(ErrorCodeOf([&] { file.Create(path, 2, 0, 0); }), ENOENT);
  file.Create(path, 1, 2, 0); // create new
  file.WriteBuffer("hello", 5);
  file.Close();
  EXPECT_EQ(ErrorCodeOf([&] { file.Create(path, 1, 2, 0); }), EEXIST);
  file.Create(path, 3, 0, 3); // open always keeps the content
  EXPECT_EQ(file.Size64(), 5);
  file.Create(path, 4, 1, 0); // truncate existing
  EXPECT_EQ(file.Size64(), 0);
  file.WriteBuffer("abc", 3);
  file.Create(path, 0, 0, 0); // create always truncates too
  EXPECT_EQ(file.Size(), 0);
  EXPECT_EQ(ErrorCodeOf([&] { file.Create(path, 5, 0, 0); }), EINVAL);
  EXPECT_EQ(ErrorCodeOf([&] { file.Create(path, 0, 3, 0); }), EINVAL);
}

TEST(TFile, ReadBufferRaisesAtTheEndOfTheFile)
{
  TScratchFolder dir;
  WriteBytes(dir.File("f"), "12345");
  TFile file;
  file.Create(dir.File("f"), 2, 0, 1);
  char buffer[8] = {};
  file.ReadBuffer(buffer, 3);
  EXPECT_EQ(std::string(buffer, 3), "123");
  try {
    file.ReadBuffer(buffer, 3);
    ADD_FAILURE() << "short read succeeded";
  } catch (const EFileError &e) {
    EXPECT_EQ(e.ErrorCode, ENODATA);
    EXPECT_STREQ(e.what(), "Reached the end of the file");
  }
  EXPECT_EQ(file.Read(buffer, 8), 0u);
  file.Create(dir.File("f"), 2, 1, 0); // write-only access cannot read
  EXPECT_EQ(ErrorCodeOf([&] { file.Read(buffer, 1); }), EBADF);
}

TEST(TFile, SizeSaturatesBeyondTwoGigabytes)
{
  TScratchFolder dir;
  TFile file;
  file.Create(dir.File("sparse"), 0, 2, 0);
  ASSERT_EQ(ftruncate(file.Handle, 3LL << 30), 0);
  EXPECT_EQ(file.Size64(), 3LL << 30);
  EXPECT_EQ(file.Size(), INT32_MAX);
  ASSERT_EQ(ftruncate(file.Handle, INT32_MAX), 0);
  EXPECT_EQ(file.Size(), INT32_MAX);
}

TEST(WholeFiles, RoundTripBinaryAndNameTheFileOnFailure)
{
  TScratchFolder dir;
  const std::string data("a\0b\r\n\xff", 6);
  SaveStringToFile(dir.File("x"), data);
  EXPECT_EQ(LoadFileToString(dir.File("x")), data);
  SaveStringToFile(dir.File("x"), "z");
  EXPECT_EQ(LoadFileToString(dir.File("x")), "z");
  try {
    LoadFileToString(dir.File("missing"));
    ADD_FAILURE();
  } catch (const EFileError &e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + dir.File("missing") + "\". No such file or directory");
  }
  try {
    SaveStringToFile(dir.File("no/such"), "x");
    ADD_FAILURE();
  } catch (const EFileError &e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + dir.File("no/such") + "\". No such file or directory");
  }
  EXPECT_EQ(ErrorCodeOf([&] { LoadFileToString(dir.Path().string()); }), EISDIR);
}
