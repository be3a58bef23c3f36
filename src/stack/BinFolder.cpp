#include "stack/BinFolder.h"

#include "files/FileTree.h"
#include "files/FolderEntries.h"
#include "stack/CommandLineTools.h"
#include "tree/TreeLibraries.h"

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace Corvala
{

namespace
{

// Copies the entries of Source into Destination, leaving out the paths (relative to Source) in
// Skipped; a folder holding a skipped path is copied entry by entry.
void CopyEntriesLeavingOut(const std::string &source, const std::string &destination,
                           const std::string &relative, const std::set<std::string> &skipped)
{
  for (const std::string &name : Files::ReadEntryNames(source)) {
    const std::string path = relative.empty() ? name : relative + "/" + name;
    if (skipped.contains(path))
      continue;
    const auto inside = skipped.lower_bound(path + "/");
    if (inside != skipped.end() && inside->starts_with(path + "/")) {
      std::error_code ignored;
      std::filesystem::create_directories(destination + "/" + name, ignored);
      CopyEntriesLeavingOut(source + "/" + name, destination + "/" + name, path, skipped);
    } else {
      CopyFromDisc(source + "/" + name, destination);
    }
  }
}

// A path relative to the application folder ("bin/php/php"), relative to bin instead.
std::string BelowBin(std::string_view path)
{
  return std::string(path.substr(std::string_view("bin/").size()));
}

} // namespace

void CopyFromDisc(const std::string &source, const std::string &workFolder)
{
  try {
    Files::CopyFolder(source, workFolder);
  } catch (const std::runtime_error &error) {
    throw std::runtime_error("\"" + source +
                             "\" could not be copied from the disc into the work folder: " + error.what());
  }
}

std::string PrepareBinFolder(const std::string &appPath, const std::string &workFolder, bool isCdRom)
{
  std::string bin = appPath + "bin";
  if (!isCdRom)
    return bin;
  std::string copy = workFolder + "/bin";
  const std::string copiedLibraries = workFolder + "/" + LibraryFolder;
  std::error_code ignored;
  std::filesystem::create_directories(copiedLibraries, ignored);
  const std::string libraries = appPath + LibraryFolder;
  // The launcher's Qt runtime, the libraries and the command-line tools stay on the disc: the
  // terminal runs the tools from there.
  std::set<std::string> skipped = {BelowBin(LibraryFolder), BelowBin(QtRuntimeFolder),
                                   BelowBin(ComposerFolder)};
  for (const char *tool : CommandLineTools)
    skipped.insert(BelowBin(tool));
  CopyEntriesLeavingOut(bin, copy, "", skipped);
  for (const std::string &name : NeededLibraries(libraries, ElfFilesBelow(copy, {"lib"})))
    CopyFromDisc(libraries + "/" + name, copiedLibraries);
  Files::SetTreeReadOnly(copy, false);
  return copy;
}

} // namespace Corvala
