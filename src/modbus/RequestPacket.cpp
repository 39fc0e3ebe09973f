#include "RequestPacket.h"

#include <bit>
#include <cmath>
#include <limits>

namespace {

// Truncates toward zero into [lo, hi]; a plain cast of an out-of-range double
// would be undefined.
long long TruncateClamp(double value, long long lo, long long hi)
{
  if (std::isnan(value))
    return 0;
  if (value <= static_cast<double>(lo))
    return lo;
  if (value >= static_cast<double>(hi))
    return hi;
  return static_cast<long long>(std::trunc(value));
}

uint32_t LongBits(double value)
{
  return static_cast<uint32_t>(static_cast<int32_t>(
      TruncateClamp(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())));
}

uint32_t FloatBits(double value)
{
  constexpr double kMax = std::numeric_limits<float>::max();
  float f = 0.0f;
  if (std::isnan(value))
    f = 0.0f;
  else if (value > kMax)
    f = std::numeric_limits<float>::max();
  else if (value < -kMax)
    f = std::numeric_limits<float>::lowest();
  else
    f = static_cast<float>(value);
  return std::bit_cast<uint32_t>(f);
}

} // namespace

// Signed and unsigned 16-bit values both keep their bit pattern.
uint16_t ShortWord(double value)
{
  return static_cast<uint16_t>(TruncateClamp(value, -32768, 65535));
}

uint16_t LongLowWord(double value)
{
  return static_cast<uint16_t>(LongBits(value) & 0xFFFFu);
}

uint16_t LongHighWord(double value)
{
  return static_cast<uint16_t>(LongBits(value) >> 16);
}

uint16_t FloatLowWord(double value)
{
  return static_cast<uint16_t>(FloatBits(value) & 0xFFFFu);
}

uint16_t FloatHighWord(double value)
{
  return static_cast<uint16_t>(FloatBits(value) >> 16);
}

double WordsToLong(uint16_t high, uint16_t low)
{
  return static_cast<double>(static_cast<int32_t>((static_cast<uint32_t>(high) << 16) | low));
}

float WordsToFloat(uint16_t high, uint16_t low)
{
  return std::bit_cast<float>((static_cast<uint32_t>(high) << 16) | low);
}
