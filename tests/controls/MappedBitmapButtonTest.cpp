#include "controls/MappedBitmapButton.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Four 8x6 images side by side, each with its own colour and one pixel of
// the grey the button maps to the face colour.
class MappedBitmap : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(m_dir.isValid());
    QImage strip(32, 6, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200), qRgb(200, 200, 0)};
    for (int i = 0; i < 4; ++i)
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
          strip.setPixel(i * 8 + x, y, colours[i]);
    strip.setPixel(0, 0, qRgb(192, 192, 192));
    ASSERT_TRUE(strip.save(m_dir.filePath(QStringLiteral("90101.png"))));
    ASSERT_TRUE(strip.copy(0, 0, 30, 6).save(m_dir.filePath(QStringLiteral("90102.png"))));
    QDir::addSearchPath(QStringLiteral("bitmaps"), m_dir.path());
  }
  void TearDown() override { QDir::setSearchPaths(QStringLiteral("bitmaps"), {QStringLiteral(":/bitmaps")}); }
  QTemporaryDir m_dir;
};

} // namespace

TEST_F(MappedBitmap, ShowsTheImageOfItsState)
{
  QWidget bar;
  CMappedBitmapButton b;
  EXPECT_TRUE(b.AutoLoad(200, &bar, 90101));
  EXPECT_EQ(b.parentWidget(), &bar);
  EXPECT_EQ(b.size(), QSize(8, 6));
  ASSERT_EQ(b.GetImageCount(), 4);
  bar.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
  b.clearFocus();

  EXPECT_EQ(b.CurrentImageIndex(), CMappedBitmapButton::ImageNormal);
  EXPECT_EQ(b.grab().toImage().pixelColor(4, 3), QColor(200, 0, 0));
  b.setDown(true);
  EXPECT_EQ(b.CurrentImageIndex(), CMappedBitmapButton::ImagePressed);
  EXPECT_EQ(b.grab().toImage().pixelColor(4, 3), QColor(0, 200, 0));
  b.setDown(false);
  b.setEnabled(false);
  EXPECT_EQ(b.CurrentImageIndex(), CMappedBitmapButton::ImageDisabled);
  EXPECT_EQ(b.grab().toImage().pixelColor(4, 3), QColor(200, 200, 0));
  b.setEnabled(true);

  bar.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));
  {
    b.setFocus();
    ASSERT_TRUE(b.hasFocus());
    EXPECT_EQ(b.CurrentImageIndex(), CMappedBitmapButton::ImageFocused);
    b.setDown(true);
    EXPECT_EQ(b.CurrentImageIndex(), CMappedBitmapButton::ImagePressed) << "pressed wins over focused";
  }
}

TEST_F(MappedBitmap, MapsGreysToThePaletteAgainWhenItChanges)
{
  CMappedBitmapButton b;
  ASSERT_TRUE(b.LoadBitmap(90101));
  EXPECT_EQ(b.GetImage(0).pixelColor(0, 0), b.palette().color(QPalette::Button));
  QPalette pal = b.palette();
  pal.setColor(QPalette::Button, QColor(10, 20, 30));
  b.setPalette(pal);
  EXPECT_EQ(b.GetImage(0).pixelColor(0, 0), QColor(10, 20, 30));
  EXPECT_EQ(b.GetBitmapId(), 90101u);
}

TEST_F(MappedBitmap, OddWidthsMissingBitmapsAndBadIndexes)
{
  CMappedBitmapButton b;
  ASSERT_TRUE(b.LoadBitmap(90102)); // 30 pixels: images of 7
  EXPECT_EQ(b.GetImage(3).width(), 7);
  EXPECT_TRUE(b.GetImage(4).isNull());
  EXPECT_TRUE(b.GetImage(-1).isNull());

  QWidget bar;
  CMappedBitmapButton missing;
  EXPECT_FALSE(missing.AutoLoad(201, &bar, 90199));
  EXPECT_EQ(missing.GetImageCount(), 0);
  missing.grab(); // paints nothing, safely
  EXPECT_FALSE(missing.AutoLoad(201, nullptr, 90101));
}

TEST(MappedBitmapButton, PreviewBarBitmapsAreBuiltIn)
{
  CMappedBitmapButton b;
  for (unsigned id : {112u, 116u, 117u, 118u, 119u, 120u}) {
    ASSERT_TRUE(b.LoadBitmap(id)) << id;
    EXPECT_EQ(b.GetImage(0).size(), QSize(22, 20));
  }
}
