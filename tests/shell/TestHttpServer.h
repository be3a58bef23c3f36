#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTcpServer>

// A loopback HTTP server for the browser tests: serves fixed HTML pages by path and counts requests.
class TTestHttpServer
{
public:
  TTestHttpServer();

  void SetPage(const QString &path, const QString &html);
  int Port() const { return server.serverPort(); }
  QString Address(const QString &path = "/") const;
  int Requests(const QString &path) const { return requests.value(path); }

private:
  void Answer(QTcpSocket *socket);

  QTcpServer server;
  QMap<QString, QByteArray> pages;
  QMap<QString, int> requests;
};

// Simple page with a title and a body text.
QString TitledPage(const QString &title, const QString &body = "page");
