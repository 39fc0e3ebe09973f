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
