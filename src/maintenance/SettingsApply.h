#pragma once

#include <string>

// Raises a runtime_error saying why, when the settings cannot be written back into ProgramPath:
// its folder does not let the file be replaced (the new file is renamed over it), the file is on
// a read-only file system, or it belongs to someone else and is not writable for this user.
void CheckProgramReplaceable(const std::string &programPath);

// The folder the settings command keeps its command copies of ProgramPath in:
// "<GetPrivateProgramFolder()>/<Md5Hex(ProgramPath)>", created mode 0700 when missing, with a link
// "bin" to the installation's bin folder made afresh, so a copy finds the libraries bundled there
// as the program itself does. Raises a runtime_error when no private folder lets programs run, the
// folder is not ours, or "bin" there is something other than a link.
std::string GetCommandFolder(const std::string &programPath);

// Copies the program to "ruzu_cmd<N>.tmp" in its command folder, N the first number whose file is
// not held open, as a new file of mode 0700 (an older unused copy of that name is replaced).
// Gives its path; throws runtime_error when the program cannot be read or the copy written.
std::string CopyProgramToTempFile(const std::string &programPath);

// What the Server Settings dialog sets, as Config.ini keeps it.
struct TServerSettings {
  std::string IP; // "127.0.0.1" or "all"
  int Port = 0;
  bool InnoDB = true;
  bool PrivateMode = false;
  bool Xdebug = false;
};

// The settings change after the user confirmed it: checks that ProgramPath can be rewritten, writes
// "ip", "port", "innodb", "privatemode" and "xdebug" ("1" or "0") into section "INI" of ConfigFile
// (the working Config.ini), makes the command copy of ProgramPath with a copy of ConfigFile named
// "<copy>.ini" (mode 0600), and starts the copy with "/setup "<ProgramPath>" "<copy>.ini"". The copy
// waits for ProgramPath to be free, embeds the configuration and starts it again; the caller ends
// the launcher once this returns. Throws, with nothing changed or started, when the program cannot
// be rewritten, a file cannot be written or the copy cannot be started.
void ApplyServerSettings(const std::string &configFile, const TServerSettings &settings,
                         const std::string &programPath);
