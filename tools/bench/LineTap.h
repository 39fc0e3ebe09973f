#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

// One serial line for benchmarks: a pseudo-terminal the supervisor opens,
// joined to one or more simulated boards (each on its own pseudo-terminal)
// as a multi-drop line would be: each request goes to the board with its
// slave address, each answer back. Counts the bytes of both directions so
// a benchmark can reckon the time the same traffic needs on a real wire.
class LineTap {
public:
  LineTap() = default;
  ~LineTap();
  LineTap(const LineTap &) = delete;
  LineTap &operator=(const LineTap &) = delete;

  // Joins the board at device as slave address slave; before Start.
  bool AddBoard(int slave, const QString &device);
  // Makes the supervisor's pseudo-terminal and starts relaying.
  bool Start();
  QString Device() const { return m_device; }

  struct Counts {
    long requests = 0;
    long requestBytes = 0;
    long answerBytes = 0;
  };
  Counts Total() const;
  // Requests relayed to one slave.
  long RequestsTo(int slave) const;
  // Reads of the status block (input registers from 9900) sent to one slave.
  long StatusPollsTo(int slave) const;
  // Traffic of one function code; answers count for the request before them.
  Counts OfFunction(int function) const;

private:
  void Run();
  void Route(std::vector<unsigned char> &pending);

  int m_master = -1;
  int m_slaveSide = -1; // kept open so the supervisor's close is no hang-up
  int m_wake[2] = {-1, -1};
  QString m_device;
  std::map<int, int> m_boards; // slave address -> descriptor
  std::atomic<long> m_requests{0};
  std::atomic<long> m_requestBytes{0};
  std::atomic<long> m_answerBytes{0};
  std::atomic<long> m_perSlave[248] = {};
  std::atomic<long> m_statusPolls[248] = {};
  std::atomic<long> m_fnRequests[256] = {};
  std::atomic<long> m_fnRequestBytes[256] = {};
  std::atomic<long> m_fnAnswerBytes[256] = {};
  std::atomic<int> m_lastFunction{0};
  std::thread m_thread;
};
