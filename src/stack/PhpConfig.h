#pragma once

#include "base/Types.h"
#include "ini/Ini.h"
#include "stack/StackSetup.h"

#include <string>
#include <vector>

namespace Corvala
{

using TPhpIniSetting = Ini::TIniEntry;

// A php.ini double-quoted value: '\', '"' and '$' escaped as PHP unescapes them.
std::string PhpQuoted(const std::string &text);

// The value of sendmail_path for the given sendmail program: "<program> -t" quoted for php.ini,
// the program single-quoted for the shell when it holds anything but plain path characters.
// An empty program (sendmail missing) gives "" -t"".
std::string SendmailPathValue(const std::string &sendmailPath);

// The php.ini settings in the order they are written: extension_dir, mime_magic.magicfile,
// mysql.default_port, sendmail_path (SendmailPathValue of sendmailPath),
// then mysqli.default_port, mysqli.default_socket, pdo_mysql.default_socket and session.save_path
// ("<work>/sessions"). Throws std::runtime_error for a path holding a line break.
std::vector<TPhpIniSetting> PhpIniSettings(const TStackSetup &setup, const std::string &sendmailPath);

// ionCube's loader for the tree's PHP: "<bin>/php/ionCube/ioncube_loader_lin_<PHP major.minor>.so".
std::string IonCubeLoaderPath(const std::string &binFolder);

// The opcache settings of section "opcache": the Zend extension line for opcacheFile (left out when
// loadLine is false, the file loading it already), no file cache, and for development an edited
// script recompiled at the next request with modest shared memory (64 MB, 4,000 scripts) sized for
// phpMyAdmin and a site; for production PHP's own defaults (time stamps checked at most every 2
// seconds, 128 MB, 10,000 scripts).
std::vector<TPhpIniSetting> OpcacheSettings(const std::string &opcacheFile, bool loadLine, bool production);

// Config.ini's debugger key: "1" makes PHP load Xdebug; any other value, and no key, leaves it out,
// since it slows every request.
inline constexpr char XdebugKey[] = "xdebug";

// True exactly when the value is "1".
bool IsXdebugOn(const std::string &value);

// The Xdebug settings of section "xdebug": the Zend extension line for xdebugFile, step debugging
// started by a request's XDEBUG_TRIGGER (cookie, parameter or environment variable), connecting to
// a debugger listening on 127.0.0.1:9003.
std::vector<TPhpIniSetting> XdebugSettings(const std::string &xdebugFile);

// The php.ini the generated one starts from: "<bin>/php/php.ini-production" for a distribution
// (setup.brand) when the tree has it, else "<bin>/php/php.ini" (the kit's php.ini-development).
std::string PhpIniTemplate(const TStackSetup &setup);

// The "extension=" lines for the extension files given by name ("mysqli.so"), in an order that
// loads every extension after the ones it needs: mysqlnd, pdo and xml first, then by name. Left
// out: readline (command line only), the Zend extensions opcache and xdebug, names other than
// letters, digits, '_', '-' and '.', and names in alreadyLoaded (as "mysqli").
Base::TStringArray PhpExtensionLines(const Base::TStringArray &soFiles,
                                     const Base::TStringArray &alreadyLoaded);

// Copies PhpIniTemplate into "<work>/php.ini" (mode 0600; a missing template leaves whatever is
// there), writes the settings with WriteIniString (sendmail_path names "<bin>/Apache/sendmail"
// expanded to a full path, or nothing when it is missing), ionCube's loader as the first Zend
// extension (in [PHP]) when its file is there and the template does not load it, and, when
// "<bin>/php/ext/opcache.so" exists, the OpcacheSettings (production ones for a distribution), then, when
// setup.xdebug is set and "<bin>/php/ext/xdebug.so" exists, the XdebugSettings (a tree whose Xdebug was
// deleted runs without it, with no line naming it); creates the session folder (mode 0700; owned by
// nobody:nogroup when running as root, as Apache's workers are), and appends, in a section "[Extensions]",
// the load lines for the .so files in
// "<bin>/php/ext" that the file does not load yet. Gives the path. Throws the INI write error.
std::string WritePhpConfig(const TStackSetup &setup);

} // namespace Corvala
