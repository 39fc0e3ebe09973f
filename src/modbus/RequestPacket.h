#pragma once

#include "platform/WindowId.h"

#include <QString>

#include <cstdint>
#include <vector>

// Request kinds (`CRequestPacket::message`).
enum : uint16_t {
  REQ_DESCRIPTION = 0,       // description text in `language`; answered as ANS_DESCRIPTION
  ANS_DESCRIPTION = 2,       // answer only: the description text in `strVersion`
  REQ_WRITE_ONE = 6,         // one holding register
  REQ_READ_ONE = 7,          // one holding register
  REQ_READ_BLOCK = 8,        // `num_par` holding registers from `first_par`
  REQ_WRITE_BLOCK = 9,       // `num_par` holding registers from `wData`
  REQ_K_TABLE = 10,          // K table (and N table with KTableMode::WithN)
  REQ_READ_VARS = 12,        // `num_var` input registers from `first_var`
  REQ_GO_ONLINE = 13,        // identity and language list
  ANS_READ_TRACE = 19,       // answer only: the trace buffer
  REQ_READ_TRACE = 20,       // trace buffer; answered as ANS_READ_TRACE
  REQ_IDLE = 23,             // no wire exchange: releases an unused port
  REQ_STATISTICS = 24,       // no wire exchange: `stat_record` filled
  REQ_RESET_STATISTICS = 25, // no wire exchange
  REQ_GO_OFFLINE = 26,       // no wire exchange
};

// Link statistics, copied into a statistics answer by value.
struct CSerStatistics {
  double totalErrors = 0;      // failed exchanges, each attempt counted
  double correctComms = 0;     // exchanges answered correctly
  double meanAnswerTimeMs = 0; // over the correct exchanges
  double timeouts = 0;
  double crcErrors = 0;
  double exceptions = 0;
  double retries = 0;
};

// What a K-table request reads.
namespace KTableMode {
enum : uint8_t { KOnly = 1, WithN = 2 };
}

// One request to a board and, once the serial manager hands it back, its
// answer. Allocated by the requester with new; queuing passes ownership to
// the manager (`AddRequest` nulls the caller's pointer); whoever takes the
// answer deletes it. Copyable as a whole record.
struct CRequestPacket {
  explicit CRequestPacket(WindowId wnd = kNoWindow) : hWnd(wnd) {}
  CRequestPacket(WindowId wnd, uint8_t slaveAddress) : hWnd(wnd), slave(slaveAddress) {}
  CRequestPacket(WindowId wnd, uint8_t slaveAddress, uint16_t kind) : hWnd(wnd), slave(slaveAddress), message(kind) {}

  WindowId hWnd = kNoWindow; // answer window
  uint8_t slave = 0;         // Modbus slave address, 1..247 for board requests
  uint16_t message = 0;      // request kind (REQ_*), answer kind once answered
  uint16_t error = 0;        // 0 = success; kSerErr* codes of SerCodes.h

  struct {
    struct {
      uint16_t first_par = 0; // first holding register, below 10000
      uint16_t num_par = 0;   // registers from first_par
      uint16_t step = 0;      // block number within a read all / write all
      uint8_t mark = 0;       // 0 or 1: reopen the in-place editor on the answer
      uint8_t refresh = 0;    // 0 or 1: a refresh read, which keeps values changed offline
      // 0 or 1: a single write whose words the document keeps once the board
      // confirms it, so that a lost read-back does not leave the old value.
      uint8_t keep_written = 0;
    } par;
    struct {
      uint16_t first_var = 0; // first input register; 9900 = status block
      uint16_t num_var = 0;
    } var;
  } PktType;

  uint8_t k_mode = 0;    // K-table request: KTableMode
  uint16_t language = 0; // description request: language index

  uint16_t trace_width_reg = 0;  // trace request: input register of "buf_width"
  uint16_t trace_length_reg = 0; // trace request: input register of "buf_length"
  uint16_t trace_tracks = 0;     // trace answer: tracks
  uint16_t trace_samples = 0;    // trace answer: samples per track

  uint8_t stat_mode = 0;      // statistics request: 10
  CSerStatistics stat_record; // statistics answer

  std::vector<uint16_t> wData;    // registers to write
  std::vector<uint16_t> wAnsData; // registers received; trace: sample-major
  std::vector<float> fAnsNTable;  // K-table answer with k_mode 2: N entries
  QString strVersion;             // identity (go online), description text, or error text
  QString strLanguages;           // go-online answer: language codes separated by ';'

  int16_t num_k = 0; // K-table request: entries of the document's N table
  int32_t track = 0; // 0 or 1: the answered value goes into the undo list
};

// Register packing: a 32-bit value spans two registers, low 16 bits in the
// lower register. Values out of range saturate; NaN packs as 0.
uint16_t ShortWord(double value); // 16-bit register, truncated toward zero
uint16_t LongLowWord(double value);
uint16_t LongHighWord(double value);
uint16_t FloatLowWord(double value);
uint16_t FloatHighWord(double value);
double WordsToLong(uint16_t high, uint16_t low);
float WordsToFloat(uint16_t high, uint16_t low);
