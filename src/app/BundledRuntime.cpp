#include "app/BundledRuntime.h"

#include "files/Paths.h"

#include <QResource>
#include <cstdio>

extern const unsigned char BundledQtConf[];

void UseBundledQtRuntime(const std::string &appPath)
{
  if (Files::DirectoryExists(appPath + "bin/qt"))
    QResource::registerResource(BundledQtConf);
}

bool IsGlibcAtLeast(const char *version, int major, int minor)
{
  int hasMajor = 0;
  int hasMinor = 0;
  if (version == nullptr || std::sscanf(version, "%d.%d", &hasMajor, &hasMinor) != 2)
    return false;
  return hasMajor > major || (hasMajor == major && hasMinor >= minor);
}
