#pragma once

#include <array>

namespace Corvala
{

// The stack's command line, relative to the application folder: PHP's interpreter beside its
// module, MariaDB's client and dump tool beside the server. The servers need none of them.
inline constexpr const char *PhpToolFolder = "bin/php";
inline constexpr const char *MySqlToolFolder = "bin/mysql/bin";
inline constexpr std::array<const char *, 3> CommandLineTools = {"bin/php/php", "bin/mysql/bin/mariadb",
                                                                 "bin/mysql/bin/mariadb-dump"};

} // namespace Corvala
