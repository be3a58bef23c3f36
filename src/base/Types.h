#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Base
{

// A growable list of texts (names, keys), kept in the order they were found.
using TStringArray = std::vector<std::string>;

// Process ids as the system gives them; 0 means "no process".
using TProcessId = uint32_t;
using TCardinalArray = std::vector<TProcessId>;

} // namespace Base
