#pragma once

#include "stack/StackRun.h"

namespace Corvala
{

// The stop of what the start started, and the deletion of the files the servers leave.
class TStackCleanup
{
public:
  explicit TStackCleanup(TStackRun &run) : Run(run) {}

  // Ends the splash process, if it still runs, and forgets it (its id may be given to another).
  void EndSplash();
  // Stops splash, Apache and MySQL and passes on what the servers said. True when MySQL stopped
  // cleanly (or never ran), so its data folder is consistent.
  bool StopServers();
  // Deletes the work folder and, when the data folder is consistent and not on a disc, its loose
  // files.
  void RemoveTemporaryFiles(bool dataFolderConsistent) const;

private:
  // TStackFiles' look or deletion of one path.
  using TPathCall = bool (TStackFiles::*)(const std::string &);
  void DeleteWithRetries(const std::string &path, TPathCall exists, TPathCall remove) const;

  TStackRun &Run;
};

} // namespace Corvala
