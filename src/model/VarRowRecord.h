#pragma once

#include <QString>

#include <cstdint>

// One row of the variable list, kept by the document. Rows 0 to 5 are the
// watch rows saved with the document; the poll answers fill the values.
struct VarRowRecord {
  // The variable index as the document gives it, written back unchanged. One
  // that names no variable (see CQelDocContainer::IsVarRowValid) is shown
  // blank and left out of the poll.
  int index = 0;
  // Last raw value: the board's integer (exact for 32 bits, so bit fields
  // and the internal-unit text keep every bit), or a float variable's value.
  double raw = 0;
  double value = 0;          // last value
  std::uint8_t pollMark = 0; // set by the poll request builder
  std::uint8_t hasValue = 0; // the poll answer sets it, the list clears it
  std::uint8_t refresh = 0;  // counts answers modulo 10
  QString uiText;            // internal-unit text (up to 20 characters)
  QString siText;            // SI text (up to 20 characters)
};
