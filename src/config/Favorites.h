#pragma once

#include "base/Types.h"

#include <string>

// Favorites.ini: section DIRS holds folder shortcuts, section URLS web addresses; the key is the menu
// caption (a key "-" is a separator), the value the target.

struct TFavoriteKeys {
  Base::TStringArray folders;   // keys of DIRS, in file order
  Base::TStringArray addresses; // keys of URLS, in file order
};

// The path the window keeps for the favorites file: the file's real path, or empty when it is missing.
std::string FavoritesFilePath(const std::string &file);

// Menu captions of both sections, within the INI key-list limit.
TFavoriteKeys ReadFavoriteKeys(const std::string &file);

// The folder of a DIRS entry: "{APPDIR}" (any case) replaced by the program's folder, then made a full
// path against the program's folder. Empty when the key is absent.
std::string FavoriteFolder(const std::string &file, const std::string &key);

// The address of a URLS entry: "{LOCALHOST:PORT}" (any case) replaced by "127.0.0.1:<port>".
std::string FavoriteAddress(const std::string &file, const std::string &key, int port);

// Replaces every occurrence of Placeholder, matched without regard to case.
std::string ReplacePlaceholder(const std::string &text, const std::string &placeholder,
                               const std::string &value);
