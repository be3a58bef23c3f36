#pragma once

#include "base/Types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Ini
{

// The text of one INI file as a list of lines, with the look-up and edit rules the launcher relies on:
// names compared without regard to ASCII letter case, the first of duplicate sections or keys wins,
// comment (";") and other non-key lines kept untouched by edits. Reads accept LF and CR LF; Text()
// always gives CR LF.
class TIniDocument
{
public:
  // Longest value a read gives; longer values are cut.
  static constexpr size_t MaxValueLength = 2047;
  // Size of the key list, counting each name's length plus one and one for the end.
  static constexpr size_t MaxKeyListBytes = 16384;

  explicit TIniDocument(std::string_view text = {});

  // The key's value (blanks trimmed, one enclosing pair of quotes removed, cut); nullopt when absent.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  // The key names of the section in file order, as many whole names as fit the key list size.
  Base::TStringArray Keys(std::string_view section) const;
  // Replaces the key's line in place, or adds it after the section's last key, or adds the section
  // at the end. Throws std::invalid_argument for names or values that would not read back.
  void SetValue(std::string_view section, std::string_view key, std::string_view value);
  // Removes the key's line; false when there was none.
  bool DeleteKey(std::string_view section, std::string_view key);

  std::string Text() const;

private:
  struct TSectionRange {
    size_t header;
    size_t end;
  };
  std::optional<TSectionRange> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(const TSectionRange &range, std::string_view key) const;

  std::vector<std::string> lines_;
};

} // namespace Ini
