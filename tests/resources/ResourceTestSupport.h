#pragma once

// Helpers for the resource tests: icon files built from parts.
#include "support/TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ResourceTests
{

inline void PutLE(std::string &out, uint32_t value, int bytes)
{
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// An icon file with one image per entry of `images`, laid out one after another behind the
// directory; image i is square with width 16 * (i + 1) and 32 bits per pixel.
inline std::string MakeIcon(const std::vector<std::string> &images)
{
  std::string file;
  PutLE(file, 0, 2);
  PutLE(file, 1, 2);
  PutLE(file, static_cast<uint32_t>(images.size()), 2);
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    file.push_back(static_cast<char>(16 * (i + 1)));
    file.push_back(static_cast<char>(16 * (i + 1)));
    file.append(2, '\0');
    PutLE(file, 1, 2);
    PutLE(file, 32, 2);
    PutLE(file, static_cast<uint32_t>(images[i].size()), 4);
    PutLE(file, offset, 4);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const std::string &image : images)
    file += image;
  return file;
}

} // namespace ResourceTests
