#pragma once

#include <string>

namespace Corvala
{

// Whether a plain file of the data folder belongs to the database server's own state: the Aria
// log and its control file, the DDL recovery log, InnoDB's system and log files, the transaction
// coordinator log and the upgrade marker. Deleting them loses committed rows (the Aria log holds
// what a crash left unwritten) or makes the server rewrite ("zerofill") every Aria table on its
// next start, so the exit clean-up keeps them.
bool IsServerStateFile(const std::string &name);

} // namespace Corvala
