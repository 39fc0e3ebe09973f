#pragma once

#include <QString>

#include <cstdint>

// The sixteen bits of a word, most significant first, in four groups of four
// joined by '.': 0x8001 gives "1000.0000.0000.0001".
QString FormatBinary16(std::uint16_t word);
