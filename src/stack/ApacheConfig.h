#pragma once

#include "stack/StackSetup.h"

#include <string>

namespace Corvala
{

// "127.0.0.1" when ip is exactly that text (byte for byte), otherwise "0.0.0.0" (all addresses).
std::string ApacheListenAddress(const std::string &ip);

// True when the web root is served from the work folder's copy: on CD with the copy flag on.
bool ServesWebRootCopy(const TStackSetup &setup);

// The document root: "<work>/www" when ServesWebRootCopy, otherwise "<app>www".
std::string ApacheDocumentRoot(const TStackSetup &setup);

// path as one quoted argument of an Apache directive. Throws std::runtime_error for a path that
// cannot be written into the file (line breaks, "${").
std::string QuotedArgument(const std::string &path);

// The complete httpd.conf text (ending in RequestGuardRules, SiteFolderRules, then SiteKeyRules when
// setup.siteKey is set), one directive per line, each ending in LF. Throws std::runtime_error when a path
// cannot be written into the file (line breaks).
std::string ApacheConfigText(const TStackSetup &setup);

// Copies the web root into the work folder when ServesWebRootCopy (made writable), writes the
// files the site key's rules use when setup.siteKey is set, then "<work>/httpd.conf" (mode 0600,
// replaced as a whole) and gives its path.
// Throws "Cannot create file "%s". %s" when the file cannot be written.
std::string WriteApacheConfig(const TStackSetup &setup);

} // namespace Corvala
