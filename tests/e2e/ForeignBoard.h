#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

// foreign_board.py (the python3-pymodbus RTU server serving a description
// document) on one end of a socat pseudo-terminal pair; the supervisor opens
// the other end, Device().
class ForeignBoard {
public:
  // Why the foreign slave cannot run on this machine; empty when it can.
  static QString MissingTools();

  ForeignBoard(const QString &document, const QStringList &options = {});
  ~ForeignBoard();
  ForeignBoard(const ForeignBoard &) = delete;
  ForeignBoard &operator=(const ForeignBoard &) = delete;

  // False, with Error() saying why, when the pair or the server did not start.
  bool Started() const { return m_started; }
  QString Error() const { return m_error; }
  QString Device() const { return m_ours; }

  // Sends a control line and waits for its "OK"/"ERR" answer; true on "OK".
  bool Command(const QString &line, QString *answer = nullptr, int timeoutMs = 5000);
  // The slave's holding registers; empty when it did not answer.
  std::vector<std::uint16_t> Holding(int address, int count);
  bool SetHolding(int address, const std::vector<std::uint16_t> &words);
  // Waits until a printed line starts with prefix (ever).
  bool WaitForLine(const QString &prefix, int timeoutMs = 5000);
  QStringList Lines() const { return m_lines; }

private:
  bool ReadSome(int timeoutMs);
  bool Start(const QString &document, const QStringList &options);

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
