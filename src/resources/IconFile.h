#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Resources
{

// Icon file: reserved u16, type u16, count N u16, then N entries of 16 bytes (width, height,
// colour count, reserved, planes u16, bits per pixel u16, image size u32, image offset u32); the
// images lie anywhere in the file. Icon group resource: the same 6-byte header, then N entries of
// 14 bytes: the first 12 bytes of a file entry and the icon resource id u16.
constexpr size_t IconHeaderSize = 6;
constexpr size_t IconFileEntrySize = 16;
constexpr size_t IconGroupEntrySize = 14;

// The most image bytes an icon file may hold; real icons stay far below it.
constexpr uint64_t MaxIconImageBytes = 16u << 20;

// True when the data is at least a header, not an executable ("MZ", or "\x7f""ELF" as executables
// are on this system), holds its whole directory, every image lies inside the data without
// 32-bit overflow, no two images share a byte, and the images hold at most MaxIconImageBytes.
// Zero images pass.
bool IsValidIconFile(const void *data, size_t size);

// Image count of an icon file or group (its header's count; 0 when shorter than a header).
size_t IconImageCount(std::string_view icon);

// Image i of a valid icon file, and its size.
std::string IconFileImage(std::string_view icon, size_t index);
uint32_t IconFileImageSize(std::string_view icon, size_t index);

// The group resource for a valid icon file: the given header fields, the file's count, and entry i
// naming icon resource id i + 1.
std::string BuildIconGroup(std::string_view icon, uint16_t reserved, uint16_t type);

// Icon resource ids of a group, in order; only entries wholly inside the data count.
std::vector<uint16_t> IconGroupIds(std::string_view group);

// An icon file made from a group and the images its ids name (from `image`). Entries whose image
// is missing are left out. Empty when the group is shorter than its header.
std::string IconFileFromGroup(std::string_view group,
                              const std::function<std::optional<std::string>(uint16_t id)> &image);

} // namespace Resources
