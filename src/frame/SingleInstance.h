#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// Lets the first running copy of the program take the documents opened from
// the shell: a second copy started with a file hands its absolute path over
// and ends, but only once the running copy has acknowledged it; otherwise it
// starts normally. One lock file and one local server per user and name.
class CWinAppEx : public QObject {
  Q_OBJECT
public:
  static constexpr auto kUniqueName = "{198f4dd7e2d7351075ecc1225235f75a}";

  explicit CWinAppEx(QObject *parent = nullptr);
  ~CWinAppEx() override;

  // True: go on with start-up (first copy, no file, or the running copy did
  // not take the file); false: the path was handed over, end the program.
  // An empty name skips the check.
  virtual bool CheckInstance(const QString &uniqueName, const QString &filePath, int ackTimeoutMs = 5000);
  // True when another copy holds the lock for this name.
  bool IsAlreadyRunning(const QString &uniqueName);
  // True while this copy listens for handed-over documents.
  bool IsListening() const;
  // Paths accepted from other copies.
  int AcceptedCount() const { return m_nAccepted; }

  // The lock file and server names for a unique name (per user).
  static QString LockFilePath(const QString &uniqueName);
  static QString ServerName(const QString &uniqueName);

Q_SIGNALS:
  // A readable document handed over by another copy (absolute path); the
  // application opens it.
  void documentHandedOver(const QString &path);

protected:
  // Checks the handed-over path; false when it cannot be read (nothing opens
  // and the other copy starts normally).
  virtual bool OnInstanceMessage(const QString &path);

private:
  bool Listen(const QString &uniqueName);
  void OnNewConnection();
  static bool HandOver(const QString &uniqueName, const QString &path, int timeoutMs);

  std::unique_ptr<QLockFile> m_lock;
  QLocalServer *m_pServer = nullptr; // child
  int m_nAccepted = 0;
};
