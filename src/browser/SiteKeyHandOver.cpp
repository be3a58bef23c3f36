#include "browser/SiteKeyHandOver.h"

#include <QUrl>

TSiteKeyHandOver::TSiteKeyHandOver(int apachePort, const QString &name, const QString &key, QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent), apachePort_(apachePort), name_(name), key_(key)
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
  if (info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeMainFrame ||
      !host.endsWith(".localhost") || !IsSiteAddress(url))
    return;
  // What the user opens (no initiator) and the site's own pages get the key; another site's page
  // opens the address without it, as a link of another site to the main address does.
  if (!info.initiator().isEmpty() && !IsSiteAddress(info.initiator()))
    return;
  if (!handedOver_.insert(host).second)
    return;
  // Appended to the query as it is, so the page asked for keeps its own parameters byte for byte.
  const QString pair = name_ + "=" + key_;
  url.setQuery(url.hasQuery() ? url.query(QUrl::FullyEncoded) + "&" + pair : pair, QUrl::TolerantMode);
  info.redirect(url);
}
