#pragma once

#include <string>

namespace Corvala
{

// The directives that keep out every request without the site's key (hexadecimal digits): a
// request whose address carries "<SiteKeyName>=<key>" gets the key as a session cookie (HttpOnly,
// SameSite=Strict) and the landing page (SiteKeyLandingPath), which opens the same path without
// the key; a request without that cookie gets 403 with a page that says why, unless its client is
// one of Apache's own processes on 127.0.0.1 (ServerPeerScript, run from
// ServerPeerScriptPath(workFolder)). Throws std::runtime_error for a key of other characters.
std::string SiteKeyRules(const std::string &key, const std::string &workFolder);

// The program Apache asks about each loopback client without the key: it reads the client's port,
// one a line, and answers "server" when the client's socket is held by a child of the Apache that
// started the program (its PHP requesting its own address on apachePort) running apacheExePath,
// else "none". A shell script over /proc/net/tcp and the processes' descriptors; as root it sees
// every process, as a user that user's, Apache's among them.
std::string ServerPeerScript(const std::string &apacheExePath, int apachePort);

// "<work>/server-peer.sh".
std::string ServerPeerScriptPath(const std::string &workFolder);

// "<work>/site-key-landing.html".
std::string SiteKeyLandingPath(const std::string &workFolder);

// The page a request with the key in its address gets along with the cookie. A strict cookie set
// by a redirect that a page of another origin (the external browser's hand-over file) started is
// not sent on that redirect's next leg; a navigation this page starts is the site's own. The page's
// other parameters stay.
inline constexpr char SiteKeyLandingPage[] =
    "<!DOCTYPE html>\n"
    "<html><head><meta charset=\"utf-8\"><title>Opening the site</title>"
    "<meta http-equiv=\"refresh\" content=\"0;url=/\"></head>"
    "<body><script>location.replace(location.pathname + location.search.replace("
    "/[?&]corvala_key=[0-9a-f]*/, '').replace(/^&/, '?') + location.hash)</script></body></html>\n";

} // namespace Corvala
