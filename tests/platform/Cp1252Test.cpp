#include "platform/Cp1252.h"

#include <QSet>

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(Cp1252, EveryByteRoundTrips)
{
  QByteArray all;
  for (int b = 0; b < 256; ++b)
    all.append(static_cast<char>(b));
  const QString text = Cp1252::Decode(all);
  ASSERT_EQ(text.size(), 256);
  EXPECT_EQ(Cp1252::Encode(text), all);
  // Decoded characters are distinct, so nothing collapses on the way back.
  QSet<QChar> seen(text.begin(), text.end());
  EXPECT_EQ(seen.size(), 256);
}

TEST(Cp1252, WindowsCharactersMapToUnicode)
{
  EXPECT_EQ(Cp1252::Decode(QByteArray("\x80")), QString(QChar(0x20AC)));
  EXPECT_EQ(Cp1252::Decode(QByteArray("\xe8")), QString(QChar(0x00E8)));
  EXPECT_EQ(Cp1252::Decode(QByteArray("\x93x\x94")), QString::fromUtf8("\u201cx\u201d"));
  EXPECT_EQ(Cp1252::Encode(QString::fromUtf8("\u00b0C \u20ac")), QByteArray("\xb0"
                                                                            "C \x80"));
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
  bool ok = true;
  EXPECT_EQ(Cp1252::EncodeChar(QChar(0x4E2D), &ok), '?');
  EXPECT_FALSE(ok);
  EXPECT_EQ(Cp1252::Encode(QString::fromUtf8("a\u4e2db")), QByteArray("a?b"));
}
