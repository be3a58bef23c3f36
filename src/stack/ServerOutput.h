#pragma once

#include <string>
#include <vector>

namespace Corvala
{

// Where a server's standard error goes while it runs: "<workFolder>/<server>-output.log". What a
// server says before it has opened its own log (Apache's configuration errors, every message of
// MariaDB without a log file) is written there, and read back when it ends.
std::string ServerOutputPath(const std::string &workFolder, const std::string &server);

// What the servers' output files say about why a server ended: from each file the lines MariaDB
// marks "[ERROR]" (its "Aborting" left out) or, when it has none, its last few lines; each on a
// line of its own after ":". Empty when the files say nothing.
std::string LastWordsOf(const std::vector<std::string> &files);

// Copies what the server wrote into its output file to the launcher's standard error and empties
// the file: the work folder goes with the stop, and a log of the launcher's run keeps it.
void CopyServerOutput(const std::string &file);

} // namespace Corvala
