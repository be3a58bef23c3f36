#include "resources/IconFile.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace Resources
{

static uint32_t Get(const unsigned char *p, int bytes)
{
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = (value << 8) | p[i];
  return value;
}

static void Put(std::string &out, uint32_t value, int bytes)
{
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

static const unsigned char *Bytes(std::string_view data)
{
  return reinterpret_cast<const unsigned char *>(data.data());
}

bool IsValidIconFile(const void *data, size_t size)
{
  const auto *p = static_cast<const unsigned char *>(data);
  if (size < IconHeaderSize || std::memcmp(p, "MZ", 2) == 0 ||
      (size >= 4 && std::memcmp(p,
                                "\x7f"
                                "ELF",
                                4) == 0))
    return false;
  const uint64_t count = Get(p + 4, 2);
  if (size < IconHeaderSize + IconFileEntrySize * count)
    return false;
  // Each image's bytes once: overlapping or repeated entries would multiply a small file into a
  // large resource set.
  std::vector<std::pair<uint64_t, uint64_t>> images;
  uint64_t total = 0;
  for (uint64_t i = 0; i < count; ++i) {
    const unsigned char *entry = p + IconHeaderSize + IconFileEntrySize * i;
    const uint64_t length = Get(entry + 8, 4);
    const uint64_t start = Get(entry + 12, 4);
    const uint64_t end = start + length;
    if (end > 0xffffffffu || end > size)
      return false;
    total += length;
    if (length > 0)
      images.emplace_back(start, end);
  }
  if (total > MaxIconImageBytes)
    return false;
  std::sort(images.begin(), images.end());
  for (size_t i = 1; i < images.size(); ++i)
    if (images[i].first < images[i - 1].second)
      return false;
  return true;
}

size_t IconImageCount(std::string_view icon)
{
  return icon.size() < IconHeaderSize ? 0 : Get(Bytes(icon) + 4, 2);
}

std::string IconFileImage(std::string_view icon, size_t index)
{
  const unsigned char *entry = Bytes(icon) + IconHeaderSize + IconFileEntrySize * index;
  return std::string(icon.substr(Get(entry + 12, 4), IconFileImageSize(icon, index)));
}

uint32_t IconFileImageSize(std::string_view icon, size_t index)
{
  return Get(Bytes(icon) + IconHeaderSize + IconFileEntrySize * index + 8, 4);
}

std::string BuildIconGroup(std::string_view icon, uint16_t reserved, uint16_t type)
{
  const size_t count = IconImageCount(icon);
  std::string group;
  Put(group, reserved, 2);
  Put(group, type, 2);
  Put(group, static_cast<uint32_t>(count), 2);
  for (size_t i = 0; i < count; ++i) {
    group.append(icon.substr(IconHeaderSize + IconFileEntrySize * i, 12));
    Put(group, static_cast<uint32_t>(i + 1), 2);
  }
  return group;
}

std::vector<uint16_t> IconGroupIds(std::string_view group)
{
  std::vector<uint16_t> ids;
  const size_t count = IconImageCount(group);
  for (size_t i = 0; i < count && IconHeaderSize + IconGroupEntrySize * (i + 1) <= group.size(); ++i)
    ids.push_back(static_cast<uint16_t>(Get(Bytes(group) + IconHeaderSize + IconGroupEntrySize * i + 12, 2)));
  return ids;
}

std::string IconFileFromGroup(std::string_view group,
                              const std::function<std::optional<std::string>(uint16_t id)> &image)
{
  if (group.size() < IconHeaderSize)
    return {};
  const std::vector<uint16_t> ids = IconGroupIds(group);
  std::vector<std::pair<size_t, std::string>> found; // group entry index, image
  for (size_t i = 0; i < ids.size(); ++i)
    if (std::optional<std::string> data = image(ids[i]))
      found.emplace_back(i, std::move(*data));
  std::string file(group.substr(0, 4)), images;
  Put(file, static_cast<uint32_t>(found.size()), 2);
  size_t offset = IconHeaderSize + IconFileEntrySize * found.size();
  for (const auto &[index, data] : found) {
    file.append(group.substr(IconHeaderSize + IconGroupEntrySize * index, 8));
    Put(file, static_cast<uint32_t>(data.size()), 4);
    Put(file, static_cast<uint32_t>(offset), 4);
    offset += data.size();
    images += data;
  }
  return file + images;
}

} // namespace Resources
