// corvala-copystack APP_PATH OUTPUT: the copy part of a distribution build (bin, data, www), for the
// build benchmark.
#include "packaging/DistributionBuild.h"

#include <cstdio>

int main(int argc, char **argv)
{
  if (argc != 3) {
    std::fprintf(stderr, "usage: corvala-copystack APP_PATH OUTPUT\n");
    return 2;
  }
  std::string appPath = argv[1];
  if (appPath.empty() || appPath.back() != '/')
    appPath += '/';
  Corvala::TCreatedPaths created;
  Corvala::CopyStack(appPath, "", "", argv[2], {}, created);
  return 0;
}
