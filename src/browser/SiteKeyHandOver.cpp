#include "browser/SiteKeyHandOver.h"

#include <QUrl>

TSiteKeyHandOver::TSiteKeyHandOver(int apachePort, const QString &name, const QString &key, QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent), apachePort_(apachePort), name_(name), key_(key)
{
}

void TSiteKeyHandOver::interceptRequest(QWebEngineUrlRequestInfo &info)
{
  if (info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeMainFrame &&
      info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeSubFrame)
    return;
  QUrl url = info.requestUrl();
  const QString host = url.host().toLower();
  if (url.scheme() != "http" || url.port(80) != apachePort_ || !host.endsWith(".localhost") ||
      !handedOver_.insert(host).second)
    return;
  // Appended to the query as it is, so the page asked for keeps its own parameters byte for byte.
  const QString pair = name_ + "=" + key_;
  url.setQuery(url.hasQuery() ? url.query(QUrl::FullyEncoded) + "&" + pair : pair, QUrl::TolerantMode);
  info.redirect(url);
}
