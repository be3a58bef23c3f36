#pragma once

#include "base/Types.h"

#include <string>

namespace Corvala
{

// Run as root, Apache's workers change to the user nobody and the group nogroup, and still read
// the PHP sessions and reach MySQL's socket in the work folder. The folder then belongs to root
// and the group nogroup with mode 0710: the workers' group passes through it to what it is given
// (the session folder is nobody's, the socket the group's), every other account stays out and
// nothing in it is readable or writable by others. As any other user the folder is 0700.
// Throws std::runtime_error naming the folder when its owner or mode cannot be set.
void ShareWorkFolderWithWorkers(const std::string &workFolder, bool runningAsRoot);

// MySQL creates its socket writable by everyone; this makes it 0600, or, as root, root's and the
// group nogroup's with mode 0660. Failures are ignored: the folder is what keeps others out.
void ShareSocketWithWorkers(const std::string &socketPath, bool runningAsRoot);

// A file of the work folder (mode 0600) that Apache's workers must read: as root it becomes root's
// and the group nogroup's with mode 0640; as any other user it stays as it is. Throws
// std::runtime_error naming the file when that fails.
void ShareFileWithWorkers(const std::string &path, bool runningAsRoot);

// Apache creates its log and pid file readable by all (its umask is left alone, so the files a site
// writes into www keep their usual modes); this makes those two 0600.
void MakeApacheFilesPrivate(const std::string &workFolder);

// The environment entries that make mysqld create its files 0600 and its folders 0700 (it reads
// UMASK and UMASK_DIR as octal modes and sets its umask from them; its default gives files to the
// group as well). INTO OUTFILE sets its file's mode itself (0644): the folder keeps those private.
Base::TStringArray MySqlFileModeEnvironment();

} // namespace Corvala
