#pragma once

#include <string>

namespace Base
{

// Removes leading and trailing blanks and control characters (every byte up to ' ').
inline std::string TrimBlanks(const std::string &text)
{
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  size_t first = 0;
  size_t last = text.size();
  while (first < last && blank(text[first]))
    ++first;
  while (last > first && blank(text[last - 1]))
    --last;
  return text.substr(first, last - first);
}

} // namespace Base
