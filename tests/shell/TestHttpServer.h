#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QTcpServer>

// A loopback HTTP server for the browser tests: serves fixed HTML pages by path and counts requests.
class TTestHttpServer
{
public:
  TTestHttpServer();

  void SetPage(const QString &path, const QString &html);
  // Serves Body at Path as an attachment named FileName. With SendFirst, only that many bytes of it
  // are sent, and the connection is held until CutHeldDownloads(), which also ends the serving of
  // those downloads, as a server that went away.
  void SetDownload(const QString &path, const QByteArray &body, const QString &fileName,
                   qint64 sendFirst = -1);
  void CutHeldDownloads();
  int Port() const { return server.serverPort(); }
  QString Address(const QString &path = "/") const;
  int Requests(const QString &path) const { return requests.value(path); }

private:
  void Answer(QTcpSocket *socket);

  QTcpServer server;
  QMap<QString, QByteArray> pages;
  QMap<QString, int> requests;
  struct TDownload {
    QByteArray body;
    QString fileName;
    qint64 sendFirst;
  };
  QMap<QString, TDownload> downloads;
  QList<QTcpSocket *> held;
};

// Simple page with a title and a body text.
QString TitledPage(const QString &title, const QString &body = "page");
