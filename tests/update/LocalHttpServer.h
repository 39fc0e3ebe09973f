#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTcpServer>

#include <functional>

// A tiny HTTP/1.1 server on 127.0.0.1 and an ephemeral port, run by the test's
// own event loop. Unknown paths answer 404 with an error page.
class LocalHttpServer {
public:
  struct Route {
    int status = 200;
    QByteArray body;
    bool stall = false;       // send the headers and a first piece, then nothing
    QByteArray contentType{}; // no Content-Type header when empty
  };

  LocalHttpServer();
  bool Listen();
  QByteArray BaseUrl() const; // "http://127.0.0.1:<port>/"
  void Serve(const QByteArray &path, const Route &route) { m_routes[path] = route; }
  void Serve(const QByteArray &path, const QByteArray &body) { m_routes[path] = Route{200, body, false}; }
  // Answers path with a redirection (302) to location.
  void Redirect(const QByteArray &path, const QByteArray &location)
  {
    m_routes[path] = Route{302, "moved", false};
    m_locations[path] = location;
  }

  QList<QByteArray> requests; // each request's head, as received
  QList<QByteArray> paths;

private:
  void Answer(QTcpSocket *socket, const QByteArray &head);

  QTcpServer m_server;
  QMap<QByteArray, Route> m_routes;
  QMap<QByteArray, QByteArray> m_locations;
};
