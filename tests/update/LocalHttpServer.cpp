#include "LocalHttpServer.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QTcpSocket>

LocalHttpServer::LocalHttpServer()
{
  QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
      auto *buffer = new QByteArray;
      QObject::connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
        buffer->append(socket->readAll());
        const qsizetype end = buffer->indexOf("\r\n\r\n");
        if (end < 0)
          return;
        const QByteArray head = buffer->left(end);
        buffer->remove(0, end + 4);
        Answer(socket, head);
      });
      QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
}

bool LocalHttpServer::Listen()
{
  return m_server.listen(QHostAddress::LocalHost, 0);
}

QByteArray LocalHttpServer::BaseUrl() const
{
  return "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()) + "/";
}

void LocalHttpServer::Answer(QTcpSocket *socket, const QByteArray &head)
{
  requests << head;
  const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
  const QByteArray path = words.size() > 1 ? words[1] : QByteArray();
  paths << path;
  Route route{404, "<html><body>404 Not Found</body></html>", false};
  if (m_routes.contains(path))
    route = m_routes[path];
  QByteArray answer = "HTTP/1.1 " + QByteArray::number(route.status) + " X\r\n";
  if (m_locations.contains(path))
    answer += "Location: " + m_locations[path] + "\r\n";
  if (!route.contentType.isEmpty())
    answer += "Content-Type: " + route.contentType + "\r\n";
  if (route.stall) {
    answer += "Content-Length: 100000000\r\n\r\n" + route.body;
    socket->write(answer);
    return;
  }
  answer += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\nConnection: close\r\n\r\n";
  socket->write(answer + route.body);
  socket->disconnectFromHost();
}
