#include "stack/ServerEnvironment.h"

#include "corvala/Version.h"
#include "stack/host/Environment.h"
#include "stack/host/WorkFolder.h"

using namespace Host;

namespace Corvala
{

void SetServerEnvironment(const std::string &programPath)
{
  SetPhpIniEnvironment(WorkFolderPathFor(programPath));
  SetLanguageEnvironment();
  SetEnvironmentValue("SERVER_FILENAME", programPath);
  SetEnvironmentValue("SERVER_FILEVERSION", CorvalaVersion);
  SetEnvironmentValue("SERVER_APPNAME", "Corvala");
  // Without this PHP also reads the host's own conf.d and loads its extensions twice.
  SetEnvironmentValue("PHP_INI_SCAN_DIR", "");
}

} // namespace Corvala
