#pragma once

#include "BoardDescription.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

// A simulated board: the register map of a description document, living
// variables, a trace buffer, and switchable faults. Transport-free: it turns
// one request frame into the reply frame (if any) and a delay.
class BoardSim {
public:
  enum class FaultKind { Delay, NoReply, BadCrc, Exception, Short, BadEcho };
  struct Fault {
    FaultKind kind;
    int count;    // requests it still applies to; negative = until cleared
    int argument; // delay in ms, or exception code
  };
  struct Reply {
    std::vector<uint8_t> frame; // empty: no reply
    int delayMs = 0;            // before the frame goes out
  };

  explicit BoardSim(BoardDescription description);

  // Handles one request ADU (slave, PDU, CRC already checked) for this slave.
  Reply Handle(const uint8_t *adu, int length);
  // Moves the variables on; call often.
  void Tick();

  // Control commands, one line each; returns the reply line ("OK ..." or "ERR ...").
  // "requests" answers "OK requests N", the requests received so far.
  std::string Control(const std::string &line);

  int Slave() const { return m_desc.slave; }
  void SetSlave(int slave) { m_desc.slave = slave; }
  const BoardDescription &Description() const { return m_desc; }
  // Lines to print (command-parameter writes), taken once.
  std::vector<std::string> TakeLog();

  static uint16_t Crc16(const uint8_t *data, size_t length);

private:
  std::vector<uint8_t> Pdu(const uint8_t *pdu, int length);
  std::vector<uint8_t> Exception(uint8_t function, uint8_t code) const;
  std::vector<uint8_t> Transfer(const uint16_t *request, int readCount, uint8_t function);
  void Snapshot();
  void SetVariable(const BoardItem &item, double value);
  void WriteHolding(int address, uint16_t value);
  void Store(uint16_t *regs, const BoardItem &item, double value);
  void UpdateStatusBlock();
  std::vector<uint16_t> TextWords(const std::string &text) const;

  BoardDescription m_desc;
  std::vector<uint16_t> m_holding;        // 10000 registers; gaps read 0
  std::vector<uint16_t> m_input;          // 10000 registers
  std::map<std::string, double> m_pinned; // variables set by hand
  std::deque<Fault> m_faults;
  std::vector<uint16_t> m_trace; // snapshot taken by page 0
  std::vector<std::string> m_log;
  std::chrono::steady_clock::time_point m_start;
  bool m_shortNext = false;
  long m_received = 0; // requests for this slave, answered or not
};
