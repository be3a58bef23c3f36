#include "stack/PrivateFiles.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace Corvala
{

// The group Apache's workers run as when the launcher runs as root (see the Group line).
static gid_t WorkersGroup()
{
  const group *workers = getgrnam("nogroup");
  return workers != nullptr ? workers->gr_gid : static_cast<gid_t>(-1);
}

void ShareWorkFolderWithWorkers(const std::string &workFolder, bool runningAsRoot)
{
  const gid_t workers = runningAsRoot ? WorkersGroup() : static_cast<gid_t>(-1);
  const mode_t mode = workers != static_cast<gid_t>(-1) ? 0710 : 0700;
  if ((workers != static_cast<gid_t>(-1) && chown(workFolder.c_str(), 0, workers) != 0) ||
      chmod(workFolder.c_str(), mode) != 0)
    throw std::runtime_error("The work folder \"" + workFolder +
                             "\" cannot be made private: " + std::strerror(errno));
}

void ShareSocketWithWorkers(const std::string &socketPath, bool runningAsRoot)
{
  const gid_t workers = runningAsRoot ? WorkersGroup() : static_cast<gid_t>(-1);
  if (workers != static_cast<gid_t>(-1) && chown(socketPath.c_str(), 0, workers) == 0)
    chmod(socketPath.c_str(), 0660);
  else
    chmod(socketPath.c_str(), 0600);
}

void ShareFileWithWorkers(const std::string &path, bool runningAsRoot)
{
  const gid_t workers = runningAsRoot ? WorkersGroup() : static_cast<gid_t>(-1);
  if (workers == static_cast<gid_t>(-1))
    return;
  if (chown(path.c_str(), 0, workers) != 0 || chmod(path.c_str(), 0640) != 0)
    throw std::runtime_error("The file \"" + path +
                             "\" cannot be given to Apache's workers: " + std::strerror(errno));
}

void MakeApacheFilesPrivate(const std::string &workFolder)
{
  for (const char *name : {"/error.log", "/httpd.pid"})
    chmod((workFolder + name).c_str(), 0600);
}

Base::TStringArray MySqlFileModeEnvironment()
{
  return {"UMASK=0600", "UMASK_DIR=0700"};
}

} // namespace Corvala
