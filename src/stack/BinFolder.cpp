#include "stack/BinFolder.h"

#include "stack/TreeLibraries.h"
#include "utils/FileTree.h"
#include "utils/FolderEntries.h"

#include <filesystem>
#include <system_error>

namespace Corvala
{

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
  const std::string runtime = appPath + QtRuntimeFolder;
  for (const std::string &name : AppUtils::ReadEntryNames(bin))
    if (bin + "/" + name != libraries && bin + "/" + name != runtime)
      AppUtils::CopyFolder(bin + "/" + name, copy);
  for (const std::string &name : NeededLibraries(libraries, ElfFilesBelow(copy, {"lib"})))
    AppUtils::CopyFolder(libraries + "/" + name, copiedLibraries);
  AppUtils::SetTreeReadOnly(copy, false);
  return copy;
}

} // namespace Corvala
