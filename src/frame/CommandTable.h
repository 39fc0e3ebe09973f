#pragma once

#include <span>

class CChildConn;
class CMainFrame;

// Every menu and toolbar command in one table, keyed by its number (also its
// string id and the name of its toolbar picture): where it runs, what it runs
// and when it is enabled and checked. A command missing here does nothing and
// is enabled.
namespace commands {

enum class Scope { Main, Board };

// What a rule reads: the main frame (for main-frame rows) and the board's
// connection (for board rows).
struct State {
  const CMainFrame *main = nullptr;
  const CChildConn *board = nullptr;
};

// What a handler works on, with the command's number for handlers that
// serve several.
struct Target {
  CMainFrame *main = nullptr;
  CChildConn *board = nullptr;
  int id = 0;
};

struct Row {
  int id;
  Scope scope;
  void (*run)(const Target &);
  bool (*enabled)(const State &); // null: always enabled
  bool (*checked)(const State &); // null: the command has no check mark
};

std::span<const Row> Table();
// Runs a board command on that board; false when id is not one.
bool RunBoardCommand(CChildConn &board, int id);
// The row of a command, or null.
const Row *Find(int id);
// The row's rule in that state; checked gets the check mark. A board row
// without a board is disabled; without a document only the commands that
// are always enabled are.
bool IsEnabled(const Row &row, const State &state, bool *checked = nullptr);

} // namespace commands
