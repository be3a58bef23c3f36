#pragma once

#include <string>
#include <utility>

namespace Corvala
{

// Writes "<workFolder>/Config.ini" from the running executable's resource "res_Config_ini",
// replacing any older file, and gives the path. Throws std::runtime_error when workFolder is
// empty, and the resource errors ("Resource %s not found", "Cannot create file "%s". %s").
std::string PrepareConfigFile(const std::string &workFolder);

// The loopback address: the "ip" value that keeps the web server on this machine (any other address
// serves every address), and the address the database server always listens on.
inline constexpr char LoopbackAddress[] = "127.0.0.1";
// The "ip" value the settings and rebrand dialogs write for every address.
inline constexpr char AllAddresses[] = "all";

// A flag is off exactly when its value is the text "0"; empty and missing values are on.
bool IsFlagOn(const std::string &value);

// Section "INI" of a configuration file (the working Config.ini, or Brand.ini).
class TConfigFile
{
public:
  explicit TConfigFile(std::string path) : path_(std::move(path)) {}

  const std::string &Path() const { return path_; }

  // The key's value by the INI rules; empty when the file or key is missing.
  std::string Read(const std::string &key) const;

  // IsFlagOn of the key's value.
  bool ReadFlag(const std::string &key) const { return IsFlagOn(Read(key)); }

  // The key's value as a decimal integer (StrToInt). Throws std::runtime_error naming the file and
  // the key with StrToInt's message when it is not one.
  int ReadInteger(const std::string &key) const;

  // The key's value as an address to listen on: an IPv4 address in dotted-decimal form
  // ("127.0.0.1", "0.0.0.0"), or "all", which the settings and rebrand dialogs write for every
  // address. Throws std::runtime_error naming the file and the key when it is anything else.
  std::string ReadListenAddress(const std::string &key) const;

  // Writes the value as given; throws "Unable to write to %s" when the file cannot be written.
  void Write(const std::string &key, const std::string &value) const;

private:
  std::string path_;
};

} // namespace Corvala
