#pragma once

#include "base/Types.h"

#include <string>

namespace Files
{

// The deletions here are silent: callers that need the outcome look at the file system afterwards.

// Copies a file or folder by the shell's single-source rules: when DestFolder is an existing
// folder the source lands inside it under its own name, otherwise the source is copied as
// DestFolder (missing parent folders are created). A source ending in "/*" copies the folder's
// contents into DestFolder. Files are overwritten, folders merged, entries only the destination
// has are kept, symlinks are copied as symlinks, modes and modification times are kept.
// A missing source does nothing, and neither does a file or symlink in the way of a folder. Any
// other failure ends the copy with std::runtime_error naming the path and the reason (a copy that
// the servers would run from half-made must not pass for a whole one).
void CopyFolder(const std::string &source, const std::string &destFolder);

// Permanently deletes a file, a symlink (never followed) or a folder with everything below it,
// making read-only folders of the tree writable as needed.
void ShellDelete(const std::string &path);

// Deletes the folder when the path is one; true when no folder of that name exists afterwards.
bool DeleteFolder(const std::string &path);

// Deletes the file when the path is one; true when no file of that name exists afterwards.
bool DeleteFileSilently(const std::string &path);

// Sets or clears the read-only attribute on the folder and everything below it, the folder first.
// Stops at the first failure; false when anything could not be written or listed, or the folder
// is missing. Symlinks inside the tree are left alone, so the walk never leaves the tree.
bool SetTreeReadOnly(const std::string &folder, bool readOnly);

// All entry names of a folder in directory order, "." and ".." included; empty when no folder.
Base::TStringArray ListEntryNames(const std::string &folder);

// Names of the entries that are folders (symlinks to folders included).
Base::TStringArray ListSubfolderNames(const std::string &folder);

// Names of the entries that are not folders.
Base::TStringArray ListFileNames(const std::string &folder);

} // namespace Files
