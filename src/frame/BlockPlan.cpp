#include "frame/BlockPlan.h"

#include <algorithm>

namespace blockplan {

std::vector<Run> ReadAllRuns(std::span<const Cell> cells)
{
  const int registers = static_cast<int>(cells.size());
  std::vector<Run> runs;
  for (int start = 0; start < registers; ++start) {
    if (cells[start] == Cell::Empty)
      continue;
    int end = std::min(start + kMaxBlock - 1, registers - 1);
    for (;;) {
      while (end > start && cells[end] == Cell::Empty)
        --end;
      // A short, or the second register of a pair: the block ends whole.
      if (cells[end] != Cell::Pair)
        break;
      // A pair is read whole from one answer: take its second register, or
      // leave the pair to the next block.
      if (end + 1 - start + 1 <= kMaxBlock && end + 1 < registers) {
        ++end;
        break;
      }
      if (end == start)
        break;
      --end;
    }
    runs.push_back({start, end - start + 1});
    start = end;
  }
  return runs;
}

std::vector<Run> WriteAllRuns(std::span<const Cell> cells, int commandAddress)
{
  const int registers = static_cast<int>(cells.size());
  std::vector<Run> runs;
  Run run;
  bool open = false;
  auto close = [&] {
    runs.push_back(run);
    open = false;
  };
  for (int address = 0; address < registers; ++address) {
    // par0 keeps the last command sent, which no write all may send again.
    // A pair whose second register is par0's is left out whole.
    const bool onCommand = address == commandAddress || (cells[address] == Cell::Pair && address + 1 == commandAddress);
    const Cell cell = onCommand ? Cell::Empty : cells[address];
    const bool pair = cell == Cell::Pair;
    if (cell == Cell::Short || pair) {
      if (open && pair && run.count + 2 > kMaxBlock)
        close();
      if (!open) {
        run = {address, 0};
        open = true;
      }
      run.count += pair ? 2 : 1;
      if (pair)
        ++address;
    }
    // A tail here has lost its start to another parameter: a block written
    // across it would put every later word one register too early.
    if (open && (pair || cell == Cell::Empty || cell == Cell::Tail || run.count >= kMaxBlock))
      close();
  }
  if (open)
    close();
  return runs;
}

std::vector<Run> PollRuns(std::vector<Run> items, int registers)
{
  std::erase_if(items, [registers](const Run &r) { return r.first + r.count > registers; });
  std::sort(items.begin(), items.end(), [](const Run &a, const Run &b) { return a.first < b.first; });
  std::vector<Run> runs;
  int first = -1;
  int last = -1;
  for (const Run &item : items) {
    const int itemLast = item.first + item.count - 1;
    if (first >= 0 && itemLast - first + 1 <= kMaxBlock) {
      last = std::max(last, itemLast);
      continue;
    }
    if (first >= 0)
      runs.push_back({first, last - first + 1});
    first = item.first;
    last = itemLast;
  }
  if (first >= 0)
    runs.push_back({first, last - first + 1});
  return runs;
}

} // namespace blockplan
