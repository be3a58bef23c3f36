#pragma once

#include <string>
#include <vector>

// One log the Logs window follows: its tab's caption, the file, and the mark of its lines when the
// file is shared with another log (empty: every line).
struct TLogSource {
  std::string caption;
  std::string path;
  std::string lineMark;
};

// The logs of the running stack and the folder they are in.
struct TRunLogs {
  std::vector<TLogSource> logs;
  std::string folder;
};
