#pragma once

#include <cstdint>

// The register map the supervisor and the boards share (docs/board-protocol.md).
namespace BoardProtocol {

// Parameters are holding registers and variables input registers below this.
constexpr uint16_t kRegisterLimit = 10000;
// The board's status block (input registers).
constexpr uint16_t kStatusBlock = 9900;

// Transfer area, reached only with function 23 (read/write multiple
// registers): the request words go to kTransferWrite, the answer page is read
// from kTransferRead in the same exchange.
constexpr uint16_t kTransferWrite = 10000;
constexpr uint16_t kTransferWriteCount = 3; // command, page, argument
constexpr uint16_t kTransferRead = 10100;
constexpr uint16_t kPageHeader = 5; // command, page, total low, total high, words in page
constexpr uint16_t kPageWords = 120;
constexpr uint16_t kTransferReadCount = kPageHeader + kPageWords; // 125, the FC 23 maximum

// Transfer commands (first word written).
enum Command : uint16_t {
  kCmdIdentity = 1,    // text: firmware version / identity
  kCmdLanguages = 2,   // text: language codes, each followed by ';'
  kCmdDescription = 3, // text: the description document; argument = language index
  kCmdKTable = 4,      // words: K entries, signed 16-bit; total = entries
  kCmdNTable = 5,      // words: N entries as floats, two words each, low word first; total = words
  kCmdTrace = 6,       // words: trace buffer, sample-major; total = words; page 0 freezes a snapshot
};

// Texts travel as Windows-1252 bytes, two per register, the first byte in the
// high half; the total counts bytes.

// Largest answers the supervisor accepts.
constexpr uint32_t kMaxTextBytes = 4u * 1024u * 1024u;
constexpr uint32_t kMaxTableEntries = 1000;
constexpr uint32_t kMaxTraceTracks = 6;
constexpr uint32_t kMaxTraceSamples = 32000;

} // namespace BoardProtocol
