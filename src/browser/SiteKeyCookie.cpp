#include "browser/SiteKeyCookie.h"

#include "browser/SiteKeyHandOver.h"

#include <QNetworkCookie>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

void SetSiteKeyCookie(QWebEngineProfile *profile, int apachePort, const std::string &name,
                      const std::string &key)
{
  QNetworkCookie cookie(QByteArray::fromStdString(name), QByteArray::fromStdString(key));
  cookie.setPath("/");
  cookie.setHttpOnly(true);
  cookie.setSameSitePolicy(QNetworkCookie::SameSite::Strict);
  // No domain: a host-only cookie, as the server's own hand-over sets it.
  profile->cookieStore()->setCookie(cookie, QUrl("http://127.0.0.1:" + QString::number(apachePort) + "/"));
  profile->setUrlRequestInterceptor(
      new TSiteKeyHandOver(apachePort, cookie, profile->cookieStore(), profile));
}
