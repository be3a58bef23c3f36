#include "maintenance/SettingsApply.h"

#include "config/ConfigFile.h"
#include "utils/FileText.h"
#include "utils/OwnFolder.h"
#include "utils/Process.h"
#include "utils/TempFolder.h"
#include "utils/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace AppUtils;

namespace
{

constexpr int ShowNormal = 1;

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

// The command line splits at blanks outside double quotes, so a quote inside a path cannot pass.
std::string Quoted(const std::string &path)
{
  if (path.find('"') != std::string::npos)
    throw std::runtime_error("The path \"" + path + "\" cannot be passed on a command line");
  return "\"" + path + "\"";
}

} // namespace

std::string GetCommandFolder()
{
  const std::string path = GetTempFolder() + "/corvala-" + std::to_string(geteuid());
  EnsureOwnFolder(path, "Command folder", true);
  return path;
}

std::string CopyProgramToTempFile(const std::string &programPath)
{
  const std::string copy = MakeUniqueTempFileName("ruzu_cmd", GetCommandFolder(), 0, ".tmp");
  CopyToNewFile(programPath, copy, 0700);
  return copy;
}

void ApplyServerSettings(const std::string &configFile, const std::string &ip, int port,
                         const std::string &programPath)
{
  const Corvala::TConfigFile config(configFile);
  config.Write("ip", ip);
  config.Write("port", std::to_string(port));
  const std::string copy = CopyProgramToTempFile(programPath);
  const std::string copiedConfig = copy + ".ini";
  CopyToNewFile(configFile, copiedConfig, 0600);
  const std::string parameters = "/setup " + Quoted(programPath) + " " + Quoted(copiedConfig);
  if (StartProcess(copy, parameters, ShowNormal, "") == 0)
    throw std::runtime_error("Cannot start \"" + copy + "\"");
}
