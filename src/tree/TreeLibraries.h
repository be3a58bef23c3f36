#pragma once

#include <set>
#include <string>
#include <vector>

// A tree carries the shared libraries of its launcher and servers in one folder, bin/lib, found by
// every program, module and extension through a RUNPATH relative to its own folder; bin/qt holds
// the launcher's Qt runtime. These functions tell which of those libraries a set of programs needs.
namespace Corvala
{

// The tree's library folder and the launcher's Qt runtime, relative to the application folder.
inline constexpr const char *LibraryFolder = "bin/lib";
inline constexpr const char *QtRuntimeFolder = "bin/qt";

// The ELF files below Folder (recursively, symlinks not followed), leaving out the subfolders
// named in Skip (paths below Folder).
std::vector<std::string> ElfFilesBelow(const std::string &folder, const std::vector<std::string> &skip = {});

// The names of the libraries in LibraryFolder that Programs need, directly or through each other,
// together with the modules their libraries open by name at run time.
std::set<std::string> NeededLibraries(const std::string &libraryFolder,
                                      const std::vector<std::string> &programs);

// Every program, module and extension of the tree at AppPath (its top-level files and bin, the
// library folder left out).
std::vector<std::string> TreePrograms(const std::string &appPath);

// Deletes each library of the tree's library folder that no program, module or extension of the
// tree needs any more, and keeps every one still needed.
void RemoveUnneededLibraries(const std::string &appPath);

} // namespace Corvala
