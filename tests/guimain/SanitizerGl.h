#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#endif

// Mesa's software GL driver, which Qt's GLX support loads and unloads again, leaves one allocation
// behind. Unloaded, its code has no name the leak check could match against its suppressions; kept
// loaded, it is named (and suppressed as a system library's). Only the sanitizer build needs this.
inline void KeepSoftwareGlDriverLoaded()
{
#if defined(__SANITIZE_ADDRESS__)
  dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_NODELETE);
#endif
}
