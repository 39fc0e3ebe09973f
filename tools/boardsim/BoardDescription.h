#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the simulated board serves from a board description document (.vtx),
// read through the document model as the supervisor reads it: identity,
// slave address, tables, item addresses, storage types and values, and the
// status-block layout. Texts are Windows-1252 bytes, as on the wire.
struct BoardItem {
  int index = 0;
  std::string name;
  int storage = 0; // 0 = 16-bit, 1 = 32-bit, 2 = float
  int address = 0;
  double value = 0; // parameters: board integer, or the float itself
};

struct BoardDescription {
  std::string text;      // the document after its header line, bytes as stored
  std::string version;   // the "Version" line's text
  std::string languages; // language codes of the dictionary lines, each followed by ';'
  int slave = 1;
  std::vector<int16_t> kTable;
  std::vector<float> nTable;
  std::vector<BoardItem> parameters;
  std::vector<BoardItem> variables; // position = item index
  std::vector<size_t> stdVariables; // the status block: indexes into variables, in order

  const BoardItem *FindVariable(const std::string &name) const;
  const BoardItem *FindParameter(const std::string &name) const;
  // The command parameter: the first 16-bit parameter.
  const BoardItem *CommandParameter() const;
};

// False with a reason when the file cannot be read or is not a description.
// Needs a QCoreApplication; the document model reports its own findings
// through the Prompter.
bool LoadBoardDescription(const std::string &path, BoardDescription *out, std::string *error);
