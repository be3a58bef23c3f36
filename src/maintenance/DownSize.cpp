#include "maintenance/DownSize.h"

#include "files/FileTree.h"
#include "files/Paths.h"
#include "ini/Ini.h"
#include "process/Process.h"
#include "process/ProcessList.h"
#include "tree/TreeLibraries.h"

#include <chrono>
#include <exception>
#include <thread>

using namespace Files;
using namespace Process;
using namespace Ini;

namespace
{

constexpr auto PollInterval = std::chrono::milliseconds(60);

void Pause()
{
  std::this_thread::sleep_for(PollInterval);
}

bool IsSelected(const std::vector<std::string> &flags, size_t position)
{
  return position < flags.size() && flags[position] != "0";
}

void DeleteComponent(const TDownSizeComponent &component, const std::string &appPath)
{
  for (const char *folder : component.folders)
    DeleteFolder(appPath + folder);
  for (const char *file : component.files)
    DeleteFileSilently(appPath + file);
  if (component.favoriteKey != nullptr)
    DeleteIniKey(appPath + "bin/Favorites.ini", component.favoriteSection, component.favoriteKey);
}

// A PDO driver other than the two the table names (pdo_sqlite.so on this platform) needs pdo.so
// just as much, so any remaining driver keeps it.
bool AnyPdoDriverLeft(const std::string &extFolder)
{
  for (const std::string &name : ListFileNames(extFolder))
    if (name.size() > 7 && name.starts_with("pdo_") && name.ends_with(".so"))
      return true;
  return false;
}

// Libraries (SSL, SQLite, mcrypt and the rest) are not named by the components: each goes once
// nothing left in the tree needs it, and one still needed (MariaDB's libssl when PHP's curl and
// openssl are gone, NSS's libsqlite3 when PHP's SQLite is) stays.
void RemoveUnneededSharedLibraries(const std::string &appPath)
{
  const std::string ext = appPath + "bin/php/ext/";
  if (!AnyPdoDriverLeft(ext))
    DeleteFileSilently(ext + "pdo.so");
  Corvala::RemoveUnneededLibraries(appPath);
}

} // namespace

const std::array<TDownSizeComponent, DownSizeComponentCount> &DownSizeComponents()
{
  static const std::array<TDownSizeComponent, DownSizeComponentCount> components = {{
      {"chkMySQL",
       "Delete MySQL",
       "bin/mysql",
       true,
       {"data", "bin/mysql"},
       {"bin/php/ext/mysql.so", "bin/php/ext/mysqli.so", "bin/php/ext/pdo_mysql.so"},
       "DIRS",
       "MySQL data directory"},
      {"chkSQLite",
       "Delete SQLite",
       "bin/php/ext/sqlite3.so",
       false,
       {},
       {"bin/php/ext/pdo_sqlite.so", "bin/php/ext/sqlite3.so"},
       nullptr,
       nullptr},
      {"chkZend", "Delete Zend Optimizer", "bin/php/Zend", true, {"bin/php/Zend"}, {}, nullptr, nullptr},
      {"chkIonCube",
       "Delete ionCube PHP Loader",
       "bin/php/ionCube",
       true,
       {"bin/php/ionCube"},
       {},
       nullptr,
       nullptr},
      {"chkGd2", "Delete GD", "bin/php/ext/gd.so", false, {}, {"bin/php/ext/gd.so"}, nullptr, nullptr},
      {"chkMbstring",
       "Delete Multibyte (mbstring.so)",
       "bin/php/ext/mbstring.so",
       false,
       {},
       {"bin/php/ext/mbstring.so"},
       nullptr,
       nullptr},
      {"chkImap",
       "Delete IMAP",
       "bin/php/ext/imap.so",
       false,
       {},
       {"bin/Apache/sendmail", "bin/Apache/sendmail.ini", "bin/php/ext/imap.so"},
       nullptr,
       nullptr},
      {"chkCurl", "Delete cURL", "bin/php/ext/curl.so", false, {}, {"bin/php/ext/curl.so"}, nullptr, nullptr},
      {"chkMcrypt",
       "Delete mcrypt",
       "bin/php/ext/mcrypt.so",
       false,
       {},
       {"bin/php/ext/mcrypt.so"},
       nullptr,
       nullptr},
      {"chkMhash",
       "Delete MHASH",
       "bin/php/ext/mhash.so",
       false,
       {},
       {"bin/php/ext/mhash.so"},
       nullptr,
       nullptr},
      {"chkSockets",
       "Delete Sockets",
       "bin/php/ext/sockets.so",
       false,
       {},
       {"bin/php/ext/sockets.so"},
       nullptr,
       nullptr},
      {"chkMime",
       "Delete mime_magic",
       "bin/php/ext/mime_magic.so",
       false,
       {},
       {"bin/php/ext/mime_magic.so", "bin/php/ext/magic.mime"},
       nullptr,
       nullptr},
      {"chkPHPMyAdmin",
       "Delete phpMyAdmin",
       "www/phpmyadmin",
       true,
       {"www/phpmyadmin", "data/phpmyadmin"},
       {},
       "URLS",
       "phpMyAdmin"},
      {"chkOpenSSL",
       "Delete OpenSSL",
       "bin/php/ext/openssl.so",
       false,
       {},
       {"bin/php/ext/openssl.so"},
       nullptr,
       nullptr},
      {"chkXmlrpc",
       "Delete xmlrpc",
       "bin/php/ext/xmlrpc.so",
       false,
       {},
       {"bin/php/ext/xmlrpc.so"},
       nullptr,
       nullptr},
      // The debugger and Composer came later, so they follow the older flags.
      {"chkXdebug",
       "Delete Xdebug (debugger)",
       "bin/php/ext/xdebug.so",
       false,
       {},
       {"bin/php/ext/xdebug.so"},
       nullptr,
       nullptr},
      {"chkComposer",
       "Delete Composer",
       "bin/composer",
       true,
       {"bin/composer"},
       {"bin/php/composer"},
       nullptr,
       nullptr},
  }};
  return components;
}

bool IsComponentOffered(const TDownSizeComponent &component, const std::string &appPath)
{
  const std::string path = appPath + component.offeredBy;
  return component.offeredByFolder ? DirectoryExists(path) : FileExists(path);
}

std::string DownSizeParameters(const std::array<bool, DownSizeComponentCount> &selected)
{
  std::string parameters = "downsize";
  for (const bool flag : selected)
    parameters += flag ? " -1" : " 0";
  return parameters;
}

void DeleteDownSizeSelection(const std::string &appPath, const std::vector<std::string> &flags)
{
  const auto &components = DownSizeComponents();
  for (size_t position = 0; position < components.size(); ++position) {
    if (!IsSelected(flags, position))
      continue;
    // A failure ends only this component's deletions; the next component still follows.
    try {
      DeleteComponent(components[position], appPath);
    } catch (const std::exception &) {
    }
  }
  Pause();
  RemoveUnneededSharedLibraries(appPath);
}

void RunDownSize(const std::vector<std::string> &flags)
{
  const std::string program = GetProgramPath();
  // The launcher and its splash process hold the files until they have ended.
  while (FindProcessesByPath(program).size() >= 2)
    Pause();
  Pause();
  DeleteDownSizeSelection(GetAppPath(), flags);
  StartProcess(program, "", TShowCommand::Normal, "");
}
