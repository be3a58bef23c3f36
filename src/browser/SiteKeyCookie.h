#pragma once

#include <string>

class QWebEngineProfile;

// In the "only my account" mode the site answers only requests that carry the start's key as a
// cookie. The launcher's own browser gets it here, before its first navigation, as a session cookie
// of the site's host (127.0.0.1; cookies do not tell ports apart), readable by no script, and the
// site folders' own names get it from the site on their first page (TSiteKeyHandOver).
void SetSiteKeyCookie(QWebEngineProfile *profile, int apachePort, const std::string &name,
                      const std::string &key);
