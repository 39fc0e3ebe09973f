#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <vector>

// foreign_board.py (the python3-pymodbus RTU server serving a description
// document) on one end of a socat pseudo-terminal pair; the supervisor opens
// the other end, Device().
class ForeignBoard {
public:
  // Why the foreign slave cannot run on this machine; empty when it can.
  static QString MissingTools()
  {
    if (!Runs(Python(), {QStringLiteral("-c"), QStringLiteral("import pymodbus.server, serial_asyncio")}))
      return QStringLiteral("python3-pymodbus (with python3-serial-asyncio) is not installed for /usr/bin/python3");
    if (!Runs(QStringLiteral("socat"), {QStringLiteral("-V")}))
      return QStringLiteral("socat is not installed");
    return {};
  }

  ForeignBoard(const QString &document, const QStringList &options = {}) { m_started = Start(document, options); }
  ~ForeignBoard()
  {
    if (m_slave.state() != QProcess::NotRunning) {
      m_slave.write("quit\n");
      if (!m_slave.waitForFinished(3000))
        Stop(m_slave);
    }
    Stop(m_socat);
  }
  ForeignBoard(const ForeignBoard &) = delete;
  ForeignBoard &operator=(const ForeignBoard &) = delete;

  // False, with Error() saying why, when the pair or the server did not start.
  bool Started() const { return m_started; }
  QString Error() const { return m_error; }
  QString Device() const { return m_ours; }

  // Sends a control line and waits for its "OK"/"ERR" answer; true on "OK".
  bool Command(const QString &line, QString *answer = nullptr, int timeoutMs = 5000)
  {
    if (m_slave.state() != QProcess::Running)
      return false;
    m_slave.write((line + u'\n').toUtf8());
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
      for (; m_answered < m_lines.size(); ++m_answered) {
        const QString &l = m_lines[m_answered];
        if (l.startsWith(QStringLiteral("OK")) || l.startsWith(QStringLiteral("ERR"))) {
          if (answer)
            *answer = l;
          ++m_answered;
          return l.startsWith(QStringLiteral("OK"));
        }
      }
      if (deadline.hasExpired())
        return false;
      ReadSome(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)));
    }
  }
  // The slave's holding registers; empty when it did not answer.
  std::vector<std::uint16_t> Holding(int address, int count)
  {
    QString answer;
    if (!Command(QStringLiteral("get %1 %2").arg(address).arg(count), &answer))
      return {};
    std::vector<std::uint16_t> out;
    for (const QString &w : answer.split(u' ', Qt::SkipEmptyParts).mid(1))
      out.push_back(static_cast<std::uint16_t>(w.toUInt()));
    return out;
  }
  bool SetHolding(int address, const std::vector<std::uint16_t> &words)
  {
    QString line = QStringLiteral("set %1").arg(address);
    for (std::uint16_t w : words)
      line += QStringLiteral(" %1").arg(w);
    return Command(line);
  }
  // Waits until a printed line starts with prefix (ever).
  bool WaitForLine(const QString &prefix, int timeoutMs = 5000)
  {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
      for (const QString &line : m_lines)
        if (line.startsWith(prefix))
          return true;
      if (deadline.hasExpired() || m_slave.state() == QProcess::NotRunning)
        return false;
      ReadSome(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)));
    }
  }

private:
  static QString Python() { return QStringLiteral("/usr/bin/python3"); }
  static bool Runs(const QString &program, const QStringList &arguments)
  {
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  }
  static void Stop(QProcess &p)
  {
    if (p.state() == QProcess::NotRunning)
      return;
    p.terminate();
    if (!p.waitForFinished(3000)) {
      p.kill();
      p.waitForFinished(3000);
    }
  }

  bool ReadSome(int timeoutMs)
  {
    if (m_slave.bytesAvailable() == 0 && !m_slave.waitForReadyRead(timeoutMs))
      return false;
    m_partial += QString::fromUtf8(m_slave.readAllStandardOutput());
    qsizetype end;
    while ((end = m_partial.indexOf(u'\n')) >= 0) {
      m_lines << m_partial.left(end).trimmed();
      m_partial.remove(0, end + 1);
    }
    return true;
  }

  bool Start(const QString &document, const QStringList &options)
  {
    if (!m_dir.isValid()) {
      m_error = QStringLiteral("no temporary folder");
      return false;
    }
    m_ours = m_dir.filePath(QStringLiteral("master"));
    const QString theirs = m_dir.filePath(QStringLiteral("slave"));
    // socat says on its error output when both ends exist and it relays.
    m_socat.setProcessChannelMode(QProcess::MergedChannels);
    m_socat.start(QStringLiteral("socat"),
                  {QStringLiteral("-d"), QStringLiteral("-d"), QStringLiteral("pty,raw,echo=0,link=") + m_ours,
                   QStringLiteral("pty,raw,echo=0,link=") + theirs});
    if (!m_socat.waitForStarted(5000)) {
      m_error = QStringLiteral("socat did not start");
      return false;
    }
    QByteArray said;
    QDeadlineTimer socatDeadline(10000);
    while (!said.contains("starting data transfer loop")) {
      if (socatDeadline.hasExpired() || !m_socat.waitForReadyRead(static_cast<int>(socatDeadline.remainingTime()))) {
        m_error = QStringLiteral("socat made no pseudo-terminal pair: ") + QString::fromLocal8Bit(said);
        return false;
      }
      said += m_socat.readAll();
    }

    m_slave.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_slave.start(Python(),
                  QStringList{QStringLiteral(VELOTRIX_E2E_DIR "/foreign_board.py"), theirs, document} + options);
    if (!m_slave.waitForStarted(5000)) {
      m_error = QStringLiteral("python3 did not start");
      return false;
    }
    // The server prints READY once its port is open.
    if (!WaitForLine(QStringLiteral("READY"), 20000)) {
      m_error = QStringLiteral("the pymodbus server did not open its port: ") + m_lines.join(u'|');
      return false;
    }
    return true;
  }

  QTemporaryDir m_dir;
  QProcess m_socat;
  QProcess m_slave;
  QString m_ours;
  QStringList m_lines;
  QString m_partial;
  int m_answered = 0; // lines already looked at for control answers
  bool m_started = false;
  QString m_error;
};
