#pragma once

#include <string>

namespace Corvala
{

// Writes the start-up values of the rebrand settings into "<workFolder>/Brand.ini", section "INI",
// in this order: splashfilename (empty), title ("My Program" in double quotes), iconfile (empty),
// toolbar 1, statusbar 1, trayicon 0, fullscreen 0, ip 127.0.0.1, port 80, datadir, srcdir and
// outputdir (empty), copyfilestoharddisk 0, brand 1. Gives the path. Throws std::runtime_error
// when workFolder is empty, and "Unable to write to %s" when the file cannot be written.
std::string WriteBrandDefaults(const std::string &workFolder);

} // namespace Corvala
