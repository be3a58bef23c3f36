#include "app/SplashRole.h"

#include "app/SplashForm.h"
#include "ini/Ini.h"
#include "resources/ExeResources.h"

#include <QApplication>
#include <stdexcept>

namespace
{

QByteArray ReadSplashResource()
{
  const auto bytes = Resources::ReadOwnResource(Resources::RT_RCDATA, "RES_SPLASH");
  if (!bytes)
    throw std::runtime_error("Resource RES_SPLASH not found");
  return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

} // namespace

int RunSplashRole(const std::string &configFile, int argc, char **argv)
{
  if (Ini::ReadIniString(configFile, "INI", "showsplash") == "0")
    return 0;
  QApplication application(argc, argv);
  QApplication::setApplicationName("Corvala");
  // A closed splash window leaves the process running until the launcher ends it.
  QApplication::setQuitOnLastWindowClosed(false);
  auto *form = new TfrmSplash(ReadSplashResource);
  form->show();
  return QApplication::exec();
}
