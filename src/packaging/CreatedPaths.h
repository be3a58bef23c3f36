#pragma once

#include <string>
#include <vector>

namespace Corvala
{

// The files and folders a build created, so that a cancelled or failed build removes them and
// nothing that was there before it.
class TCreatedPaths
{
public:
  // Notes a path the build has just created.
  void Add(const std::string &path) { paths.push_back(path); }
  // Creates the folder with its missing parents, noting each one it created.
  void MakeFolder(const std::string &folder);
  // Deletes what was noted, the latest first; a path already gone is skipped.
  void RemoveAll();

private:
  std::vector<std::string> paths;
};

} // namespace Corvala
