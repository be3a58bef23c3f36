#include "stack/DataFolderFiles.h"

namespace Corvala
{

namespace
{
bool StartsWith(const std::string &text, const char *prefix)
{
  return text.rfind(prefix, 0) == 0;
}
} // namespace

bool IsServerStateFile(const std::string &name)
{
  static const char *const exactNames[] = {"aria_log_control",  "ddl_recovery.log", "ddl_recovery-backup.log",
                                           "ib_buffer_pool",    "ibtmp1",           "tc.log",
                                           "mysql_upgrade_info"};
  for (const char *exact : exactNames)
    if (name == exact)
      return true;
  for (const char *prefix : {"aria_log.", "ib_logfile", "ibdata", "undo"})
    if (StartsWith(name, prefix))
      return true;
  return false;
}

} // namespace Corvala
