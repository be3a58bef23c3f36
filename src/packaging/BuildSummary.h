#pragma once

#include "packaging/BrandSettings.h"

#include <string>

namespace Corvala
{

// The first line of every report of a finished build: "The distribution is ready in "<output>"."
std::string DistributionReadyText(const std::string &output);

// What a finished distribution in Output holds, one line each: runme with the title and port it
// starts with, then those of autorun.inf, bin, licenses, www and data that are there.
std::string DistributionContentsText(const std::string &output, const TBrandSettings &settings);

} // namespace Corvala
