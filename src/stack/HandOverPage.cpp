#include "stack/HandOverPage.h"

#include "digest/Md5.h"
#include "files/FileText.h"
#include "files/PrivateFolder.h"

#include <cctype>
#include <cstring>
#include <stdexcept>

namespace Corvala
{

std::string HandOverPagePath(const std::string &programPath)
{
  return Files::GetPrivateFolder() + "/" + Digest::Md5Hex(programPath) + "-open.html";
}

// A path as the path of a file address: every byte but the unreserved ones and "/" as %XX.
static std::string FileAddress(const std::string &path)
{
  static const char digits[] = "0123456789ABCDEF";
  std::string address = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::strchr("-._~/", c) != nullptr || (byte < 128 && std::isalnum(byte) != 0)) {
      address += c;
    } else {
      address += '%';
      address += digits[byte >> 4];
      address += digits[byte & 15];
    }
  }
  return address;
}

std::string WriteHandOverPage(const std::string &path, const std::string &address)
{
  // The address is the site's own: digits, letters and the few signs of a query, nothing to escape.
  const std::string page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Opening the site</title>"
      "<meta http-equiv=\"refresh\" content=\"0;url=" +
      address + "\"></head><body><p><a href=\"" + address + "\">Open the site</a></p></body></html>\n";
  const int error = Files::ReplaceFileAtomically(
      path, [&page](int fd) { return Files::WriteAll(fd, page); }, 0600, Files::TDurability::Scratch);
  if (error != 0)
    throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(error));
  return FileAddress(path);
}

} // namespace Corvala
