#pragma once

#include <QString>

#include <cstdint>

// The sixteen bits of a word, most significant first, in four groups of four
// joined by '.': 0x8001 gives "1000.0000.0000.0001".
QString FormatBinary16(std::uint16_t word);

// Reads a bit text as FormatBinary16 writes it. 0 when valid (the word is
// stored); otherwise the 1-based position of the first wrong character and
// the word is left alone. Characters after the sixteenth bit are ignored.
std::int16_t ParseBinary16(const QString &text, std::uint16_t *word);
