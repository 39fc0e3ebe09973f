#include "modbus/RequestPacket.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(RegisterPacking, ThirtyTwoBitValuesSplitLowWordFirstAndJoinBack)
{
  EXPECT_EQ(LongLowWord(1065353216.0), 0x0000);
  EXPECT_EQ(LongHighWord(1065353216.0), 0x3F80);
  EXPECT_EQ(WordsToLong(0x3F80, 0x0000), 1065353216.0);
  EXPECT_EQ(LongLowWord(-2.0), 0xFFFE);
  EXPECT_EQ(LongHighWord(-2.0), 0xFFFF);
  EXPECT_EQ(WordsToLong(0xFFFF, 0xFFFE), -2.0);
  // Truncated toward zero, not rounded.
  EXPECT_EQ(LongLowWord(7.9), 7);
  EXPECT_EQ(LongLowWord(-7.9), static_cast<uint16_t>(-7));
}

TEST(RegisterPacking, FloatsTravelAsTheirBitPattern)
{
  EXPECT_EQ(FloatLowWord(1.0), 0x0000);
  EXPECT_EQ(FloatHighWord(1.0), 0x3F80);
  EXPECT_EQ(WordsToFloat(0x3F80, 0x0000), 1.0f);
  const double v = -12.375;
  EXPECT_EQ(WordsToFloat(FloatHighWord(v), FloatLowWord(v)), -12.375f);
}

TEST(RegisterPacking, OutOfRangeValuesSaturateInsteadOfWrapping)
{
  EXPECT_EQ(WordsToLong(LongHighWord(1e12), LongLowWord(1e12)), 2147483647.0);
  EXPECT_EQ(WordsToLong(LongHighWord(-1e12), LongLowWord(-1e12)), -2147483648.0);
  EXPECT_EQ(WordsToLong(LongHighWord(NAN), LongLowWord(NAN)), 0.0);
  EXPECT_EQ(WordsToFloat(FloatHighWord(1e300), FloatLowWord(1e300)), std::numeric_limits<float>::max());
  EXPECT_EQ(WordsToFloat(FloatHighWord(-1e300), FloatLowWord(-1e300)), std::numeric_limits<float>::lowest());
  EXPECT_EQ(ShortWord(-1.0), 0xFFFF);
  EXPECT_EQ(ShortWord(40000.7), 40000);
  EXPECT_EQ(ShortWord(1e9), 0xFFFF);
  EXPECT_EQ(ShortWord(-1e9), 0x8000);
}

TEST(RequestPacket, ConstructorsLeaveEverythingElseEmptyAndCopiesAreWhole)
{
  CRequestPacket p(7, 12, REQ_READ_BLOCK);
  EXPECT_EQ(p.hWnd, 7u);
  EXPECT_EQ(p.slave, 12);
  EXPECT_EQ(p.message, REQ_READ_BLOCK);
  EXPECT_EQ(p.error, 0);
  EXPECT_EQ(p.PktType.par.num_par, 0);
  EXPECT_TRUE(p.wData.empty());
  EXPECT_EQ(p.track, 0);
  p.wAnsData = {1, 2, 3};
  p.strVersion = QStringLiteral("x");
  p.stat_record.correctComms = 5;
  CRequestPacket copy;
  copy = p;
  EXPECT_EQ(copy.wAnsData, p.wAnsData);
  EXPECT_EQ(copy.strVersion, p.strVersion);
  EXPECT_EQ(copy.stat_record.correctComms, 5);
}
