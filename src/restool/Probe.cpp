// A small program carrying the shipped resources: it lists its own resources, which shows both that
// an executable with a store still runs and that it can find its store.
#include "Listing.h"
#include "utils/Paths.h"

#include <cstdio>

int main()
{
  const std::string text =
      DescribeResources(AppUtils::ReadResourceStore(AppUtils::GetProgramPath()).Resources);
  std::fputs(text.c_str(), stdout);
  return 0;
}
