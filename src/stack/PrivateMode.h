#pragma once

#include <string>

namespace Corvala
{

// Config.ini's "only my account" key: "1" keeps the other accounts of this computer out of the
// database and the site; any other value, and no key at all, leaves both open on loopback.
inline constexpr char PrivateModeKey[] = "privatemode";

// True exactly when the value is "1": a missing key keeps the open default.
bool IsPrivateModeOn(const std::string &value);

// The cookie (and the one-time address parameter) that carries the site's per-start key.
inline constexpr char SiteKeyName[] = "corvala_key";

// A fresh random key of 32 hexadecimal digits from the kernel's generator.
std::string NewRandomKey();

// "<state folder>/<Md5Hex(ProgramPath)>/mysql-root-password": the password MySQL's root needs over
// TCP in the private mode. The state folder is "${XDG_CONFIG_HOME:-$HOME/.config}/corvala", which
// outlives a log-out, so applications configured with the password keep it; without a home it is
// the private folder. Only forms the path.
std::string MySqlRootPasswordPath(const std::string &programPath);

// The password kept in the file, or a new one written there (mode 0600, its folders 0700 and the
// user's own) when the file is missing or empty. Throws std::runtime_error naming the file and the
// reason when it cannot be read or written, or its folder is not the user's.
std::string ReadOrCreateMySqlRootPassword(const std::string &path);

// "<work>/mysql-files": the only folder MySQL's file functions (LOAD_FILE, SELECT ... INTO
// OUTFILE, LOAD DATA INFILE) may use, private to the owner.
std::string MySqlFilesFolder(const std::string &workFolder);

} // namespace Corvala
