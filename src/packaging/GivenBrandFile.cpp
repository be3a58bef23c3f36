#include "packaging/GivenBrandFile.h"

#include "config/BrandDefaults.h"
#include "config/ConfigFile.h"
#include "files/Paths.h"
#include "ini/Ini.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace Corvala
{

namespace
{

const char *const RequiredKeys[] = {"title", "port", "outputdir"};

struct TChosenPath {
  const char *Key;
  bool Folder;
};
const TChosenPath ChosenPaths[] = {
    {"splashfilename", false}, {"iconfile", false}, {"srcdir", true}, {"datadir", true}};

[[noreturn]] void Refuse(const std::string &file, const std::string &reason)
{
  throw std::runtime_error("The brand file \"" + file + "\" " + reason);
}

void CheckReadable(const std::string &file)
{
  if (!Files::FileExists(file) && !Files::DirectoryExists(file))
    Refuse(file, "does not exist");
  if (!Files::RegularFileExists(file))
    Refuse(file, "is not a regular file");
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    Refuse(file, std::string("cannot be read: ") + std::strerror(errno));
  close(fd);
}

bool HasKey(const Base::TStringArray &keys, const std::string &key)
{
  return std::any_of(keys.begin(), keys.end(),
                     [&key](const std::string &name) { return strcasecmp(name.c_str(), key.c_str()) == 0; });
}

Base::TStringArray CheckedKeys(const std::string &file)
{
  Base::TStringArray keys;
  Ini::ReadIniSectionKeys(file, "INI", keys);
  if (keys.empty())
    Refuse(file, "is no Brand.ini: it has no [INI] section with keys");
  std::string missing;
  for (const char *key : RequiredKeys)
    if (!HasKey(keys, key))
      missing += std::string(missing.empty() ? "" : ", ") + "\"" + key + "\"";
  if (!missing.empty())
    Refuse(file, "lacks " + missing + " in its [INI] section");
  const TConfigFile brand(file);
  if (brand.Read("outputdir").empty())
    Refuse(file, "has an empty outputdir: it names the folder the distribution is built in");
  const int port = brand.ReadInteger("port");
  if (port < 1 || port > 65535)
    Refuse(file, "has port " + std::to_string(port) + ", which is not from 1 to 65535");
  if (HasKey(keys, "ip"))
    brand.ReadListenAddress("ip");
  return keys;
}

} // namespace

std::string ImportBrandFile(const std::string &givenFile, const std::string &workFolder)
{
  CheckReadable(givenFile);
  const Base::TStringArray keys = CheckedKeys(givenFile);
  const TConfigFile given(givenFile);
  std::string copy = WriteBrandDefaults(workFolder);
  for (const std::string &key : keys)
    if (strcasecmp(key.c_str(), "brand") != 0)
      Ini::WriteIniString(copy, "INI", key, given.Read(key));

  const TConfigFile brand(copy);
  for (const auto &[key, folder] : ChosenPaths) {
    const std::string value = brand.Read(key);
    if (value.empty())
      continue;
    const std::string path = Files::FullPathName(value);
    if (folder ? !Files::DirectoryExists(path) : !Files::RegularFileExists(path))
      Refuse(givenFile, std::string("names ") + key + " \"" + path + "\", which is no " +
                            (folder ? "folder" : "regular file"));
    brand.Write(key, path);
  }
  brand.Write("outputdir", Files::FullPathName(brand.Read("outputdir")));
  return copy;
}

} // namespace Corvala
