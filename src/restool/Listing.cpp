#include "Listing.h"

std::string DescribeResources(const AppUtils::TResourceList &resources)
{
  std::string text;
  for (const AppUtils::TResource &r : resources)
    text += std::to_string(r.Type) + " " + r.Name.ToString() + " " + std::to_string(r.Language) + " " +
            std::to_string(r.Data.size()) + "\n";
  return text;
}
