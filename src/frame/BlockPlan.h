#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Where the blocks of a read all, a write all and a poll begin and how long
// they are; the connection turns each run into one packet, in order.
namespace blockplan {

// Registers one block may carry.
constexpr int kMaxBlock = 120;

// What one register of the parameter map holds.
enum class Cell : std::uint8_t {
  Empty, // no parameter
  Short, // a 16-bit parameter
  Pair,  // the first register of a 32-bit or float parameter
  Tail,  // a register of a parameter that starts elsewhere
};

struct Run {
  int first = 0;
  int count = 0;
  bool operator==(const Run &) const = default;
};

// Windows of up to kMaxBlock registers from the first one in use; they span
// gaps and never split a pair. cells is indexed by address.
std::vector<Run> ReadAllRuns(std::span<const Cell> cells);

// Runs of parameters cut at gaps, after each pair, at kMaxBlock registers and
// at commandAddress (-1: none), which a write all leaves out with any pair
// reaching it. A tail register
// without its start is a gap too: the run's words fill its registers exactly.
std::vector<Run> WriteAllRuns(std::span<const Cell> cells, int commandAddress);

// The registers of the items (a first register and 1 or 2 of them) merged in
// address order into blocks of at most kMaxBlock; items reaching registers or
// beyond are left out.
std::vector<Run> PollRuns(std::vector<Run> items, int registers);

} // namespace blockplan
