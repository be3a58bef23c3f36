#pragma once

#include "base/Types.h"

#include <string>
#include <vector>

namespace Ini
{

// INI files: sections of "key=value" lines. Section and key names are compared without regard to
// letter case; a value reads as the text after the first "=", blanks trimmed, one enclosing pair of
// double or single quotes removed, at most 2047 characters. Duplicate sections or keys: the first
// one counts. Lines starting with ";" are comments. Files are written with CR LF line ends; LF-only
// files read the same.

// The key's value; empty when the file, section or key is missing.
std::string ReadIniString(const std::string &file, const std::string &section, const std::string &key);

// Empty when the file does not exist; otherwise ReadIniString.
std::string ReadIniStringIfExists(const std::string &file, const std::string &section,
                                  const std::string &key);

// Writes the value as given (no quotes added): replaces the key's line in place, or adds the key
// after the last key of its section, or adds the section at the end, or creates the file (mode
// 0600). The file is replaced atomically and keeps its mode. Throws std::runtime_error
// "Unable to write to <file>" when that fails (the folder must exist), and std::invalid_argument for
// line breaks or NUL in any argument and for key names that would not read back (empty, with "=",
// starting with "[" or ";").
void WriteIniString(const std::string &file, const std::string &section, const std::string &key,
                    const std::string &value);

struct TIniEntry {
  std::string section;
  std::string key;
  std::string value;
};

// For a file made again at every start (the work folder's generated files): WriteIniString of
// each entry in order, with the file read and replaced once and not flushed to disk, so the
// start-up pays neither a write per key nor a flush. Nothing is written when an entry is invalid.
void WriteGeneratedIni(const std::string &file, const std::vector<TIniEntry> &entries);

// Appends the key names of the section in file order to keys (not cleared first), as many whole
// names as fit 16384 bytes counting each name's length plus one and one for the end.
void ReadIniSectionKeys(const std::string &file, const std::string &section, Base::TStringArray &keys);

// Appends the strings of list to keys in their order.
void StringListToArray(const Base::TStringArray &list, Base::TStringArray &keys);

// Removes the key's line when the file exists and holds it; never creates a file, reports nothing.
void DeleteIniKey(const std::string &file, const std::string &section, const std::string &key);

} // namespace Ini
