#pragma once

#include "resources/ResourceStore.h"

#include <string>

// One line per resource: type, name, language and size, separated by blanks.
std::string DescribeResources(const Resources::TResourceList &resources);
