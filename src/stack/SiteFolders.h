#pragma once

#include "stack/StackSetup.h"

#include <string>

namespace Corvala
{

// The directives that serve "<name>.localhost" from the folder "<web root>/<name>", or from its
// "public" folder when that holds index.php, as that site's own document root (so a front
// controller sees itself at "/"). name is one host label as browsers send it (lower-case letters,
// digits and inner hyphens, at most 63) and no tool of the stack, whose guards are bound to its
// path on the main site. A hook after the server-wide rewrite rules, so the guards and the key's
// rules hold for these hosts as for the main site. Any other name under .localhost, and a name
// without such a folder, gets 404 with a page that says so; every other name keeps the web root.
std::string SiteFolderRules(const TStackSetup &setup);

} // namespace Corvala
