// The app tests run on gtest's own main: the sanitizer build's GL driver is kept loaded from here.
#include "guimain/SanitizerGl.h"

namespace
{
[[maybe_unused]] const bool softwareGlDriverKept = (KeepSoftwareGlDriverLoaded(), true);
} // namespace
