#include "platform/Format.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

using vtx::Format;

namespace {

// Runs the body under a decimal-comma locale, as on an Italian desktop.
class DecimalCommaLocale : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "it_IT.UTF-8") && !std::setlocale(LC_ALL, "de_DE.UTF-8"))
      GTEST_SKIP() << "no decimal-comma locale installed (scripts/install-deps.sh makes one)";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    ASSERT_STREQ(buf, "1,5") << "locale did not switch the decimal point";
  }
  void TearDown() override { std::setlocale(LC_ALL, m_saved.c_str()); }

private:
  std::string m_saved;
};

} // namespace

TEST_F(DecimalCommaLocale, FormattingAndParsingKeepThePoint)
{
  EXPECT_EQ(Format(u"%.2f", 1.5), "1.50");
  EXPECT_EQ(Format(u"%g", 0.25), "0.25");
  EXPECT_EQ(Format(u"Write %s = %g", QStringLiteral("speed"), 1234.5), "Write speed = 1234.5");
  EXPECT_DOUBLE_EQ(vtx::AtofLike(u"2.75"), 2.75);
  double d = 0;
  EXPECT_TRUE(vtx::ParseDouble(u"3.5", &d));
  EXPECT_DOUBLE_EQ(d, 3.5);
  EXPECT_FALSE(vtx::ParseDouble(u"3,5", &d));
}

TEST(Format, IntegerDirectives)
{
  EXPECT_EQ(Format(u"%d_%d", 12, 3), "12_3");
  EXPECT_EQ(Format(u"%4d|%-4d|%04d", 7, 7, 7), "   7|7   |0007");
  EXPECT_EQ(Format(u"%08Xhex", 0x3F800000u), "3F800000hex");
  EXPECT_EQ(Format(u"%x %u", -1, -2), "ffffffff 4294967294");
  EXPECT_EQ(Format(u"%llx", -1LL), "ffffffffffffffff");
  EXPECT_EQ(Format(u"%hx", -1), "ffff");
  EXPECT_EQ(Format(u"%hd", 70000), "4464");
  EXPECT_EQ(Format(u"%ld %lu %I64d", 5L, 6UL, 7LL), "5 6 7");
  EXPECT_EQ(Format(u"%02d", 5), "05");
  EXPECT_EQ(Format(u"%s%02d", QStringLiteral("ParWidth"), 10), "ParWidth10");
}

TEST(Format, MismatchedAndMissingArgumentsAreConvertedNotUndefined)
{
  EXPECT_EQ(Format(u"%d", 2.9), "2");
  EXPECT_EQ(Format(u"%g", 3), "3");
  EXPECT_EQ(Format(u"%d", std::numeric_limits<double>::quiet_NaN()), "0");
  EXPECT_EQ(Format(u"%s", 42), "42");
  EXPECT_EQ(Format(u"%d and %s"), "0 and ");
  EXPECT_EQ(Format(u"100%% done"), "100% done");
  EXPECT_EQ(Format(u"%"), "%");
  EXPECT_EQ(Format(u"%y", 1), "%y");
}

TEST(Format, TextAndCharacters)
{
  EXPECT_EQ(Format(u"[%5s][%-5s][%.2s]", "ab", "ab", "abcdef"), "[   ab][ab   ][ab]");
  EXPECT_EQ(Format(u"%c%c", 'O', QChar(u'K')), "OK");
  EXPECT_EQ(Format(u"%s", QString::fromUtf8("\xe2\x82\xac")), QString::fromUtf8("\xe2\x82\xac"));
  EXPECT_EQ(Format(u"%*d|%.*f", 5, 42, 1, 2.25), "   42|2.2");
}

TEST(Format, HugeValuesDoNotTruncate)
{
  const QString s = Format(u"%.0f", 1e300);
  EXPECT_EQ(s.size(), 301);
  EXPECT_TRUE(s.startsWith(u"1000000000"));
}

TEST(Format, OverlongWidthsAndPrecisionsAreCappedNotOverflowed)
{
  EXPECT_EQ(Format(u"%99999999999d", 1).size(), 4096);
  EXPECT_EQ(Format(u"%.99999999999f", 1.0).size(), 4098);
  EXPECT_EQ(Format(u"%*d|", std::numeric_limits<int>::min(), 1).size(), 4097);
  EXPECT_EQ(Format(u"%*d|", std::numeric_limits<long long>::min(), 1).size(), 4097);
  EXPECT_EQ(Format(u"%*d", 1LL << 40, 1).size(), 4096);
  EXPECT_EQ(Format(u"%.*f", -3, 0.5), "0.500000") << "a negative precision counts as none";
  EXPECT_EQ(Format(u"%-*d|", 3, 1), "1  |");
  EXPECT_EQ(Format(u"%*d|", -3, 1), "1  |");
}

TEST(AtoiLike, ReadsTheLeadingNumberOnly)
{
  EXPECT_EQ(vtx::AtoiLike(u"12x"), 12);
  EXPECT_EQ(vtx::AtoiLike(u"abc"), 0);
  EXPECT_EQ(vtx::AtoiLike(u""), 0);
  EXPECT_EQ(vtx::AtoiLike(u"  \t-42 7"), -42);
  EXPECT_EQ(vtx::AtoiLike(u"+19200"), 19200);
  EXPECT_EQ(vtx::AtoiLike(u"- 5"), 0);
  EXPECT_EQ(vtx::AtoiLike(u"99999999999999999999"), std::numeric_limits<int>::max());
  EXPECT_EQ(vtx::AtoiLike(u"-99999999999999999999"), std::numeric_limits<int>::min());
}

TEST(AtofLike, ReadsTheLongestLeadingNumber)
{
  EXPECT_DOUBLE_EQ(vtx::AtofLike(u" 1.5e2xyz"), 150.0);
  EXPECT_DOUBLE_EQ(vtx::AtofLike(u"abc"), 0.0);
  EXPECT_DOUBLE_EQ(vtx::AtofLike(u"-0.125"), -0.125);
  EXPECT_DOUBLE_EQ(vtx::AtofLike(QString::fromUtf8("3\xc3\xa9")), 3.0);
}

TEST(StrictParsing, WholeTextMustBeOneNumberInRange)
{
  int i = -1;
  EXPECT_TRUE(vtx::ParseInt(u" 42 ", &i));
  EXPECT_EQ(i, 42);
  EXPECT_TRUE(vtx::ParseInt(u"+7", &i));
  EXPECT_EQ(i, 7);
  i = 99;
  for (const char16_t *bad : {u"", u"  ", u"12x", u"1 2", u"0x10", u"+-1", u"2147483648", u"1.0", u"\u0663"})
    EXPECT_FALSE(vtx::ParseInt(bad, &i)) << QString::fromUtf16(bad).toStdString();
  EXPECT_EQ(i, 99) << "a failed parse leaves the output alone";
  EXPECT_TRUE(vtx::ParseInt(u"-2147483648", &i));
  EXPECT_EQ(i, std::numeric_limits<int>::min());

  double d = -1;
  EXPECT_TRUE(vtx::ParseDouble(u"1e3", &d));
  EXPECT_DOUBLE_EQ(d, 1000.0);
  EXPECT_TRUE(vtx::ParseDouble(u".5", &d));
  EXPECT_DOUBLE_EQ(d, 0.5);
  d = 7;
  for (const char16_t *bad : {u"", u"1.2.3", u"nan", u"inf", u"1e999", u"1,5", u"--1", u"0x1p3"})
    EXPECT_FALSE(vtx::ParseDouble(bad, &d)) << QString::fromUtf16(bad).toStdString();
  EXPECT_EQ(d, 7);
}
