// Feeds arbitrary bytes to the INI reader as a file and checks that a write reads back as written
// and leaves every other key of the section alone.
#include "ini/Ini.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <fuzzer/FuzzedDataProvider.h>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>

using namespace Base;
using namespace Ini;

namespace
{

void Require(bool condition)
{
  if (!condition)
    abort();
}

// A private folder for the input file, removed when the run ends.
class ScratchFolder
{
public:
  ScratchFolder()
  {
    // Writes are flushed to disk; on a memory file system that costs nothing, so runs stay fast.
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string folder = (base / "ini-fuzz-XXXXXX").string();
    Require(mkdtemp(folder.data()) != nullptr);
    folder_ = folder;
  }
  ~ScratchFolder()
  {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string File() const { return (folder_ / "fuzz.ini").string(); }

private:
  std::filesystem::path folder_;
};

std::string FileBytes(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsBlank(char c)
{
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trimmed(const std::string &text)
{
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin]))
    ++begin;
  while (end > begin && IsBlank(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

std::string WithoutLineBreaks(std::string text)
{
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
  return text;
}

bool HasLineBreak(const std::string &text)
{
  return text != WithoutLineBreaks(text);
}

// What a written value must read back as: trimmed, one enclosing pair of quotes removed, cut.
std::string ExpectedRead(const std::string &written)
{
  std::string value = Trimmed(written);
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  return value.substr(0, 2047);
}

bool SameName(const std::string &a, const std::string &b)
{
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool WriteIsRefused(const std::string &file, const std::string &section, const std::string &key,
                    const std::string &value)
{
  try {
    WriteIniString(file, section, key, value);
  } catch (const std::invalid_argument &) {
    return true;
  }
  return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  FuzzedDataProvider input(data, size);
  const std::string rawSection = input.ConsumeRandomLengthString(64);
  const std::string rawKey = input.ConsumeRandomLengthString(64);
  const std::string rawValue = input.ConsumeRandomLengthString(3000);
  const std::string content = input.ConsumeRemainingBytesAsString();
  static const ScratchFolder scratch;
  const std::string file = scratch.File();
  std::ofstream(file, std::ios::binary | std::ios::trunc) << content;

  ReadIniString(file, rawSection, rawKey);
  const std::string section = WithoutLineBreaks(rawSection);
  TStringArray keys;
  ReadIniSectionKeys(file, section, keys);
  std::map<std::string, std::string> before;
  size_t listBytes = 1;
  for (const std::string &name : keys) {
    Require(!name.empty() && name.find_first_of(std::string("\n\0", 2)) == std::string::npos);
    listBytes += name.size() + 1;
    const std::string value = ReadIniString(file, section, name);
    Require(value.size() <= 2047);
    before.emplace(name, value);
  }
  Require(listBytes <= 16384);

  // A write that could not read back is refused and leaves the file as it was.
  if (HasLineBreak(Trimmed(rawSection)))
    Require(WriteIsRefused(file, rawSection, "key", "v"));
  if (HasLineBreak(Trimmed(rawKey)))
    Require(WriteIsRefused(file, section, rawKey, "v"));
  if (HasLineBreak(rawValue))
    Require(WriteIsRefused(file, section, "key", rawValue));
  Require(FileBytes(file) == content);
  std::string key = WithoutLineBreaks(rawKey);
  std::erase(key, '=');
  key = Trimmed("k" + key);
  const std::string value = WithoutLineBreaks(rawValue);
  WriteIniString(file, section, key, value);

  const std::string written = FileBytes(file);
  for (size_t i = written.find('\n'); i != std::string::npos; i = written.find('\n', i + 1))
    Require(i > 0 && written[i - 1] == '\r');
  Require(ReadIniString(file, section, key) == ExpectedRead(value));
  TStringArray keysAfter;
  ReadIniSectionKeys(file, section, keysAfter);
  Require(keysAfter.size() >= keys.size() && keysAfter.size() <= keys.size() + 1);
  Require(std::equal(keys.begin(), keys.end(), keysAfter.begin()));
  for (const auto &[name, old] : before)
    Require(SameName(name, key) || ReadIniString(file, section, name) == old);

  DeleteIniKey(file, section, key);
  for (const auto &[name, old] : before)
    Require(SameName(name, key) || ReadIniString(file, section, name) == old);
  return 0;
}
