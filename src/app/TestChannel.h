#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class CQelApp;
class QLocalServer;
class QLocalSocket;

// Built only with VELOTRIX_TEST_HOOKS: a local socket through which the
// display test drives the running program and reads its state, one command
// line in, one answer line out ("OK ..." or "ERR ..."). It calls the public
// interface of the application and its windows and nothing else. Commands
// that may open a window of their own answer first and run afterwards, so
// that a modal window never holds the answer back.
class TestChannel : public QObject {
  Q_OBJECT
public:
  TestChannel(CQelApp &app, QObject *parent = nullptr);
  ~TestChannel() override;

  // Listens on the named local socket; false (with the reason on stderr)
  // when it cannot.
  bool Listen(const QString &name);

  // Runs one command line and gives its answer (no line end).
  QString Run(const QString &line);

private:
  void OnConnection();
  void OnReadyRead(QLocalSocket *socket);

  CQelApp &m_app;
  QLocalServer *m_pServer = nullptr;
};
