#include "config/BrandDefaults.h"

#include "config/ConfigFile.h"
#include "utils/Ini.h"

#include <stdexcept>
#include <utility>

namespace Corvala
{

std::string WriteBrandDefaults(const std::string &workFolder)
{
  if (workFolder.empty())
    throw std::runtime_error("No work folder for Brand.ini");
  std::string path = workFolder + "/Brand.ini";
  static const std::pair<const char *, const char *> defaults[] = {
      {"splashfilename", ""},
      {"title", "\"My Program\""},
      {"iconfile", ""},
      {"toolbar", "1"},
      {"statusbar", "1"},
      {"trayicon", "0"},
      {"fullscreen", "0"},
      {"ip", LoopbackAddress},
      {"port", "80"},
      {"datadir", ""},
      {"srcdir", ""},
      {"outputdir", ""},
      {"copyfilestoharddisk", "0"},
      {"brand", "1"},
  };
  for (const auto &[key, value] : defaults)
    AppUtils::WriteIniString(path, "INI", key, value);
  return path;
}

} // namespace Corvala
