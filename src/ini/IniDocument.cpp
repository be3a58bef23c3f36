#include "ini/IniDocument.h"

#include <stdexcept>

using namespace Base;

namespace Ini
{

namespace
{

enum class TLineKind { Other, Comment, Section, Key };

struct TParsedLine {
  TLineKind kind = TLineKind::Other;
  std::string_view name;  // section or key name, trimmed
  std::string_view value; // text after the first '=', trimmed
};

bool IsBlank(char c)
{
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text)
{
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

char LowerAscii(char c)
{
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i]))
      return false;
  return true;
}

// A line read from a file ends at its first NUL, as the text of a C-string API would.
TParsedLine ParseLine(std::string_view raw)
{
  const size_t nul = raw.find('\0');
  const std::string_view line = Trim(raw.substr(0, nul));
  TParsedLine parsed;
  if (line.empty())
    return parsed;
  if (line.front() == ';') {
    parsed.kind = TLineKind::Comment;
    return parsed;
  }
  if (line.front() == '[') {
    const size_t close = line.rfind(']');
    if (close != std::string_view::npos) {
      parsed.kind = TLineKind::Section;
      parsed.name = Trim(line.substr(1, close - 1));
    }
    return parsed;
  }
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos)
    return parsed;
  parsed.name = Trim(line.substr(0, equals));
  if (parsed.name.empty())
    return parsed;
  parsed.kind = TLineKind::Key;
  parsed.value = Trim(line.substr(equals + 1));
  return parsed;
}

std::string_view WithoutQuotes(std::string_view value)
{
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

bool HasLineBreakOrNul(std::string_view text)
{
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Refuses what could not be read back as written: it would add lines or change the line's kind.
void CheckWritable(std::string_view section, std::string_view key, std::string_view value)
{
  if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value))
    throw std::invalid_argument("INI section, key and value must not contain line breaks or NUL");
  if (key.empty() || key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';')
    throw std::invalid_argument("Invalid INI key name \"" + std::string(key) + "\"");
}

} // namespace

TIniDocument::TIniDocument(std::string_view text)
{
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    lines_.emplace_back(line);
    if (newline == std::string_view::npos)
      break;
    text.remove_prefix(newline + 1);
  }
}

std::optional<TIniDocument::TSectionRange> TIniDocument::FindSection(std::string_view section) const
{
  section = Trim(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    const TParsedLine header = ParseLine(lines_[i]);
    if (header.kind != TLineKind::Section || !SameName(header.name, section))
      continue;
    size_t end = i + 1;
    while (end < lines_.size() && ParseLine(lines_[end]).kind != TLineKind::Section)
      ++end;
    return TSectionRange{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> TIniDocument::FindKey(const TSectionRange &range, std::string_view key) const
{
  key = Trim(key);
  for (size_t i = range.header + 1; i < range.end; ++i) {
    const TParsedLine line = ParseLine(lines_[i]);
    if (line.kind == TLineKind::Key && SameName(line.name, key))
      return i;
  }
  return std::nullopt;
}

std::optional<std::string> TIniDocument::Value(std::string_view section, std::string_view key) const
{
  const auto range = FindSection(section);
  if (!range)
    return std::nullopt;
  const auto index = FindKey(*range, key);
  if (!index)
    return std::nullopt;
  const std::string_view value = WithoutQuotes(ParseLine(lines_[*index]).value);
  return std::string(value.substr(0, MaxValueLength));
}

TStringArray TIniDocument::Keys(std::string_view section) const
{
  TStringArray keys;
  const auto range = FindSection(section);
  if (!range)
    return keys;
  size_t used = 1; // the list's closing terminator
  for (size_t i = range->header + 1; i < range->end; ++i) {
    const TParsedLine line = ParseLine(lines_[i]);
    if (line.kind != TLineKind::Key)
      continue;
    // A name that does not fit whole is left out rather than cut into a different name.
    used += line.name.size() + 1;
    if (used > MaxKeyListBytes)
      break;
    keys.emplace_back(line.name);
  }
  return keys;
}

void TIniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value)
{
  section = Trim(section);
  key = Trim(key);
  CheckWritable(section, key, value);
  const auto range = FindSection(section);
  if (!range) {
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::string(key) + "=" + std::string(value));
    return;
  }
  if (const auto index = FindKey(*range, key)) {
    // The file's own spelling of the name is kept.
    lines_[*index] = std::string(ParseLine(lines_[*index]).name) + "=" + std::string(value);
    return;
  }
  // After the section's last key, so blank lines and comments that lead into the next section stay
  // with it.
  size_t insertAt = range->header + 1;
  for (size_t i = range->header + 1; i < range->end; ++i)
    if (ParseLine(lines_[i]).kind == TLineKind::Key)
      insertAt = i + 1;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                std::string(key) + "=" + std::string(value));
}

bool TIniDocument::DeleteKey(std::string_view section, std::string_view key)
{
  const auto range = FindSection(section);
  if (!range)
    return false;
  const auto index = FindKey(*range, key);
  if (!index)
    return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*index));
  return true;
}

std::string TIniDocument::Text() const
{
  std::string text;
  for (const std::string &line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

} // namespace Ini
