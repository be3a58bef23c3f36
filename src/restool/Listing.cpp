#include "Listing.h"

std::string DescribeResources(const Resources::TResourceList &resources)
{
  std::string text;
  for (const Resources::TResource &r : resources)
    text += std::to_string(r.Type) + " " + r.Name.ToString() + " " + std::to_string(r.Language) + " " +
            std::to_string(r.Data.size()) + "\n";
  return text;
}
