#include "Cp1252.h"

#include <array>

namespace {

// 0x80..0x9F; the five holes of the code page map to the C1 controls of the
// same value so that every byte round-trips.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

namespace Cp1252 {

QChar DecodeChar(unsigned char byte)
{
  if (byte >= 0x80 && byte < 0xA0)
    return QChar(kHigh[byte - 0x80]);
  return QChar(static_cast<char16_t>(byte));
}

char EncodeChar(QChar ch, bool *ok)
{
  const char16_t u = ch.unicode();
  if (ok)
    *ok = true;
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
    return static_cast<char>(u);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == u)
      return static_cast<char>(0x80 + i);
  }
  if (ok)
    *ok = false;
  return '?';
}

QString Decode(const char *data, qsizetype size)
{
  QString out;
  out.resize(size);
  QChar *dst = out.data();
  for (qsizetype i = 0; i < size; ++i)
    dst[i] = DecodeChar(static_cast<unsigned char>(data[i]));
  return out;
}

QString Decode(const QByteArray &bytes)
{
  return Decode(bytes.constData(), bytes.size());
}

QByteArray Encode(const QString &text)
{
  QByteArray out;
  out.resize(text.size());
  char *dst = out.data();
  for (qsizetype i = 0; i < text.size(); ++i)
    dst[i] = EncodeChar(text.at(i));
  return out;
}

} // namespace Cp1252
