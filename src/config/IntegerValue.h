#pragma once

#include <string>

namespace Corvala
{

// The decimal value of text: an optional '+' or '-' and decimal digits, nothing else (no blanks,
// no hexadecimal), within the range of a 32-bit signed integer. Otherwise throws
// std::invalid_argument with "'%s' is not a valid integer value".
int StrToInt(const std::string &text);

} // namespace Corvala
