#include "browser/SiteKeyHandOver.h"

#include <QUrl>
#include <QWebEngineCookieStore>

TSiteKeyHandOver::TSiteKeyHandOver(int apachePort, const QNetworkCookie &cookie, QWebEngineCookieStore *store,
                                   QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent), apachePort_(apachePort), cookie_(cookie), store_(store)
{
}

bool TSiteKeyHandOver::IsSiteAddress(const QUrl &url) const
{
  const QString host = url.host().toLower();
  return url.scheme() == "http" && url.port(80) == apachePort_ &&
         (host == "127.0.0.1" || host == "localhost" || host == "::1" || host.endsWith(".localhost"));
}

void TSiteKeyHandOver::interceptRequest(QWebEngineUrlRequestInfo &info)
{
  QUrl url = info.requestUrl();
  const QString host = url.host().toLower();
  // A request with a body cannot be sent on to another address: a form sent to such a name before
  // any page of it gets the refusal.
  if (info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeMainFrame ||
      info.requestMethod() != "GET" || !host.endsWith(".localhost") || !IsSiteAddress(url))
    return;
  // What the user opens (no initiator) and the site's own pages get the key; another site's page
  // opens the address without it, as a link of another site to the main address does.
  if (!info.initiator().isEmpty() && !IsSiteAddress(info.initiator()))
    return;
  if (!handedOver_.insert(host).second)
    return;
  store_->setCookie(cookie_, QUrl("http://" + host + ":" + QString::number(apachePort_) + "/"));
  // Appended to the query as it is, so the page asked for keeps its own parameters byte for byte.
  const QString pair = QString::fromLatin1(cookie_.name() + "=" + cookie_.value());
  url.setQuery(url.hasQuery() ? url.query(QUrl::FullyEncoded) + "&" + pair : pair, QUrl::TolerantMode);
  info.redirect(url);
}
