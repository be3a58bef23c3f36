#pragma once

#include "packaging/BuildProgress.h"
#include "packaging/CreatedPaths.h"

#include <chrono>
#include <string>
#include <sys/stat.h>

namespace Corvala
{

// The build's copy of folder trees: counts what is to be copied, then copies it with progress,
// cancellation between files and within large ones, and a clear error naming the file that could
// not be copied. Files are overwritten, folders merged, symlinks copied as symlinks, modification
// times kept; every copied file and folder is writable by its owner. What the copy creates is noted
// in Created.
class TTreeCopy
{
public:
  TTreeCopy(const TBuildHooks &hooks, TCreatedPaths &created) : Hooks(hooks), Created(created) {}

  // Adds the files and bytes below Path (a folder or a file) to the totals.
  void Count(const std::string &path);
  // Names the step the next copies belong to, and reports it.
  void BeginStep(const std::string &step);
  // Copies the folder Source into DestFolder under its own name. A missing source copies nothing.
  void CopyInto(const std::string &source, const std::string &destFolder);
  // Copies the contents of the folder Source into DestFolder.
  void CopyContents(const std::string &source, const std::string &destFolder);
  // Reports where the copy stands, now.
  void Report();

private:
  void CopyEntry(const std::string &source, const std::string &target, bool inCreatedFolder);
  void CopyFolderEntries(const std::string &source, const std::string &target, bool inCreatedFolder);
  void CopyFile(const std::string &source, const struct stat &st, const std::string &target);
  void CheckCancel() const;
  void Advanced(uint64_t bytes);

  const TBuildHooks &Hooks;
  TCreatedPaths &Created;
  TBuildProgress Progress;
  // Identity of the folder being written into; a source walk skips it, so a copy into a folder
  // below its own source ends.
  dev_t TargetDev = 0;
  ino_t TargetIno = 0;
  std::chrono::steady_clock::time_point LastReport{};
};

} // namespace Corvala
