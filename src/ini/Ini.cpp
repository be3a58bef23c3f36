#include "ini/Ini.h"

#include "files/FileText.h"
#include "files/Paths.h"
#include "ini/IniDocument.h"

#include <cerrno>
#include <stdexcept>
#include <sys/stat.h>

using namespace Base;
using namespace Files;

namespace Ini
{

namespace
{

TIniDocument LoadIni(const std::string &file)
{
  const auto text = ReadRegularFile(file);
  return TIniDocument(text ? *text : std::string());
}

// For an edit the file must be readable when it exists at all: writing over content that could not
// be read would lose it.
TIniDocument LoadIniForEdit(const std::string &file)
{
  if (const auto text = ReadRegularFile(file))
    return TIniDocument(*text);
  struct stat st {
  };
  if (lstat(file.c_str(), &st) != 0 && errno == ENOENT)
    return TIniDocument();
  throw std::runtime_error("Unable to write to " + file);
}

void SaveIni(const std::string &file, const TIniDocument &document,
             TDurability durability = TDurability::Durable)
{
  const std::string text = document.Text();
  if (ReplaceFileAtomically(
          file, [&text](int fd) { return WriteAll(fd, text); }, 0600, durability) != 0)
    throw std::runtime_error("Unable to write to " + file);
}

} // namespace

std::string ReadIniString(const std::string &file, const std::string &section, const std::string &key)
{
  return LoadIni(file).Value(section, key).value_or(std::string());
}

std::string ReadIniStringIfExists(const std::string &file, const std::string &section, const std::string &key)
{
  if (!FileExists(file))
    return {};
  return ReadIniString(file, section, key);
}

void WriteIniString(const std::string &file, const std::string &section, const std::string &key,
                    const std::string &value)
{
  TIniDocument document = LoadIniForEdit(file);
  document.SetValue(section, key, value);
  SaveIni(file, document);
}

void WriteGeneratedIni(const std::string &file, const std::vector<TIniEntry> &entries)
{
  TIniDocument document = LoadIniForEdit(file);
  for (const TIniEntry &entry : entries)
    document.SetValue(entry.section, entry.key, entry.value);
  SaveIni(file, document, TDurability::Scratch);
}

void ReadIniSectionKeys(const std::string &file, const std::string &section, TStringArray &keys)
{
  StringListToArray(LoadIni(file).Keys(section), keys);
}

void StringListToArray(const TStringArray &list, TStringArray &keys)
{
  keys.insert(keys.end(), list.begin(), list.end());
}

void DeleteIniKey(const std::string &file, const std::string &section, const std::string &key)
{
  if (!FileExists(file))
    return;
  try {
    TIniDocument document = LoadIniForEdit(file);
    if (document.DeleteKey(section, key))
      SaveIni(file, document);
  } catch (const std::runtime_error &) {
    // A key that cannot be removed reads as it did; callers are not told.
  }
}

} // namespace Ini
