#include "stack/PrivateMode.h"

#include "digest/Md5.h"
#include "files/FileText.h"
#include "files/OwnFolder.h"
#include "files/PrivateFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <sys/random.h>
#include <sys/stat.h>

namespace Corvala
{

bool IsPrivateModeOn(const std::string &value)
{
  return value == "1";
}

std::string NewRandomKey()
{
  unsigned char bytes[16];
  for (size_t done = 0; done < sizeof bytes;) {
    const ssize_t n = getrandom(bytes + done, sizeof bytes - done, 0);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      throw std::runtime_error(std::string("No random numbers from the system: ") + std::strerror(errno));
    done += static_cast<size_t>(n);
  }
  static const char digits[] = "0123456789abcdef";
  std::string key;
  for (const unsigned char byte : bytes) {
    key += digits[byte >> 4];
    key += digits[byte & 15];
  }
  return key;
}

// A folder that survives a log-out, unlike the runtime folder the private folder prefers.
static std::string StateFolder()
{
  const char *config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/')
    return std::string(config) + "/corvala";
  const char *home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/')
    return std::string(home) + "/.config/corvala";
  return Files::GetPrivateFolder();
}

std::string MySqlRootPasswordPath(const std::string &programPath)
{
  return StateFolder() + "/" + Digest::Md5Hex(programPath) + "/mysql-root-password";
}

std::string ReadOrCreateMySqlRootPassword(const std::string &path)
{
  const std::string folder = path.substr(0, path.rfind('/'));
  const std::string stateFolder = folder.substr(0, folder.rfind('/'));
  // The user's configuration folder may not exist yet on a fresh account.
  mkdir(stateFolder.substr(0, stateFolder.rfind('/')).c_str(), 0700);
  Files::EnsureOwnFolder(stateFolder, "Private folder", true);
  Files::EnsureOwnFolder(folder, "Private folder", true);
  {
    std::ifstream in(path);
    std::string password;
    if (in && std::getline(in, password) && !password.empty())
      return password;
  }
  std::string password = NewRandomKey();
  const int error = Files::ReplaceFileAtomically(
      path, [&password](int fd) { return Files::WriteAll(fd, password + "\n"); }, 0600,
      Files::TDurability::Durable);
  if (error != 0)
    throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(error));
  return password;
}

std::string MySqlFilesFolder(const std::string &workFolder)
{
  return workFolder + "/mysql-files";
}

} // namespace Corvala
