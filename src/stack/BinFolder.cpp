#include "stack/BinFolder.h"

#include "utils/FileTree.h"

namespace Corvala
{

std::string PrepareBinFolder(const std::string &appPath, const std::string &workFolder, bool isCdRom)
{
  const std::string bin = appPath + "bin";
  if (!isCdRom)
    return bin;
  AppUtils::CopyFolder(bin, workFolder);
  const std::string copy = workFolder + "/bin";
  AppUtils::SetTreeReadOnly(copy, false);
  return copy;
}

} // namespace Corvala
