#pragma once

#include <string>

namespace Files
{

// Full path of the running executable, as /proc/self/exe reports it.
std::string GetProgramPath();

// Folder of the running executable without trailing '/', except for "/" itself.
std::string GetAppDir();

// Folder of the running executable with trailing '/'.
std::string GetAppPath();

// Both forms for any program path (the two functions above apply this to GetProgramPath()).
std::string AppDirOf(const std::string &programPath);
std::string AppPathOf(const std::string &programPath);

// Makes the application folder current when it is not, then gives Path as a full,
// normalised path ("." and ".." resolved lexically, symlinks kept).
std::string ExpandFromAppDir(const std::string &path);

// Lexical full path against the current directory (no file-system access beyond getcwd).
std::string FullPathName(const std::string &path);

// A path exists as a file when it exists and is not a folder (symlinks followed).
bool FileExists(const std::string &path);

// A path names a regular file (symlinks followed): what a file to be read whole must be. A device
// or FIFO would be read without end, or block the reader.
bool RegularFileExists(const std::string &path);

// A path exists as a folder when its attributes can be read and say folder (symlinks followed).
bool DirectoryExists(const std::string &path);

} // namespace Files
