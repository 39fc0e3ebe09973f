#pragma once

#include <QString>

#include <cstdint>

// One row of the variable list, kept by the document. Rows 0 to 5 are the
// watch rows saved with the document; the poll answers fill the values.
struct VarRowRecord {
  std::int16_t index = 0;      // variable index; -1 names no variable
  float raw = 0;               // last raw value
  double value = 0;            // last value
  std::uint8_t pollMark = 0;   // set by the poll request builder
  std::uint8_t hasValue = 0;   // the poll answer sets it, the list clears it
  std::uint8_t refresh = 0;    // counts answers modulo 10
  QString uiText;              // internal-unit text (up to 20 characters)
  QString siText;              // SI text (up to 20 characters)
};
