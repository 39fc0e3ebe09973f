#include "controls/XGlyphButton.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <gtest/gtest.h>

TEST(XGlyphButton, SymbolButtonKeepsItsCodeAndSize)
{
  CXGlyphButton b;
  EXPECT_EQ(b.GetGlyph(), 0xB4);
  EXPECT_EQ(b.text(), QString(QChar(0xB4)));
  EXPECT_EQ(b.GetLogFont().lfHeight, -30);
  EXPECT_EQ(b.GetLogFont().lfCharSet, 1);

  b.SetWingDingButton(0x31);
  EXPECT_EQ(b.text().size(), 1);
  EXPECT_EQ(b.text().at(0).unicode(), 0x31);
  EXPECT_EQ(b.GetLogFont().lfCharSet, 2);
  EXPECT_EQ(b.GetLogFont().lfFaceName, QStringLiteral("WingDings"));
  EXPECT_EQ(b.GetLogFont().lfHeight, CXGlyphButton::PointsToHeight(14));
  if (QGuiApplication::primaryScreen()->logicalDotsPerInchY() == 96) {
    EXPECT_EQ(b.GetLogFont().lfHeight, -19);
  }
  EXPECT_EQ(b.font().pixelSize(), -b.GetLogFont().lfHeight);
  b.SetWingDingButton(0x31);
  EXPECT_EQ(b.font().pixelSize(), -b.GetLogFont().lfHeight) << "repeated set-up keeps one font";

  b.SetGlyph(0x1FB);
  EXPECT_EQ(b.text().at(0).unicode(), 0xFB) << "only the low byte is shown";
}

TEST(XGlyphButton, OpenSaveAndClosePaintTheirOwnPictograms)
{
  CXGlyphButton b;
  b.resize(32, 32);
  b.SetWingDingButton(CXGlyphButton::GlyphOpen);
  const QImage open = b.grab().toImage();
  b.SetWingDingButton(CXGlyphButton::GlyphSave);
  const QImage save = b.grab().toImage();
  b.SetWingDingButton(CXGlyphButton::GlyphClose);
  const QImage close = b.grab().toImage();
  EXPECT_NE(open, save);
  EXPECT_NE(save, close);
  EXPECT_NE(open, close);
  // Each draws in the button text colour at the centre area.
  auto inked = [&](const QImage &img) {
    const QColor ink = b.palette().color(QPalette::ButtonText);
    int n = 0;
    for (int y = 6; y < 26; ++y)
      for (int x = 6; x < 26; ++x)
        n += img.pixelColor(x, y) == ink;
    return n;
  };
  EXPECT_GT(inked(open), 5);
  EXPECT_GT(inked(save), 5);
  EXPECT_GT(inked(close), 5);
}
