#include "FakeMainWindow.h"
#include "TestSupport.h"
#include "frame/StatusBarCtrls.h"

#include <QApplication>
#include <QLineEdit>
#include <QWheelEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(StatusBarSlider, PositionForFraction)
{
  EXPECT_EQ(CExtStatusBarSliderCtrl::PositionForFraction(0, 2, 0.10), 0);
  EXPECT_EQ(CExtStatusBarSliderCtrl::PositionForFraction(0, 2, 0.30), 1);
  EXPECT_EQ(CExtStatusBarSliderCtrl::PositionForFraction(0, 2, 0.80), 2);
  EXPECT_EQ(CExtStatusBarSliderCtrl::PositionForFraction(0, 2, 0.24), 0);
  EXPECT_EQ(CExtStatusBarSliderCtrl::PositionForFraction(0, 2, 0.26), 1);
  // Outside the channel, empty ranges and nonsense stay in the range.
  EXPECT_EQ(CExtStatusBarSliderCtrl::PositionForFraction(0, 2, -4.0), 0);
  EXPECT_EQ(CExtStatusBarSliderCtrl::PositionForFraction(0, 2, 9.0), 2);
  EXPECT_EQ(CExtStatusBarSliderCtrl::PositionForFraction(3, 3, 0.7), 3);
  EXPECT_EQ(CExtStatusBarSliderCtrl::PositionForFraction(0, 2, std::numeric_limits<double>::quiet_NaN()), 0);
}

QPoint AtFraction(CExtStatusBarSliderCtrl &s, double f)
{
  const QRect c = s.ChannelRect();
  return QPoint(c.left() + int(f * (c.width() - 1)), c.center().y());
}

// A slider on a main window whose level starts at 0.
class StatusBarSliderOnFrame : public ::testing::Test {
protected:
  StatusBarSliderOnFrame()
  {
    main.GetOptions().VisLevel.Set(0);
    slider.resize(120, 24);
    slider.SetMainFrame(&main);
  }
  TestEnvironment env;
  FakeMainWindow main;
  CExtStatusBarSliderCtrl slider;
  QSignalSpy spy{&slider, &CExtStatusBarSliderCtrl::visLevelChanged};
};

TEST_F(StatusBarSliderOnFrame, ClicksAndDragsStoreEveryLevelOnce)
{
  QTest::mouseClick(&slider, Qt::LeftButton, {}, AtFraction(slider, 0.80));
  EXPECT_EQ(slider.value(), 2);
  EXPECT_EQ(main.GetOptions().VisLevel.Get(), 2);
  EXPECT_EQ(spy.count(), 0); // posted, not sent from the mouse handler
  QCoreApplication::processEvents();
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), int(CExtStatusBarSliderCtrl::kTrack));

  spy.clear();
  QTest::mousePress(&slider, Qt::LeftButton, {}, AtFraction(slider, 0.05));
  QTest::mouseMove(&slider, AtFraction(slider, 0.5));
  QTest::mouseRelease(&slider, Qt::LeftButton, {}, AtFraction(slider, 0.95));
  QCoreApplication::processEvents();
  ASSERT_EQ(spy.count(), 3); // 0, 1, 2: each value once, the final notice finds them equal
  EXPECT_EQ(spy.at(1).at(1).toInt(), 1);
  EXPECT_EQ(spy.at(2).at(1).toInt(), 2);
  main.Reload();
  EXPECT_EQ(main.GetOptions().VisLevel.Get(), 2);

  // Without a frame nothing is stored or announced.
  CExtStatusBarSliderCtrl lone;
  lone.resize(120, 24);
  QSignalSpy loneSpy(&lone, &CExtStatusBarSliderCtrl::visLevelChanged);
  QTest::mouseClick(&lone, Qt::LeftButton, {}, AtFraction(lone, 0.5));
  QCoreApplication::processEvents();
  EXPECT_EQ(lone.value(), 1);
  EXPECT_EQ(loneSpy.count(), 0);
}

// Keys and the wheel move the thumb as a click does: each move stores the
// level and announces it once; a key that moves nothing says nothing.
TEST_F(StatusBarSliderOnFrame, KeysAndWheelStoreEveryLevelOnce)
{
  const struct {
    int key; // 0: a wheel notch, a step up for a positive angle
    int angle;
    int level;
  } moves[] = {{Qt::Key_Right, 0, 1}, {Qt::Key_Right, 0, 2},  {Qt::Key_Right, 0, 2}, {Qt::Key_Left, 0, 1},
               {Qt::Key_Home, 0, 0},  {Qt::Key_PageUp, 0, 1}, {Qt::Key_End, 0, 2},   {Qt::Key_PageDown, 0, 1},
               {0, -120, 0},          {0, -120, 0},           {0, 120, 1},           {0, 120, 2}};
  int level = 0;
  for (const auto &m : moves) {
    spy.clear();
    if (m.key) {
      QTest::keyClick(&slider, Qt::Key(m.key));
    } else {
      const QPointF at(slider.rect().center());
      QWheelEvent wheel(at, slider.mapToGlobal(at), QPoint(), QPoint(0, m.angle), Qt::NoButton, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
      QApplication::sendEvent(&slider, &wheel);
    }
    const std::string row = std::to_string(m.key) + "/" + std::to_string(m.angle) + " to " + std::to_string(m.level);
    EXPECT_EQ(slider.value(), m.level) << row;
    EXPECT_EQ(main.GetOptions().VisLevel.Get(), m.level) << row;
    QCoreApplication::processEvents();
    ASSERT_EQ(spy.count(), m.level == level ? 0 : 1) << row;
    if (m.level != level) {
      EXPECT_EQ(spy.at(0).at(1).toInt(), m.level) << row;
    }
    level = m.level;
  }
  main.Reload();
  EXPECT_EQ(main.GetOptions().VisLevel.Get(), 2);
}

TEST(MainToolbar, AddressBoxAcceptsOnlySlaveAddresses)
{
  TestEnvironment env;
  CMainToolbar bar;
  QSignalSpy spy(&bar, &CMainToolbar::addressEntered);
  bar.SetAddress(5);
  EXPECT_EQ(bar.AddressBox()->text(), "5");

  bar.AddressBox()->setText(" 12");
  QTest::keyClick(bar.AddressBox(), Qt::Key_Return);
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 12);

  const int beeps = TestEnvironment::beeps();
  for (const char *bad : {"0", "248", "-3", "abc", "", "99999999999"}) {
    bar.AddressBox()->setText(QString::fromLatin1(bad));
    bar.OnEnter();
    EXPECT_EQ(bar.AddressBox()->text(), "5") << bad;
  }
  EXPECT_EQ(spy.count(), 1);
  EXPECT_EQ(TestEnvironment::beeps() - beeps, 6);
  bar.AddressBox()->setText("247x");
  bar.OnEnter();
  EXPECT_EQ(spy.count(), 2);
  EXPECT_EQ(spy.at(1).at(0).toInt(), 247);
}

TEST(StatusBitmap, ShowsOnlyItsTwoBitmaps)
{
  CExtBitmap bitmap;
  EXPECT_EQ(bitmap.CurrentBitmap(), unsigned(CExtBitmap::kBitmapIdle));
  bitmap.ShowBitmap(CExtBitmap::kBitmapActive);
  EXPECT_EQ(bitmap.CurrentBitmap(), unsigned(CExtBitmap::kBitmapActive));
  bitmap.ShowBitmap(77);
  EXPECT_EQ(bitmap.CurrentBitmap(), unsigned(CExtBitmap::kBitmapActive));
  EXPECT_NE(CExtBitmap::Bitmap(108).toImage(), CExtBitmap::Bitmap(109).toImage());
  CExtStatusBarProgressCtrl progress;
  EXPECT_EQ(progress.maximum(), 300);
}

} // namespace
