#include "SingleInstance.h"

#include "platform/Trace.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <limits>

#include <unistd.h>

namespace {
constexpr int kMaxPathBytes = 64 * 1024;
const QByteArray kAck = "OK\n";
const QByteArray kRefused = "NO\n";

QString Tag(const QString &uniqueName)
{
  // Names per user: two users on one machine each run their own copy.
  const QByteArray key = uniqueName.toUtf8() + '/' + QByteArray::number(uint(getuid()));
  return QStringLiteral("velotrix-") +
         QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}
} // namespace

CWinAppEx::CWinAppEx(QObject *parent) : QObject(parent) {}

CWinAppEx::~CWinAppEx() = default;

QString CWinAppEx::LockFilePath(const QString &uniqueName)
{
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty())
    dir = QDir::tempPath();
  return dir + QLatin1Char('/') + Tag(uniqueName) + QStringLiteral(".lock");
}

QString CWinAppEx::ServerName(const QString &uniqueName)
{
  return Tag(uniqueName);
}

bool CWinAppEx::IsListening() const
{
  return m_pServer && m_pServer->isListening();
}

bool CWinAppEx::IsAlreadyRunning(const QString &uniqueName)
{
  if (m_lock)
    return false; // this copy holds it
  auto lock = std::make_unique<QLockFile>(LockFilePath(uniqueName));
  // Stale when its process is gone; a live copy keeps it however long it runs.
  lock->setStaleLockTime(std::numeric_limits<int>::max());
  if (lock->tryLock(0)) {
    m_lock = std::move(lock);
    return false;
  }
  // A lock we cannot take for another reason (no folder, no rights) counts
  // as no other copy: this one starts normally.
  return lock->error() == QLockFile::LockFailedError;
}

bool CWinAppEx::CheckInstance(const QString &uniqueName, const QString &filePath, int ackTimeoutMs)
{
  if (uniqueName.isEmpty())
    return true;
  if (!IsAlreadyRunning(uniqueName)) {
    if (m_lock)
      Listen(uniqueName);
    return true;
  }
  if (filePath.isEmpty())
    return true; // a second, independent main window
  return !HandOver(uniqueName, QFileInfo(filePath).absoluteFilePath(), ackTimeoutMs);
}

bool CWinAppEx::Listen(const QString &uniqueName)
{
  const QString name = ServerName(uniqueName);
  // We hold the lock, so a leftover socket belongs to a copy that died.
  QLocalServer::removeServer(name);
  m_pServer = new QLocalServer(this);
  m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
  if (!m_pServer->listen(name)) {
    qCDebug(lcFrame, "single instance: cannot listen on %s", qPrintable(name));
    delete m_pServer;
    m_pServer = nullptr;
    return false;
  }
  connect(m_pServer, &QLocalServer::newConnection, this, &CWinAppEx::OnNewConnection);
  return true;
}

bool CWinAppEx::HandOver(const QString &uniqueName, const QString &path, int timeoutMs)
{
  QLocalSocket socket;
  socket.connectToServer(ServerName(uniqueName));
  const QDeadlineTimer deadline(timeoutMs);
  if (!socket.waitForConnected(int(deadline.remainingTime())))
    return false;
  socket.write(path.toUtf8() + '\n');
  if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
    return false;
  QByteArray answer;
  while (!answer.contains('\n') && !deadline.hasExpired()) {
    if (!socket.waitForReadyRead(int(deadline.remainingTime())))
      break;
    answer += socket.readAll();
  }
  return answer == kAck;
}

void CWinAppEx::OnNewConnection()
{
  while (QLocalSocket *socket = m_pServer->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (socket->property("answered").toBool())
        return;
      if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxPathBytes)
          socket->abort(); // not one of ours
        return;
      }
      const QString path = QString::fromUtf8(socket->readLine(kMaxPathBytes)).trimmed();
      socket->setProperty("answered", true);
      const bool taken = OnInstanceMessage(path);
      socket->write(taken ? kAck : kRefused);
      socket->flush();
      socket->disconnectFromServer();
      if (taken)
        emit documentHandedOver(path);
    });
  }
}

bool CWinAppEx::OnInstanceMessage(const QString &path)
{
  const QFileInfo info(path);
  if (path.isEmpty() || !info.isAbsolute() || !info.isFile() || !info.isReadable())
    return false;
  ++m_nAccepted;
  qCDebug(lcFrame, "contatore istanze %d", m_nAccepted);
  return true;
}
