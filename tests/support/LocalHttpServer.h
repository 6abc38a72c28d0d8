// A small HTTP server on 127.0.0.1 for the tests of the update check: every GET gets the same
// answer, or (Silent) is accepted and never answered, or (Held) is answered when the test
// releases it, or (Drip) gets a header and then one byte of a body that never ends at every
// tick.  It runs in the test's event loop.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <vector>

class TLocalHttpServer {
 public:
  QByteArray Body;
  int Status = 200;
  bool Silent = false;
  bool Held = false;
  bool Drip = false;
  int Requests = 0;

  TLocalHttpServer() {
    FServer.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&FServer, &QTcpServer::newConnection, &FServer, [this] { Accept(); });
  }

  QUrl Url() const {
    return QUrl(QString("http://127.0.0.1:%1/morvane/morvanenet.xml").arg(FServer.serverPort()));
  }

  // An address on 127.0.0.1 where nothing listens (connections are refused at once).
  // Answers the requests held so far (and every later one).
  void Release() {
    Held = false;
    for (const QPointer<QTcpSocket> &socket : FHeld)
      if (socket) Answer(socket);
    FHeld.clear();
  }

  static QUrl RefusedUrl() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QString("http://127.0.0.1:%1/morvane/morvanenet.xml").arg(port));
  }

 private:
  void Accept() {
    while (QTcpSocket *socket = FServer.nextPendingConnection()) {
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        FRequest += socket->readAll();
        if (!FRequest.contains("\r\n\r\n")) return;
        FRequest.clear();
        ++Requests;
        if (Silent) return;
        if (Held) {
          FHeld.push_back(socket);
          return;
        }
        Answer(socket);
      });
    }
  }

  void Answer(QTcpSocket *socket) {
    if (Drip) {
      socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 100000\r\n\r\n");
      auto *tick = new QTimer(socket);
      QObject::connect(tick, &QTimer::timeout, socket, [socket] { socket->write(" "); });
      tick->start(20);
      return;
    }
    socket->write("HTTP/1.1 " + QByteArray::number(Status) +
                  (Status == 200 ? " OK" : " Not Found") +
                  "\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(Body.size()) + "\r\n\r\n" + Body);
    socket->disconnectFromHost();
  }

  QTcpServer FServer;
  QByteArray FRequest;
  std::vector<QPointer<QTcpSocket>> FHeld;
};
