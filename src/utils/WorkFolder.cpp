#include "utils/WorkFolder.h"

#include "utils/Md5.h"
#include "utils/OwnFolder.h"
#include "utils/Paths.h"
#include "utils/TempFolder.h"

namespace AppUtils
{

std::string WorkFolderPathFor(const std::string &programPath)
{
  return GetTempFolder() + "/" + Md5Hex(programPath);
}

std::string GetTempWorkFolder()
{
  std::string path = WorkFolderPathFor(GetProgramPath());
  EnsureOwnFolder(path, "Work folder");
  return path;
}

} // namespace AppUtils
