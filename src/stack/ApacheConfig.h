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

// The directives that keep out every request without the site's key (hexadecimal digits): a
// request whose address carries "<SiteKeyName>=<key>" is sent to the same path without the query
// and the key is set as a session cookie; one without that cookie gets 403 with a page that says
// why, unless its client is one of Apache's own processes on 127.0.0.1 (ServerPeerScript, run
// from ServerPeerScriptPath(workFolder)). Throws std::runtime_error for a key of other characters.
std::string SiteKeyRules(const std::string &key, const std::string &workFolder);

// The program Apache asks about each loopback client without the key: it reads the client's port,
// one a line, and answers "server" when the client's socket is held by a process running
// apacheExePath (the site's PHP requesting its own address on apachePort), else "none". A shell
// script over /proc/net/tcp and the processes' descriptors; as root it sees every process, as a
// user that user's, Apache's among them.
std::string ServerPeerScript(const std::string &apacheExePath, int apachePort);

// "<work>/server-peer.sh".
std::string ServerPeerScriptPath(const std::string &workFolder);

// The complete httpd.conf text (ending in SiteKeyRules when setup.siteKey is set), one directive per line,
// each ending in LF. Throws std::runtime_error when a path cannot be written into the file (line breaks).
std::string ApacheConfigText(const TStackSetup &setup);

// Copies the web root into the work folder when ServesWebRootCopy (made writable), then
// writes "<work>/httpd.conf" (mode 0600, replaced as a whole) and gives its path.
// Throws "Cannot create file "%s". %s" when the file cannot be written.
std::string WriteApacheConfig(const TStackSetup &setup);

} // namespace Corvala
