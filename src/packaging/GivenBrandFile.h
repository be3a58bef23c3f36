#pragma once

#include <string>

namespace Corvala
{

// A Brand.ini a build script names, made ready for the distribution build: checked, then copied to
// "<workFolder>/Brand.ini" as the rebrand dialog's Brand.ini with the given keys over its start-up
// values ("brand" stays "1"; keys the dialog does not know, such as "devtools", travel along into
// runme's configuration). The file must be a readable INI file whose [INI] section has "title",
// "port" (1 to 65535) and "outputdir"; "ip" must be an address to listen on. The paths of
// "splashfilename", "iconfile", "srcdir", "datadir" and "outputdir" are taken against the current
// folder, and those of the first four must name an existing file (folder) when given. Gives the
// copy's path; throws std::runtime_error naming the file and what is wrong with it.
std::string ImportBrandFile(const std::string &givenFile, const std::string &workFolder);

} // namespace Corvala
