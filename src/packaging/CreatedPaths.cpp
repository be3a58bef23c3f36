#include "packaging/CreatedPaths.h"

#include "files/FileTree.h"

#include <cerrno>
#include <stdexcept>
#include <string.h>
#include <sys/stat.h>

namespace Corvala
{

void TCreatedPaths::MakeFolder(const std::string &folder)
{
  for (size_t pos = folder.find('/', 1);; pos = folder.find('/', pos + 1)) {
    const std::string part = folder.substr(0, pos);
    if (mkdir(part.c_str(), 0777) == 0)
      Add(part);
    else if (errno != EEXIST)
      throw std::runtime_error("Cannot create the folder \"" + part + "\": " + strerror(errno));
    if (pos == std::string::npos)
      break;
  }
  struct stat st {
  };
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw std::runtime_error("Cannot create the folder \"" + folder +
                             "\": a file of that name is in the way");
}

void TCreatedPaths::RemoveAll()
{
  for (auto path = paths.rbegin(); path != paths.rend(); ++path)
    Files::ShellDelete(*path);
  paths.clear();
}

} // namespace Corvala
