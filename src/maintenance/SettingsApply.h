#pragma once

#include <string>

// The folder the settings command keeps its command copies in: "<temporary folder>/corvala-<uid>",
// created mode 0700 when missing. The temporary folder may be shared with other users, so a name
// taken by a symlink, by something that is not a folder or by another user's folder is refused
// with a runtime_error, and a folder of ours that others could write into is made private again.
std::string GetCommandFolder();

// Copies the program to "ruzu_cmd<N>.tmp" in the command folder, N the first number whose file is
// not held open, as a new file of mode 0700 (an older unused copy of that name is replaced).
// Gives its path; throws runtime_error when the program cannot be read or the copy written.
std::string CopyProgramToTempFile(const std::string &programPath);

// The settings change after the user confirmed it: writes "ip" and "port" into section "INI" of
// ConfigFile (the working Config.ini), makes the command copy of ProgramPath with a copy of
// ConfigFile named "<copy>.ini" (mode 0600), and starts the copy with
// "/setup "<ProgramPath>" "<copy>.ini"". The copy waits for ProgramPath to be free, embeds the
// configuration and starts it again; the caller ends the launcher once this returns. Throws, with
// nothing started, when a file cannot be written or the copy cannot be started.
void ApplyServerSettings(const std::string &configFile, const std::string &ip, int port,
                         const std::string &programPath);
