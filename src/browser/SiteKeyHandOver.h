#pragma once

#include <QString>
#include <QWebEngineUrlRequestInterceptor>
#include <set>

// In the "only my account" mode every name under .localhost (a site folder's own address) needs the
// key as a cookie of its own: a host-only cookie of 127.0.0.1 does not reach it, and no domain
// cookie can cover names under .localhost. The first page the launcher's browser opens on such a
// name with the site's port, when the user or a page of the site opens it, is asked for with the
// key in its address instead, which the site answers with the cookie and a page that opens the
// address again without the key.
class TSiteKeyHandOver : public QWebEngineUrlRequestInterceptor
{
public:
  TSiteKeyHandOver(int apachePort, const QString &name, const QString &key, QObject *parent);
  void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
  // An address of this site: any of its names with its port.
  bool IsSiteAddress(const QUrl &url) const;
  int apachePort_;
  QString name_;
  QString key_;
  std::set<QString> handedOver_;
};
