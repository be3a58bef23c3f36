#pragma once

#include <string>

class QWebEngineProfile;

// The browser profile of one installation: cookies, local storage, IndexedDB and the HTTP cache kept
// across starts in "<data>/corvala/profiles/<MD5 of the program's path>", where <data> is
// $XDG_DATA_HOME, else ~/.local/share. Two trees or two distributions never share one, and none
// lives inside the tree, which may be on a disc. The folders are private to the user.
namespace BrowserProfile
{

// The profile folder of the program at ProgramPath; throws std::runtime_error when there is no
// data folder to put it in ($HOME and $XDG_DATA_HOME unset).
std::string FolderFor(const std::string &programPath);

// Makes the profile of the program at ProgramPath the one every window's page uses, carrying out a
// clearing asked for at the last run first. Without a call, pages use the engine's default profile.
// Throws std::runtime_error when its folder cannot be had as a private folder.
void Open(const std::string &programPath);

// The profile the pages use: the opened one, else the engine's default.
QWebEngineProfile *Current();

// Clears cookies and the HTTP cache now; the sites' stored data (local storage, IndexedDB), which
// the engine keeps open, goes at the next start, before the engine opens it.
void Clear();

} // namespace BrowserProfile
