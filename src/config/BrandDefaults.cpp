#include "config/BrandDefaults.h"

#include "config/ConfigFile.h"
#include "ini/Ini.h"

#include <stdexcept>
#include <vector>

namespace Corvala
{

std::string WriteBrandDefaults(const std::string &workFolder)
{
  if (workFolder.empty())
    throw std::runtime_error("No work folder for Brand.ini");
  std::string path = workFolder + "/Brand.ini";
  const std::vector<Ini::TIniEntry> defaults = {
      {"INI", "splashfilename", ""},
      {"INI", "title", "\"My Program\""},
      {"INI", "iconfile", ""},
      {"INI", "toolbar", "1"},
      {"INI", "statusbar", "1"},
      {"INI", "trayicon", "0"},
      {"INI", "fullscreen", "0"},
      {"INI", "ip", LoopbackAddress},
      {"INI", "port", "80"},
      {"INI", "datadir", ""},
      {"INI", "srcdir", ""},
      {"INI", "outputdir", ""},
      {"INI", "copyfilestoharddisk", "0"},
      {"INI", "brand", "1"},
  };
  Ini::WriteGeneratedIni(path, defaults);
  return path;
}

} // namespace Corvala
