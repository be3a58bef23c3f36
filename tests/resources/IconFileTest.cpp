#include "resources/IconFile.h"
#include "resources/ResourceTestSupport.h"

using namespace Resources;
using namespace ResourceTests;
using namespace TestSupport;

static bool Valid(const std::string &data)
{
  return IsValidIconFile(data.data(), data.size());
}

// Sets the 32-bit field at `at` of directory entry `entry`.
static void SetEntryField(std::string &icon, size_t entry, size_t at, uint32_t value)
{
  std::string bytes;
  PutLE(bytes, value, 4);
  icon.replace(6 + 16 * entry + at, 4, bytes);
}

TEST(IsValidIconFile, AcceptsWholeDirectoriesAndImages)
{
  EXPECT_TRUE(Valid(MakeIcon({"aaaa", "bbbbbbbb"})));
  EXPECT_TRUE(Valid(MakeIcon({})));                   // zero images
  EXPECT_TRUE(Valid(std::string("\0\0\0\0\0\0", 6))); // the same, reserved and type untested
  EXPECT_TRUE(Valid(MakeIcon({""})));                 // an empty image at the very end
}

TEST(IsValidIconFile, RefusesShortTruncatedAndExecutableData)
{
  EXPECT_FALSE(IsValidIconFile(nullptr, 0));
  EXPECT_FALSE(Valid(std::string("\0\0\1\0\0", 5)));
  std::string icon = MakeIcon({"aaaa", "bbbb"});
  EXPECT_FALSE(Valid(icon.substr(0, 6 + 16 * 2 - 1)));  // directory cut short
  EXPECT_FALSE(Valid(icon.substr(0, icon.size() - 1))); // last image one byte past the end
  EXPECT_FALSE(Valid("MZ" + icon.substr(2)));
  EXPECT_FALSE(Valid(std::string("\x7f"
                                 "ELF",
                                 4) +
                     icon.substr(4)));
  EXPECT_TRUE(Valid("M" + icon.substr(1)));
}

TEST(IsValidIconFile, OffsetPlusSizeMustNotWrapAround)
{
  std::string icon = MakeIcon({"abcd"});
  SetEntryField(icon, 0, 12, 0xfffffff0u); // offset
  SetEntryField(icon, 0, 8, 0x20u);        // size: the 32-bit sum wraps to 0x10
  EXPECT_FALSE(Valid(icon));
  SetEntryField(icon, 0, 12, static_cast<uint32_t>(icon.size()));
  SetEntryField(icon, 0, 8, 0);
  EXPECT_TRUE(Valid(icon)); // an empty image exactly at the end is inside
  SetEntryField(icon, 0, 12, static_cast<uint32_t>(icon.size()) + 1);
  EXPECT_FALSE(Valid(icon));
}

TEST(IsValidIconFile, EachImageByteBelongsToOneEntryAndTheTotalIsCapped)
{
  std::string icon = MakeIcon({"aaaa", "bbbb", "cccc"});
  const uint32_t second = static_cast<uint32_t>(6 + 16 * 3 + 4);
  SetEntryField(icon, 2, 12, second);
  EXPECT_FALSE(Valid(icon)); // the third entry repeats the second's bytes
  SetEntryField(icon, 2, 12, second + 3);
  EXPECT_FALSE(Valid(icon)); // overlaps the second's last byte
  SetEntryField(icon, 2, 12, second + 4);
  EXPECT_TRUE(Valid(icon)); // right after it
  SetEntryField(icon, 0, 8, 0);
  SetEntryField(icon, 0, 12, second + 1);
  EXPECT_TRUE(Valid(icon)); // an empty image holds no byte of another

  // A large image whose entry is repeated a hundred times: a megabyte posing as a hundred.
  std::string repeated = MakeIcon(std::vector<std::string>(100, ""));
  const uint32_t imageStart = static_cast<uint32_t>(repeated.size());
  repeated += std::string(1 << 20, 'p');
  for (size_t entry = 0; entry < 100; ++entry) {
    SetEntryField(repeated, entry, 8, 1 << 20);
    SetEntryField(repeated, entry, 12, imageStart);
  }
  EXPECT_FALSE(Valid(repeated));

  const uint32_t limit = static_cast<uint32_t>(MaxIconImageBytes);
  EXPECT_TRUE(Valid(MakeIcon({std::string(limit, 'x')})));
  EXPECT_FALSE(Valid(MakeIcon({std::string(limit / 2, 'x'), std::string(limit / 2 + 1, 'y')})));
}

TEST(IconGroup, BuiltFromAFileAndBackAgain)
{
  const std::vector<std::string> images = {"first image", "second", "3rd"};
  const std::string icon = MakeIcon(images);
  const std::string group = BuildIconGroup(icon, 0, 1);
  ASSERT_EQ(group.size(), 6u + 14 * 3);
  EXPECT_EQ(IconImageCount(group), 3u);
  EXPECT_EQ(IconGroupIds(group), (std::vector<uint16_t>{1, 2, 3}));
  for (size_t i = 0; i < images.size(); ++i) {
    EXPECT_EQ(IconFileImage(icon, i), images[i]);
    EXPECT_EQ(group.substr(6 + 14 * i, 12), icon.substr(6 + 16 * i, 12));
  }
  const std::string rebuilt =
      IconFileFromGroup(group, [&](uint16_t id) -> std::optional<std::string> { return images.at(id - 1); });
  EXPECT_EQ(rebuilt, icon);

  const std::string withoutSecond = IconFileFromGroup(group, [&](uint16_t id) -> std::optional<std::string> {
    if (id == 2)
      return std::nullopt;
    return images.at(id - 1);
  });
  EXPECT_TRUE(Valid(withoutSecond));
  EXPECT_EQ(IconImageCount(withoutSecond), 2u);
  EXPECT_EQ(IconFileImage(withoutSecond, 1), "3rd");
}

TEST(IconGroup, IdsOnlyFromEntriesInsideTheData)
{
  std::string group = BuildIconGroup(MakeIcon({"a", "b"}), 0, 1);
  group.pop_back();
  EXPECT_EQ(IconGroupIds(group), (std::vector<uint16_t>{1}));
  EXPECT_TRUE(IconGroupIds("").empty());
  EXPECT_EQ(IconFileFromGroup("abc", [](uint16_t) { return std::optional<std::string>("x"); }), "");
}
