#include "controls/MemDC.h"
#include "controls/XHeaderCtrl.h"
#include "controls/XListCommon.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace xl;

namespace {

class XHeaderCtrlTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    header.resize(400, 24);
    header.show();
  }
  void Add(const QString &text, int width, int image)
  {
    HDITEM hd;
    hd.mask = HDI_TEXT | HDI_FORMAT | HDI_WIDTH | HDI_IMAGE;
    hd.pszText = text;
    hd.fmt = HDF_LEFT | HDF_STRING;
    hd.cxy = width;
    hd.iImage = image;
    header.InsertItem(header.GetItemCount(), hd);
  }
  QImage Shot() { return header.viewport()->grab().toImage(); }
  COLORREF At(const QImage &img, int x, int y) { return FromQColor(img.pixelColor(x, y)); }
  CXHeaderCtrl header;
};

TEST_F(XHeaderCtrlTest, EmptyHeaderIsPlainFace)
{
  const QImage img = Shot();
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      ASSERT_EQ(At(img, x, y), header.GetFaceColor()) << x << "," << y;
}

TEST_F(XHeaderCtrlTest, CheckBoxesDividersAndFrame)
{
  Add("", 100, 2);
  Add("", 100, 1);
  Add("", 100, 0);
  const QImage img = Shot();
  const int h = img.height();
  const int top = (h - 13) / 2;
  const COLORREF frame = RGB(51, 102, 153), tick = RGB(51, 153, 51);
  const COLORREF window = GetSysColor(COLOR_WINDOW, header.palette());

  EXPECT_EQ(At(img, 6, top), frame); // box 0: left edge at the padding
  EXPECT_EQ(At(img, 6 + 12, top + 12), frame);
  EXPECT_EQ(At(img, 6 + 9, top + 3), tick); // the tick starts at (9, 3)
  EXPECT_EQ(At(img, 6 + 6, top + 6), tick); // and bottoms out 3 strokes on
  EXPECT_EQ(At(img, 6 + 2, top + 2), window);
  EXPECT_EQ(At(img, 106, top), frame); // box 1: empty
  EXPECT_EQ(At(img, 106 + 9, top + 3), window);
  EXPECT_EQ(At(img, 206, top), header.GetFaceColor()); // no box

  const COLORREF shadow = GetSysColor(COLOR_3DSHADOW, header.palette());
  const COLORREF light = GetSysColor(COLOR_3DHILIGHT, header.palette());
  EXPECT_EQ(At(img, 99, 2), shadow); // divider: shadow then highlight
  EXPECT_EQ(At(img, 100, 2), light);
  EXPECT_EQ(At(img, 99, h - 3), shadow);
  EXPECT_NE(At(img, 99, h - 2), shadow);
  EXPECT_EQ(At(img, 300, 2), header.GetFaceColor()); // the last column has none
  EXPECT_EQ(At(img, 0, h / 2), light);               // the 3-D frame around the used width
  EXPECT_EQ(At(img, 299, h / 2), shadow);
  EXPECT_EQ(At(img, 350, h / 2), header.GetFaceColor());
}

TEST_F(XHeaderCtrlTest, CaptionStartsAfterTheBox)
{
  Add("WWW", 100, 0);
  Add("WWW", 100, 1);
  const QImage img = Shot();
  auto firstInk = [&](int from, int to) {
    for (int x = from; x < to; ++x)
      for (int y = 2; y < img.height() - 2; ++y)
        if (At(img, x, y) == header.GetTextColor())
          return x;
    return -1;
  };
  EXPECT_GE(firstInk(1, 99), 6);
  EXPECT_LT(firstInk(1, 99), 6 + 4);
  EXPECT_GE(firstInk(101, 199), 100 + 6 + 13 + 6);
  EXPECT_LT(firstInk(101, 199), 100 + 6 + 13 + 6 + 4);
}

TEST_F(XHeaderCtrlTest, ImageListReplacesTheBoxesAndBitmapsNeedRoom)
{
  CImageList images;
  ASSERT_TRUE(images.Create(CImageList::CheckBoxStrip(), 16, 3, RGB(255, 0, 255)));
  header.SetImageList(&images);
  EXPECT_EQ(header.GetImageSize(), QSize(16, 16));
  QImage img(100, 24, QImage::Format_RGB32);
  QPainter p(&img);
  HDITEM hd;
  hd.iImage = 2;
  EXPECT_EQ(header.DrawImage(&p, QRect(0, 0, 50, 24), hd, false), 16);
  hd.iImage = 0;
  EXPECT_EQ(header.DrawImage(&p, QRect(0, 0, 50, 24), hd, false), 0);
  hd.iImage = 7; // no such image: nothing drawn, no crash
  header.DrawImage(&p, QRect(0, 0, 50, 24), hd, false);
  header.SetImageList(nullptr);
  hd.iImage = 1;
  EXPECT_EQ(header.DrawImage(&p, QRect(0, 0, 5, 24), hd, false), 13); // keeps its size
  EXPECT_EQ(header.DrawImage(&p, QRect(0, 0, 0, 24), hd, false), 0);

  QPixmap bmp(30, 10);
  bmp.fill(Qt::red);
  EXPECT_EQ(header.DrawBitmap(&p, QRect(0, 0, 29, 24), hd, bmp, true), 0);
  EXPECT_EQ(header.DrawBitmap(&p, QRect(0, 0, 40, 24), hd, bmp, true), 30);
  EXPECT_EQ(header.DrawBitmap(&p, QRect(0, 0, 40, 24), hd, QPixmap(), true), 0);
}

TEST_F(XHeaderCtrlTest, FollowsColourChangesButKeepsItsCaptionColour)
{
  const COLORREF text = header.GetTextColor();
  QPalette pal = header.palette();
  pal.setColor(QPalette::Button, QColor(10, 20, 30));
  pal.setColor(QPalette::ButtonText, QColor(200, 0, 0));
  header.setPalette(pal);
  EXPECT_EQ(header.GetFaceColor(), RGB(10, 20, 30));
  EXPECT_EQ(header.GetTextColor(), text);
}

TEST(MemDC, BuffersIntoTheSameLogicalArea)
{
  QImage img(100, 100, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    p.scale(2, 2);
    p.setBackground(QColor(0, 0, 255));
    const QRect area(10, 10, 20, 20); // device 20..60
    CMemDC dc(&p, &area);
    EXPECT_TRUE(dc.IsBuffering());
    EXPECT_EQ(dc.GetRect(), area);
    dc->fillRect(QRect(15, 15, 5, 5), Qt::red);           // device 30..40
    EXPECT_EQ(img.pixelColor(35, 35), QColor(Qt::white)); // nothing yet on the target
  }
  EXPECT_EQ(img.pixelColor(35, 35), QColor(Qt::red));
  EXPECT_EQ(img.pixelColor(22, 22), QColor(0, 0, 255)); // the area's background
  EXPECT_EQ(img.pixelColor(59, 59), QColor(0, 0, 255));
  EXPECT_EQ(img.pixelColor(60, 60), QColor(Qt::white));
  EXPECT_EQ(img.pixelColor(19, 19), QColor(Qt::white));

  // Without an area: the clip box.
  {
    QPainter p(&img);
    p.setClipRect(QRect(70, 70, 10, 10));
    CMemDC dc(&p);
    EXPECT_EQ(dc.GetRect(), QRect(70, 70, 10, 10));
  }
}

TEST(MemDC, PrintingDrawsStraightIntoTheTarget)
{
  QPicture picture;
  QPainter p(&picture);
  const QRect area(0, 0, 10, 10);
  CMemDC dc(&p, &area);
  EXPECT_FALSE(dc.IsBuffering());
  EXPECT_EQ(dc.GetDC(), &p);
}

} // namespace
