#include "maintenance/SettingsApply.h"

#include "base/UniqueFd.h"
#include "config/ConfigFile.h"
#include "digest/Md5.h"
#include "files/FileText.h"
#include "files/OwnFolder.h"
#include "files/Paths.h"
#include "files/PrivateFolder.h"
#include "files/TempFolder.h"
#include "process/CommandLine.h"
#include "process/Process.h"
#include "stack/PhpConfig.h"
#include "stack/PrivateMode.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace Base;
using namespace Files;
using namespace Process;
using namespace Digest;

namespace
{

[[noreturn]] void CannotCreate(const std::string &path, int error)
{
  throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(error));
}

// Writes Source's bytes to Dest as a file this process creates itself with Mode, so nothing that
// stood at Dest before (a file or a symlink) is written through.
void CopyToNewFile(const std::string &source, const std::string &dest, mode_t mode)
{
  const auto data = ReadRegularFile(source);
  if (!data)
    throw std::runtime_error("Cannot read file \"" + source + "\"");
  if (unlink(dest.c_str()) != 0 && errno != ENOENT)
    CannotCreate(dest, errno);
  TUniqueFd fd(open(dest.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
  if (!fd)
    CannotCreate(dest, errno);
  size_t written = 0;
  while (written < data->size()) {
    const ssize_t count = write(fd.get(), data->data() + written, data->size() - written);
    if (count < 0 && errno == EINTR)
      continue;
    if (count <= 0)
      CannotCreate(dest, count < 0 ? errno : ENOSPC);
    written += static_cast<size_t>(count);
  }
  // The umask may have taken bits the command copy needs.
  if (fchmod(fd.get(), mode) != 0 || close(fd.release()) != 0)
    CannotCreate(dest, errno);
}

// Points "<Folder>/bin" at the installation's bin folder, replacing what an earlier command left.
void LinkInstallationBin(const std::string &folder, const std::string &programPath)
{
  const std::string link = folder + "/bin";
  struct stat st {
  };
  if (lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode))
      throw std::runtime_error("\"" + link + "\" is not a symbolic link; refusing to replace it");
    if (unlink(link.c_str()) != 0)
      CannotCreate(link, errno);
  }
  if (symlink((AppPathOf(programPath) + "bin").c_str(), link.c_str()) != 0)
    CannotCreate(link, errno);
}

[[noreturn]] void CannotSave(const std::string &what, int error)
{
  throw std::runtime_error("The server settings cannot be saved: " + what + " (" + std::strerror(error) +
                           "). Nothing was changed.");
}

} // namespace

void CheckProgramReplaceable(const std::string &programPath)
{
  // The new program file is written beside the old one and renamed over it.
  const std::string folder = AppDirOf(programPath);
  if (access(folder.c_str(), W_OK | X_OK) != 0)
    CannotSave("the folder \"" + folder + "\" does not let its program file be replaced", errno);
  // A file of ours without write bits is fine: "/setup" gives the owner's write bit back first.
  struct stat st {
  };
  if (stat(programPath.c_str(), &st) != 0)
    CannotSave("\"" + programPath + "\" cannot be examined", errno);
  struct statvfs fs {
  };
  if (statvfs(programPath.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0)
    CannotSave("\"" + programPath + "\" is on a read-only file system", EROFS);
  if (st.st_uid != geteuid() && access(programPath.c_str(), W_OK) != 0)
    CannotSave("\"" + programPath + "\" cannot be rewritten by this user", errno);
}

std::string GetCommandFolder(const std::string &programPath)
{
  std::string path = GetPrivateProgramFolder() + "/" + Md5Hex(programPath);
  EnsureOwnFolder(path, "Command folder", true);
  LinkInstallationBin(path, programPath);
  return path;
}

std::string CopyProgramToTempFile(const std::string &programPath)
{
  std::string copy = MakeUniqueTempFileName("ruzu_cmd", GetCommandFolder(programPath), 0, ".tmp");
  CopyToNewFile(programPath, copy, 0700);
  return copy;
}

void ApplyServerSettings(const std::string &configFile, const TServerSettings &settings,
                         const std::string &programPath)
{
  CheckProgramReplaceable(programPath);
  const Corvala::TConfigFile config(configFile);
  config.Write("ip", settings.IP);
  config.Write("port", std::to_string(settings.Port));
  config.Write("innodb", settings.InnoDB ? "1" : "0");
  config.Write(Corvala::PrivateModeKey, settings.PrivateMode ? "1" : "0");
  config.Write(Corvala::XdebugKey, settings.Xdebug ? "1" : "0");
  const std::string copy = CopyProgramToTempFile(programPath);
  const std::string copiedConfig = copy + ".ini";
  CopyToNewFile(configFile, copiedConfig, 0600);
  const std::string parameters =
      "/setup " + CommandLineWord(programPath) + " " + CommandLineWord(copiedConfig);
  if (StartProcess(copy, parameters, TShowCommand::Normal, "") == 0)
    throw std::runtime_error("Cannot start \"" + copy + "\"");
}
