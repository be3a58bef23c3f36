#include "utils/IconFile.h"
#include "ResourceTestSupport.h"

using namespace AppUtils;
using namespace ResourceTests;

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
