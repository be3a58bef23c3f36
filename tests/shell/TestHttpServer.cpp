#include "TestHttpServer.h"

#include <QTcpSocket>
#include <QUrl>
#include <stdexcept>
#include <utility>

TTestHttpServer::TTestHttpServer()
{
  if (!server.listen(QHostAddress::LocalHost, 0))
    throw std::runtime_error("test server could not listen on 127.0.0.1");
  QObject::connect(&server, &QTcpServer::newConnection, [this] {
    while (QTcpSocket *socket = server.nextPendingConnection()) {
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Answer(socket); });
      QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
}

void TTestHttpServer::SetPage(const QString &path, const QString &html)
{
  pages[path] = html.toUtf8();
}

void TTestHttpServer::SetDownload(const QString &path, const QByteArray &body, const QString &fileName,
                                  qint64 sendFirst)
{
  downloads[path] = {body, fileName, sendFirst};
}

void TTestHttpServer::CutHeldDownloads()
{
  for (QTcpSocket *socket : std::exchange(held, {}))
    socket->abort();
  downloads.removeIf([](const auto &download) { return download.value().sendFirst >= 0; });
}

QString TTestHttpServer::Address(const QString &path) const
{
  return QString("http://127.0.0.1:%1%2").arg(Port()).arg(path);
}

void TTestHttpServer::Answer(QTcpSocket *socket)
{
  const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
  socket->setProperty("request", request);
  if (!request.contains("\r\n\r\n"))
    return;
  socket->setProperty("request", QByteArray());
  const QString path = QString::fromLatin1(request.split(' ').value(1));
  ++requests[path];
  if (downloads.contains(path)) {
    const TDownload &download = downloads[path];
    // The name in UTF-8 and percent-encoded, as servers send names the header cannot carry as
    // they are: line breaks and other control characters too.
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                  "Content-Disposition: attachment; filename*=UTF-8''" +
                  QUrl::toPercentEncoding(download.fileName) +
                  "\r\nContent-Length: " + QByteArray::number(download.body.size()) + "\r\n\r\n");
    if (download.sendFirst < 0) {
      socket->write(download.body);
      return;
    }
    socket->write(download.body.left(download.sendFirst));
    held.append(socket);
    QObject::connect(socket, &QObject::destroyed, [this, socket] { held.removeAll(socket); });
    return;
  }
  const bool known = pages.contains(path);
  const QByteArray body = known ? pages[path] : QByteArray("<html><body>not found</body></html>");
  socket->write((known ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                QByteArray("Content-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n") +
                "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
}

QString TitledPage(const QString &title, const QString &body)
{
  return QString("<html><head><title>%1</title></head><body>%2</body></html>").arg(title, body);
}
