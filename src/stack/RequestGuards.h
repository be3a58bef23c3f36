#pragma once

#include "stack/StackSetup.h"

#include <string>
#include <vector>

namespace Corvala
{

// Config.ini's list of host names the site answers to besides the loopback ones (blanks or commas
// between names); absent or empty means none.
inline constexpr char AllowedHostsKey[] = "allowedhosts";

// The names of an "allowedhosts" value, lower-cased. Throws std::runtime_error naming the first
// entry that is not a host name (letters, digits, hyphens and dots, no empty label).
std::vector<std::string> ParseAllowedHosts(const std::string &value);

// The regular expression (PCRE, to be matched without regard to case) of the Host values the site
// answers to, with or without a port: 127.0.0.1, localhost, [::1] and every name under .localhost;
// when the site listens on every address, also any IP address (the configured one among them) and
// the machine's own names; and the allowed names.
std::string AllowedHostPattern(const TStackSetup &setup);

// The server-wide rules every request passes before the site sees it, whatever the mode:
// - a Host the site does not answer to (a page of another name rebound to this address) gets 421
//   with a page that says how to allow a name;
// - a request that would change something (any method but GET and HEAD) in one of the stack's own
//   tools gets 403 unless it comes from the site's own origin (Origin, or Sec-Fetch-Site
//   same-origin or none); a program that sends neither header, such as curl, passes.
std::string RequestGuardRules(const TStackSetup &setup);

// The tools the stack serves beside the user's site, as the path each is served at.
inline const std::vector<std::string> &StackToolPaths()
{
  static const std::vector<std::string> paths{"/phpmyadmin"};
  return paths;
}

} // namespace Corvala
