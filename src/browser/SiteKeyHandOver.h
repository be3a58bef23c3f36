#pragma once

#include <QNetworkCookie>
#include <QString>
#include <QWebEngineUrlRequestInterceptor>
#include <set>

class QWebEngineCookieStore;

// In the "only my account" mode every name under .localhost (a site folder's own address) needs the
// key as a cookie of its own: a host-only cookie of 127.0.0.1 does not reach it, and no domain
// cookie can cover names under .localhost. The first page the launcher's browser opens on such a
// name with the site's port, when the user or a page of the site opens it, is asked for with the
// key in its address instead, which the site answers with the cookie and a page that opens the
// address again without the key. The store gets the same cookie for that name as well: the engine
// fails a server redirect's next leg that is sent on once more, and its reload needs the cookie.
class TSiteKeyHandOver : public QWebEngineUrlRequestInterceptor
{
public:
  // cookie: the key's cookie, without a domain; store: the cookie store of the interceptor's profile.
  TSiteKeyHandOver(int apachePort, const QNetworkCookie &cookie, QWebEngineCookieStore *store,
                   QObject *parent);
  void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
  // An address of this site: any of its names with its port.
  bool IsSiteAddress(const QUrl &url) const;
  int apachePort_;
  QNetworkCookie cookie_;
  QWebEngineCookieStore *store_;
  std::set<QString> handedOver_;
};
