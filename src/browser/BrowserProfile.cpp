#include "browser/BrowserProfile.h"

#include "digest/Md5.h"
#include "files/OwnFolder.h"

#include <QCoreApplication>
#include <QString>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace
{

QWebEngineProfile *opened = nullptr;
std::string openedFolder;

// Asked for by Clear(); the profile's files go at the next start, before the engine opens them.
constexpr char ClearMarker[] = "clear-at-next-start";

std::string DataFolder()
{
  const char *data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/')
    return data;
  const char *home = std::getenv("HOME");
  if (!home || !*home)
    throw std::runtime_error("The browser profile has no place: neither XDG_DATA_HOME nor HOME is set");
  return std::string(home) + "/.local/share";
}

} // namespace

namespace BrowserProfile
{

std::string FolderFor(const std::string &programPath)
{
  return DataFolder() + "/corvala/profiles/" + Digest::Md5Hex(programPath);
}

void Open(const std::string &programPath)
{
  std::error_code ignored;
  std::filesystem::create_directories(DataFolder(), ignored);
  Files::EnsureOwnFolder(DataFolder() + "/corvala", "The browser's data folder", true);
  Files::EnsureOwnFolder(DataFolder() + "/corvala/profiles", "The browser's profiles folder", true);
  const std::string folder = FolderFor(programPath);
  if (std::filesystem::exists(folder + "/" + ClearMarker, ignored))
    std::filesystem::remove_all(folder, ignored);
  Files::EnsureOwnFolder(folder, "The browser profile folder", true);

  // The engine makes the profile's first folder, and its preferences file, under the application's
  // data location ("<data>/<organization>/<application>") before it can be told where the profile
  // lives. The organization, which nothing else of the program uses, points that location into
  // the profile's own folder while the profile is made.
  const QString organization = QCoreApplication::organizationName();
  QCoreApplication::setOrganizationName(
      QString::fromStdString("corvala/profiles/" + Digest::Md5Hex(programPath) + "/engine"));
  auto *profile = new QWebEngineProfile(QString::fromStdString(Digest::Md5Hex(programPath)),
                                        QCoreApplication::instance());
  QCoreApplication::setOrganizationName(organization);
  profile->setPersistentStoragePath(QString::fromStdString(folder + "/storage"));
  profile->setCachePath(QString::fromStdString(folder + "/cache"));
  profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
  // A site's login is a session cookie: kept like the others, so the user stays logged in.
  profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
  opened = profile;
  openedFolder = folder;
}

QWebEngineProfile *Current()
{
  return opened ? opened : QWebEngineProfile::defaultProfile();
}

void Clear()
{
  QWebEngineProfile *profile = Current();
  profile->cookieStore()->deleteAllCookies();
  profile->clearHttpCache();
  if (!openedFolder.empty())
    std::ofstream(openedFolder + "/" + ClearMarker) << "";
}

} // namespace BrowserProfile
