#include "config/IntegerValue.h"

#include <charconv>
#include <stdexcept>

namespace Corvala
{

int StrToInt(const std::string &text)
{
  const char *begin = text.data();
  const char *end = text.data() + text.size();
  // from_chars takes a '-' but not a '+'; a second sign after '+' must still fail.
  if (begin != end && *begin == '+' && end - begin > 1 && begin[1] != '-')
    ++begin;
  int value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value, 10);
  if (begin == end || error != std::errc() || stop != end)
    throw std::invalid_argument("'" + text + "' is not a valid integer value");
  return value;
}

} // namespace Corvala
