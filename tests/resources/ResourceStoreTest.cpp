#include "resources/ResourceStore.h"
#include "files/FileIO.h"
#include "resources/ResourceTestSupport.h"

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace Files;
using namespace Resources;
using namespace ResourceTests;
using namespace TestSupport;

namespace
{

const std::string Content("\x7f"
                          "ELF original content\0with zeros",
                          32);

TResourceList SampleResources()
{
  return {
      {RT_RCDATA, "RES_CONFIG_INI", 0, "[INI]\r\nport=80"},
      {RT_GROUP_ICON, "MainIcon", 2052, std::string("\0\0\1\0\0\0", 6)},
      {RT_ICON, 1, 2052, "image one"},
      {RT_ICON, 2, 2052, ""},
  };
}

std::string SampleImage()
{
  return Content + SerializeResourceStore(SampleResources(), Content.size());
}

} // namespace

TEST(ResourceStore, RoundTripsEntriesAndKeepsTheContent)
{
  const TResourceStore store = ParseResourceStore(SampleImage());
  EXPECT_EQ(store.ContentSize, Content.size());
  ASSERT_EQ(store.Resources.size(), 4u);
  const TResource *config = FindResource(store.Resources, RT_RCDATA, "res_config_ini");
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(config->Data, "[INI]\r\nport=80");
  EXPECT_EQ(FindResource(store.Resources, RT_ICON, 1)->Data, "image one");
  EXPECT_EQ(FindResource(store.Resources, RT_ICON, 2)->Data, "");
  EXPECT_EQ(FindResource(store.Resources, RT_GROUP_ICON, "MAINICON")->Language, 2052);
  EXPECT_EQ(FindResource(store.Resources, RT_RCDATA, 1), nullptr);
  EXPECT_EQ(FindResource(store.Resources, RT_ICON, "1"), nullptr); // a text is no number

  TScratchFolder dir;
  WriteBytes(dir.File("exe"), SampleImage());
  const TResourceStore fromFile = ReadResourceStore(dir.File("exe"));
  EXPECT_EQ(fromFile.ContentSize, Content.size());
  EXPECT_EQ(fromFile.Resources.size(), 4u);
}

TEST(ResourceStore, NamesAndLanguages)
{
  EXPECT_TRUE(TResName::Parse("12").IsNumber());
  EXPECT_EQ(TResName::Parse("#7").Id(), 7);
  EXPECT_FALSE(TResName::Parse("65536").IsNumber());
  EXPECT_FALSE(TResName::Parse("RES_CD").IsNumber());
  EXPECT_EQ(TResName("Res_Cd"), TResName("RES_CD"));
  EXPECT_FALSE(TResName("RES_C") == TResName("RES_CD"));

  TResourceList list;
  EXPECT_TRUE(SetResource(list, RT_RCDATA, "x", 1033, "en"));
  EXPECT_TRUE(SetResource(list, RT_RCDATA, "X", 0, "neutral"));
  EXPECT_TRUE(SetResource(list, RT_RCDATA, "x", 1033, "en again"));
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(ResourceLanguages(list, RT_RCDATA, "x"), (std::vector<uint16_t>{0, 1033}));
  EXPECT_EQ(FindResource(list, RT_RCDATA, "x")->Data, "neutral");
  DeleteResource(list, RT_RCDATA, "x", 0);
  DeleteResource(list, RT_RCDATA, "x", 7);
  EXPECT_EQ(FindResource(list, RT_RCDATA, "x")->Data, "en again");
  errno = 0;
  EXPECT_FALSE(SetResource(list, RT_RCDATA, std::string(MaxResourceNameBytes + 1, 'n'), 0, ""));
  EXPECT_EQ(errno, EINVAL);
}

TEST(ResourceStore, EveryTruncationReadsAsNoResources)
{
  const std::string image = SampleImage();
  for (size_t length = 0; length < image.size(); ++length) {
    const TResourceStore store = ParseResourceStore(std::string_view(image).substr(0, length));
    EXPECT_TRUE(store.Resources.empty()) << "length " << length;
    EXPECT_EQ(store.ContentSize, length);
  }
  TScratchFolder dir;
  WriteBytes(dir.File("cut"), image.substr(0, image.size() - 1));
  EXPECT_TRUE(ReadResourceStore(dir.File("cut")).Resources.empty());
}

TEST(ResourceStore, EveryFlippedStoreByteReadsAsNoResources)
{
  const std::string image = SampleImage();
  for (size_t at = Content.size(); at < image.size(); ++at) {
    for (const unsigned char mask : {0x01, 0x80, 0xff}) {
      std::string damaged = image;
      damaged[at] = static_cast<char>(damaged[at] ^ mask);
      const TResourceStore store = ParseResourceStore(damaged);
      EXPECT_TRUE(store.Resources.empty()) << "byte " << at << " mask " << int(mask);
      EXPECT_EQ(store.ContentSize, damaged.size());
    }
  }
}

TEST(ResourceStore, AbsurdCountsAndOffsetsReadAsNoResources)
{
  const std::string image = SampleImage();
  const size_t trailer = image.size() - 48;
  auto patched = [&](size_t at, uint64_t value, int bytes) {
    std::string field;
    PutLE(field, static_cast<uint32_t>(value), bytes > 4 ? 4 : bytes);
    if (bytes == 8)
      PutLE(field, static_cast<uint32_t>(value >> 32), 4);
    std::string copy = image;
    copy.replace(trailer + at, bytes, field);
    return copy;
  };
  EXPECT_TRUE(ParseResourceStore(patched(12, 0xffffffffu, 4)).Resources.empty()); // count
  EXPECT_TRUE(ParseResourceStore(patched(16, ~0ull, 8)).Resources.empty());       // store offset
  EXPECT_TRUE(ParseResourceStore(patched(24, ~0ull - 10, 8)).Resources.empty());  // table offset
  EXPECT_TRUE(ParseResourceStore(patched(32, 1ull << 40, 8)).Resources.empty());  // table size
  EXPECT_TRUE(ParseResourceStore(patched(16, 0, 8)).Resources.empty());           // store too early
}

TEST(ResourceStore, AStoreOverTheSizeLimitIsRefusedUnread)
{
  // A well-formed, empty store whose data region (sparse zeros) is one byte over the limit.
  TScratchFolder dir;
  const uint64_t region = MaxStoreBytes + 1;
  const std::string zeros(1 << 20, '\0');
  uLong crc = crc32(0L, Z_NULL, 0);
  for (uint64_t done = 0; done < region; done += zeros.size())
    crc = crc32(crc, reinterpret_cast<const Bytef *>(zeros.data()),
                static_cast<uInt>(std::min<uint64_t>(zeros.size(), region - done)));
  std::string trailer("CorvRes\x1a", 8);
  PutLE(trailer, 1, 4);
  PutLE(trailer, 0, 4);
  for (const uint64_t field : {uint64_t{0}, region, uint64_t{0}}) {
    PutLE(trailer, static_cast<uint32_t>(field), 4);
    PutLE(trailer, static_cast<uint32_t>(field >> 32), 4);
  }
  PutLE(trailer, static_cast<uint32_t>(crc), 4);
  PutLE(trailer, 0, 4);
  const std::string path = dir.File("sparse");
  WriteBytes(path, "");
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(region)), 0);
  std::ofstream(path, std::ios::binary | std::ios::app) << trailer;
  EXPECT_EQ(ReadResourceStore(path).ContentSize, region + 48);

  // The same layout one byte smaller is a valid, empty store.
  std::string fine = std::string(100, '\0') + trailer;
  const uint32_t smallCrc =
      static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef *>(fine.data()), 100));
  fine.replace(100 + 24, 8, std::string("\x64\0\0\0\0\0\0\0", 8));
  std::string crcField;
  PutLE(crcField, smallCrc, 4);
  fine.replace(100 + 40, 4, crcField);
  EXPECT_EQ(ParseResourceStore(fine).ContentSize, 0u);
}

TEST(TResourceUpdate, RewritesReplaceTheStoreAndKeepContentAndMode)
{
  TScratchFolder dir;
  const std::string target = dir.File("program");
  WriteBytes(target, Content);
  ASSERT_EQ(chmod(target.c_str(), 0751), 0);
  {
    TResourceUpdate update(target);
    EXPECT_TRUE(update.Resources.empty());
    update.Resources = SampleResources();
    update.Commit();
  }
  const std::string once = ReadBytes(target);
  EXPECT_EQ(once.substr(0, Content.size()), Content);
  for (int round = 0; round < 3; ++round) {
    TResourceUpdate update(target);
    ASSERT_EQ(update.Resources.size(), 4u);
    update.Commit();
  }
  EXPECT_EQ(ReadBytes(target), once); // no stacked stores
  EXPECT_EQ(ModeOf(target), 0751);

  {
    TResourceUpdate update(target);
    update.Resources.clear();
    update.Commit();
  }
  EXPECT_EQ(ReadResourceStore(target).ContentSize, Content.size());
  EXPECT_EQ(fs::directory_iterator(dir.Path())->path().filename(), "program");
}

TEST(TResourceUpdate, UncommittedOrThroughASymlink)
{
  TScratchFolder dir;
  const std::string target = dir.File("real");
  WriteBytes(target, SampleImage());
  {
    TResourceUpdate update(target);
    update.Resources.clear();
  }
  EXPECT_EQ(ReadBytes(target), SampleImage());

  fs::create_symlink("real", dir.Path() / "link");
  {
    TResourceUpdate update(dir.File("link"));
    SetResource(update.Resources, RT_RCDATA, "NEW", 0, "new");
    update.Commit();
  }
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "link"));
  EXPECT_NE(FindResource(ReadResourceStore(target).Resources, RT_RCDATA, "new"), nullptr);
  EXPECT_THROW(TResourceUpdate(dir.File("missing")), EFileError);
  EXPECT_THROW(TResourceUpdate(dir.Path().string()), EFileError);
}

TEST(TResourceUpdate, FailedWriteLeavesTheTargetAndNoTemporaryFile)
{
  TScratchFolder dir;
  const std::string target = dir.File("program");
  WriteBytes(target, SampleImage());
  const std::string before = ReadBytes(target);
  // A file size limit makes the new file's write fail, even for a privileged user.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      TResourceUpdate update(target);
      SetResource(update.Resources, RT_RCDATA, "LARGE", 0, std::string(100000, 'x'));
      update.Commit();
    } catch (const EFileError &e) {
      _exit(e.ErrorCode == EFBIG ? 0 : 2);
    }
    _exit(3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadBytes(target), before);
  size_t files = 0;
  for ([[maybe_unused]] const auto &entry : fs::directory_iterator(dir.Path()))
    ++files;
  EXPECT_EQ(files, 1u);
}

TEST(TResourceUpdate, ReadOnlyFolderOrFileRefusesTheUpdate)
{
  if (geteuid() == 0)
    GTEST_SKIP() << "permissions do not bind a privileged user";
  TScratchFolder dir;
  const std::string target = dir.File("program");
  WriteBytes(target, SampleImage());
  ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
  {
    TResourceUpdate update(target);
    update.Resources.clear();
    EXPECT_THROW(update.Commit(), EFileError);
  }
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  EXPECT_EQ(ReadBytes(target), SampleImage());
  ASSERT_EQ(chmod(target.c_str(), 0444), 0);
  EXPECT_THROW(TResourceUpdate update(target), EFileError);
}
