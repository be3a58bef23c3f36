#include "digest/Md5.h"

#include "files/Paths.h"

#include <openssl/evp.h>

using namespace Files;

namespace Digest
{

std::string Md5Hex(const std::string &text)
{
  const std::string input = text.empty() ? GetProgramPath() : text;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(input.data(), input.size(), digest, &length, EVP_md5(), nullptr) != 1)
    return {};
  static const char hex[] = "0123456789abcdef";
  std::string result;
  for (unsigned int i = 0; i < length; ++i) {
    result += hex[digest[i] >> 4];
    result += hex[digest[i] & 0x0f];
  }
  return result;
}

} // namespace Digest
