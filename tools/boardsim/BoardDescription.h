#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The few fields of a board description document (.vtx) that the simulated
// board serves: identity, slave address, tables, item addresses, storage
// types and values, and the status-block layout. A small reader of its own;
// it only needs documents as the supervisor writes them.
struct BoardItem {
  int index = 0;
  std::string name;
  int storage = 0; // 0 = 16-bit, 1 = 32-bit, 2 = float
  int block = 0;
  int position = 0;
  int address = 0;
  double value = 0; // parameters: board integer, or the float itself
};

struct BoardDescription {
  std::string text;      // the document after its header line, bytes as stored
  std::string version;   // "Version" line without leading blanks and trailing ';'
  std::string languages; // language codes of the dictionary lines, each followed by ';'
  int slave = 1;
  std::vector<int16_t> kTable;
  std::vector<float> nTable;
  std::vector<BoardItem> parameters;
  std::vector<BoardItem> variables;
  std::vector<std::string> stdVariables; // "StdVariables#%d" of the standard dictionary, in order

  const BoardItem *FindVariable(const std::string &name) const;
  const BoardItem *FindParameter(const std::string &name) const;
  // The command parameter: the first 16-bit parameter.
  const BoardItem *CommandParameter() const;
};

// False with a reason when the file cannot be read or is not a description.
bool LoadBoardDescription(const std::string &path, BoardDescription *out, std::string *error);
