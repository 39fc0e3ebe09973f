#pragma once

#include "modbus/RequestPacket.h"
#include "modbus/SerManager.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// tools/boardsim run as a child process on its own pseudo-terminal, driven
// through its control lines.
class BoardSimProcess {
public:
  explicit BoardSimProcess(const QStringList &arguments = {});
  ~BoardSimProcess();

  bool Started() const { return !m_device.isEmpty(); }
  QString Device() const { return m_device; }
  // Sends a control line and waits for its "OK"/"ERR" answer; true on "OK".
  bool Command(const QString &line, QString *answer = nullptr);
  // Waits until a line starting with prefix has been printed (ever).
  bool WaitForLine(const QString &prefix, int timeoutMs = 2000);
  // The lines printed so far, as read by the waits and commands above.
  QStringList Lines() const { return m_lines; }
  bool WaitForExit(int timeoutMs = 3000);
  // Ends boardsim's standard input: no control line reaches it any more, and
  // the destructor kills it, as it cannot be told to quit.
  void CloseInput();
  qint64 ProcessId() const { return m_process.processId(); }
  // The requests for the board's slave address received so far; -1 when it
  // does not answer.
  long Requests();

private:
  bool ReadSome(int timeoutMs);

  QProcess m_process;
  QStringList m_lines;
  QString m_partial;
  QString m_device;
  bool m_inputClosed = false;
};

// A serial manager with a running worker and a record of its notifications.
class ManagerFixture {
public:
  explicit ManagerFixture(const QString &device, int timeoutMs = 200, int retries = 2, int silentMs = 0,
                          int speed = 115200);
  ~ManagerFixture();

  CSerManager &Manager() { return *m_manager; }
  // Queues at the tail and waits for the next answer.
  std::unique_ptr<CRequestPacket> Exchange(CRequestPacket *pkt, int timeoutMs = 5000);
  std::unique_ptr<CRequestPacket> WaitAnswer(int timeoutMs = 5000);
  // Exchange's answer as a copy; when none comes, a test failure and an answer
  // with error 0xFFFF and no data.
  CRequestPacket Ask(CRequestPacket *pkt, int timeoutMs = 5000);
  std::vector<std::pair<unsigned, long>> Notes();
  void Destroy() { m_manager.reset(); }

private:
  std::unique_ptr<CSerManager> m_manager;
  std::mutex m_lock;
  std::vector<std::pair<unsigned, long>> m_notes;
};

// A board request with the usual fields.
CRequestPacket *MakeRead(uint16_t kind, uint16_t first, uint16_t count, uint8_t slave = 1);
// A register write (REQ_WRITE_ONE or REQ_WRITE_BLOCK) of words from first.
CRequestPacket *MakeWrite(uint16_t kind, uint16_t first, const std::vector<uint16_t> &words, uint8_t slave = 1);
