#pragma once

#include <array>

namespace Corvala
{

// The stack's command line, relative to the application folder: PHP's interpreter beside its
// module (the script "php" that starts Debian's "php-cli" on the stack's own configuration),
// Composer's script beside it, MariaDB's client and dump tool beside the server. The servers need
// none of them.
inline constexpr const char *PhpToolFolder = "bin/php";
inline constexpr const char *MySqlToolFolder = "bin/mysql/bin";
inline constexpr std::array<const char *, 5> CommandLineTools = {"bin/php/php", "bin/php/php-cli",
                                                                 "bin/php/composer", "bin/mysql/bin/mariadb",
                                                                 "bin/mysql/bin/mariadb-dump"};
// Composer itself and the PHP libraries it loads, which bin/php/composer runs.
inline constexpr const char *ComposerFolder = "bin/composer";

} // namespace Corvala
