#pragma once

#include <string>

namespace Corvala
{

// Whether a plain file of the data folder belongs to the database server's own state: the Aria
// log and its control file, the DDL recovery log, InnoDB's system tablespace ("ibdata1"), redo log
// ("ib_logfile0", and "ib_logfile101" while it is resized), undo tablespaces ("undo001"...),
// temporary tablespace and buffer pool dump, the transaction coordinator log and the upgrade marker.
// Deleting them loses committed rows (the Aria log and the redo log hold what a crash left
// unwritten; InnoDB's tables cannot be read without the system tablespace) or makes the server
// rewrite ("zerofill") every Aria table on its next start, so the exit clean-up keeps them.
bool IsServerStateFile(const std::string &name);

} // namespace Corvala
