#include "controls/TitleTip.h"
#include "controls/XColorStatic.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {
// Rows of the image that hold a pixel other than the background.
int RowsNot(const QImage &img, const QColor &background)
{
  int rows = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (img.pixelColor(x, y) != background) {
        ++rows;
        break;
      }
  return rows;
}
} // namespace

TEST(XColorStatic, PaintsItsOwnColours)
{
  CXColorStatic sample(QStringLiteral("Example"));
  EXPECT_EQ(sample.GetTextColor(), FromQColor(sample.palette().color(QPalette::ButtonText)));
  EXPECT_EQ(sample.GetBackgroundColor(), FromQColor(sample.palette().color(QPalette::Button)));
  sample.resize(120, 30);
  sample.SetTextColor(RGB(255, 255, 0), true);
  sample.SetBackgroundColor(RGB(0, 0, 128), true);
  EXPECT_EQ(sample.GetBackgroundColor(), RGB(0, 0, 128));
  const QImage shot = sample.grab().toImage();
  EXPECT_EQ(shot.pixelColor(110, 25), QColor(0, 0, 128));
  EXPECT_GT(RowsNot(shot, QColor(0, 0, 128)), 3);
  bool yellow = false;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      yellow = yellow || (c.red() > 200 && c.green() > 200 && c.blue() < 60);
    }
  EXPECT_TRUE(yellow) << "the text is drawn in its colour";
}

TEST(XColorStatic, CentredLineOrWordWrap)
{
  const QString text = QStringLiteral("several words that cannot fit on one line");
  CXColorStatic wrapped(text);
  wrapped.resize(80, 120);
  wrapped.SetTextColor(RGB(0, 0, 0), false);
  wrapped.SetBackgroundColor(RGB(255, 255, 255), false);
  CXColorStatic centred(text);
  centred.setAlignment(Qt::AlignCenter);
  centred.resize(80, 120);
  centred.SetTextColor(RGB(0, 0, 0), false);
  centred.SetBackgroundColor(RGB(255, 255, 255), false);
  const int line = wrapped.fontMetrics().height();
  EXPECT_GT(RowsNot(wrapped.grab().toImage(), Qt::white), line * 2);
  const QImage one = centred.grab().toImage();
  EXPECT_LE(RowsNot(one, Qt::white), line);
  EXPECT_EQ(one.pixelColor(40, 5), Qt::white) << "a single centred line leaves the top free";
}

TEST(TitleTip, CreatedHiddenForItsOwner)
{
  QWidget owner;
  CTitleTip tip;
  EXPECT_FALSE(tip.Create(nullptr));
  EXPECT_TRUE(tip.Create(&owner));
  EXPECT_EQ(tip.GetParentWnd(), &owner);
  EXPECT_FALSE(tip.isVisible());
  EXPECT_TRUE(tip.windowFlags() & Qt::WindowStaysOnTopHint);
}
