#include "HelperRole.h"

#include "maintenance/DownSize.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

int RunHelperRole(int argc, char **argv)
{
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "downsize") {
    RunDownSize(std::vector<std::string>(argv + 2, argv + argc));
    return 0;
  }
  if (mode == "hold") {
    for (;;)
      pause();
  }
  const char *record = std::getenv(RecordFileVariable);
  if (record == nullptr)
    return 2;
  // Written under another name first, so a reader never sees half of it.
  const std::string partial = std::string(record) + ".part";
  {
    std::ofstream out(partial, std::ios::binary);
    for (int i = 0; i < argc; ++i)
      out << argv[i] << '\n';
  }
  return std::rename(partial.c_str(), record) == 0 ? 0 : 1;
}
