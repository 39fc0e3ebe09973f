#include "FormatBinary16.h"

QString FormatBinary16(std::uint16_t word)
{
  QString text;
  text.reserve(19);
  for (int bit = 15; bit >= 0; --bit) {
    text += (word >> bit) & 1 ? u'1' : u'0';
    if (bit % 4 == 0 && bit > 0)
      text += u'.';
  }
  return text;
}

std::int16_t ParseBinary16(const QString &text, std::uint16_t *word)
{
  std::uint16_t result = 0;
  std::uint16_t mask = 0x8000;
  int pos = 0;
  for (int group = 0; group < 4; ++group) {
    for (int bit = 0; bit < 4; ++bit, ++pos, mask >>= 1) {
      const QChar c = pos < text.size() ? text.at(pos) : QChar();
      if (c == u'1')
        result |= mask;
      else if (c != u'0')
        return static_cast<std::int16_t>(pos + 1);
    }
    if (mask == 0)
      break;
    if (pos >= text.size() || text.at(pos) != u'.')
      return static_cast<std::int16_t>(pos + 1);
    ++pos;
  }
  if (word)
    *word = result;
  return 0;
}
