// A small program carrying the shipped resources. Without arguments it lists its own resources,
// which shows both that an executable with a store still runs and that it finds its store;
// "extract NAME FILE" writes one of its RCDATA resources to a file.
#include "Listing.h"
#include "files/Paths.h"
#include "resources/ExeResources.h"

#include <cstdio>
#include <cstring>
#include <exception>

int main(int argc, char **argv)
{
  try {
    if (argc == 4 && std::strcmp(argv[1], "extract") == 0) {
      Resources::ExtractResourceToFile(argv[2], argv[3]);
      return 0;
    }
    const std::string text =
        DescribeResources(Resources::ReadResourceStore(Files::GetProgramPath()).Resources);
    std::fputs(text.c_str(), stdout);
    return 0;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
