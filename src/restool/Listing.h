#pragma once

#include "utils/ResourceStore.h"

#include <string>

// One line per resource: type, name, language and size, separated by blanks.
std::string DescribeResources(const AppUtils::TResourceList &resources);
