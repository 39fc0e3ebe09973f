#include "controls/XListCommon.h"
#include "controls/XTabCtrl.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Tabs {
  explicit Tabs(int count)
  {
    tab.resize(400, 300);
    tab.show();
    for (int i = 0; i < count; ++i) {
      auto *w = new QWidget(&tab);
      w->setObjectName(QStringLiteral("w%1").arg(i));
      windows.push_back(w);
      tab.AddTab(w, QStringLiteral("Buffer %1").arg(i), 0);
    }
  }
  CXTabCtrl tab;
  std::vector<QWidget *> windows;
};

const QRect kPlaced(4, 28, 400 - 8, 300 - 32);

} // namespace

TEST(XTabCtrl, AddPlacesAndShowsOnlyTheFirstWindow)
{
  Tabs t(0);
  auto *a = new QWidget(&t.tab);
  auto *b = new QWidget(&t.tab);
  EXPECT_EQ(t.tab.AddTab(a, QStringLiteral("one"), 0), 1);
  EXPECT_EQ(t.tab.AddTab(b, QStringLiteral("two"), 0), 2);
  EXPECT_EQ(a->geometry(), kPlaced);
  EXPECT_EQ(b->geometry(), kPlaced);
  EXPECT_TRUE(a->isVisible());
  EXPECT_FALSE(b->isVisible());
  EXPECT_EQ(t.tab.GetCurSel(), 0);
  EXPECT_EQ(t.tab.GetTabText(1), QStringLiteral("two"));
  EXPECT_EQ(t.tab.AddTab(nullptr, QStringLiteral("none"), 0), -1);
  EXPECT_EQ(t.tab.GetItemCount(), 2);
}

TEST(XTabCtrl, SelectShowsTheTabsWindowAndRefusesBadIndexes)
{
  Tabs t(3);
  EXPECT_TRUE(t.tab.SelectTab(2));
  EXPECT_EQ(t.tab.GetCurSel(), 2);
  EXPECT_TRUE(t.windows[2]->isVisible());
  EXPECT_FALSE(t.windows[0]->isVisible());
  EXPECT_EQ(t.windows[2]->geometry(), kPlaced) << "selecting does not move the window";
  EXPECT_EQ(t.tab.GetPrevSel(), 0) << "a programmatic selection is not a user change";
  EXPECT_FALSE(t.tab.SelectTab(-1));
  EXPECT_FALSE(t.tab.SelectTab(3));
  EXPECT_EQ(t.tab.GetCurSel(), 2);
}

TEST(XTabCtrl, UserSelectionShowsTheWindowFullWidth)
{
  Tabs t(3);
  QSignalSpy changed(&t.tab, &CXTabCtrl::selChange);
  QTabBar *bar = t.tab.TabBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(1).center());
  ASSERT_EQ(t.tab.GetCurSel(), 1);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(t.tab.GetPrevSel(), 0);
  EXPECT_FALSE(t.windows[0]->isVisible());
  EXPECT_TRUE(t.windows[1]->isVisible());
  EXPECT_EQ(t.windows[1]->geometry(), QRect(0, 28, 400, 300 - 28));
}

TEST(XTabCtrl, DeleteReturnsTheTabsWindowAndKeepsASelection)
{
  Tabs t(4);
  // Deleting a tab that is not selected returns that tab's window and keeps
  // the selection on the same tab.
  t.tab.SelectTab(2);
  EXPECT_EQ(t.tab.DeleteTab(3), t.windows[3]);
  EXPECT_EQ(t.tab.GetCurSel(), 2);
  EXPECT_EQ(t.tab.DeleteTab(0), t.windows[0]);
  EXPECT_EQ(t.tab.GetCurSel(), 1);
  EXPECT_EQ(t.tab.GetTabWindow(1), t.windows[2]);

  // Deleting the selected last tab selects the new last tab and shows it.
  EXPECT_EQ(t.tab.DeleteTab(1), t.windows[2]);
  EXPECT_EQ(t.tab.GetCurSel(), 0);
  EXPECT_TRUE(t.windows[1]->isVisible());
  EXPECT_EQ(t.tab.DeleteTab(5), nullptr);
  EXPECT_EQ(t.tab.DeleteTab(-1), nullptr);
  EXPECT_EQ(t.tab.DeleteTab(0), t.windows[1]);
  EXPECT_EQ(t.tab.GetItemCount(), 0);
  EXPECT_EQ(t.tab.GetCurSel(), -1);
}

TEST(XTabCtrl, RemovingTheSelectedTabInALoopEnds)
{
  Tabs t(5);
  t.tab.SelectTab(2);
  // The first selected of several and a middle one: the neighbour that takes
  // the place is selected and shown.
  EXPECT_EQ(t.tab.DeleteTab(2), t.windows[2]);
  delete t.windows[2];
  EXPECT_EQ(t.tab.GetCurSel(), 2);
  EXPECT_TRUE(t.windows[3]->isVisible());
  t.tab.SelectTab(0);
  EXPECT_EQ(t.tab.DeleteTab(0), t.windows[0]);
  delete t.windows[0];
  EXPECT_EQ(t.tab.GetCurSel(), 0);
  EXPECT_TRUE(t.windows[1]->isVisible());

  int rounds = 0;
  while (t.tab.GetItemCount() > 0 && rounds < 10) {
    QWidget *w = t.tab.DeleteTab(t.tab.GetCurSel());
    ASSERT_NE(w, nullptr);
    delete w;
    ++rounds;
  }
  EXPECT_EQ(rounds, 3);
  EXPECT_EQ(t.tab.GetItemCount(), 0);
}

TEST(XTabCtrl, WindowsArePlacedOnce500msAfterTheLastResize)
{
  Tabs t(2);
  QTabBar *bar = t.tab.TabBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(1).center());
  ASSERT_EQ(t.windows[1]->geometry(), QRect(0, 28, 400, 272));

  QElapsedTimer clock;
  clock.start();
  t.tab.resize(500, 350);
  QTest::qWait(200);
  t.tab.resize(520, 360);
  EXPECT_TRUE(t.tab.IsResizePending());
  EXPECT_EQ(t.windows[1]->geometry(), QRect(0, 28, 400, 272)) << "nothing moves before the delay";
  QTRY_VERIFY_WITH_TIMEOUT(!t.tab.IsResizePending(), 2000);
  EXPECT_GE(clock.elapsed(), 200 + 450);
  EXPECT_EQ(t.windows[0]->geometry(), QRect(4, 28, 520 - 8, 360 - 32));
  EXPECT_EQ(t.windows[1]->geometry(), QRect(4, 28, 520 - 8, 360 - 32));

  t.tab.resize(0, 360);
  EXPECT_FALSE(t.tab.IsResizePending());
  Tabs empty(0);
  empty.tab.resize(200, 200);
  EXPECT_FALSE(empty.tab.IsResizePending());
}

TEST(XTabCtrl, LabelsAreCutAt63CharactersAndDrawnAlike)
{
  Tabs t(0);
  QString longCaption;
  for (int i = 0; i < 8; ++i)
    longCaption += QStringLiteral("Buffer%1...").arg(i);
  ASSERT_EQ(longCaption.size(), 80);
  t.tab.AddTab(new QWidget(&t.tab), longCaption, 0);
  t.tab.AddTab(new QWidget(&t.tab), QStringLiteral("Speed"), 0);
  EXPECT_EQ(t.tab.GetTabText(0), longCaption) << "the caption itself is kept";
  EXPECT_EQ(t.tab.GetTabLabel(0), longCaption.left(63));
  EXPECT_EQ(t.tab.GetTabLabel(1), QStringLiteral("Speed"));
  const QString smile = QString(62, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80");
  EXPECT_EQ(CXTabCtrl::TabLabel(smile), QString(62, u'x')) << "no half character";

  // Face fill and button-text colour for the selected tab and the others
  // alike, the label centred in its tab.
  t.tab.resize(900, 300);
  QTabBar *bar = t.tab.TabBar();
  const QImage image = bar->grab().toImage();
  const QColor face = ToQColor(xl::GetSysColor(xl::COLOR_BTNFACE, bar->palette()));
  const QColor text = ToQColor(xl::GetSysColor(xl::COLOR_BTNTEXT, bar->palette()));
  for (int tab = 0; tab < 2; ++tab) {
    const QRect label = CXTabCtrl::LabelRect(bar->tabRect(tab)).adjusted(0, 2, 0, 0);
    ASSERT_TRUE(image.rect().contains(label)) << tab;
    int darkest = 255 * 3;
    QRect ink;
    for (int y = label.top(); y <= label.bottom(); ++y)
      for (int x = label.left(); x <= label.right(); ++x) {
        const QColor c = image.pixelColor(x, y);
        if (c == face)
          continue;
        darkest = std::min(darkest, c.red() + c.green() + c.blue());
        ink |= QRect(x, y, 1, 1);
      }
    EXPECT_EQ(image.pixelColor(label.topLeft()), face) << tab;
    EXPECT_EQ(image.pixelColor(label.bottomRight()), face) << tab;
    ASSERT_FALSE(ink.isEmpty()) << tab;
    EXPECT_LE(std::abs(darkest - (text.red() + text.green() + text.blue())), 120) << tab;
    EXPECT_LE(std::abs(ink.center().x() - label.center().x()), 3) << tab;
    const QRect item = CXTabCtrl::LabelRect(bar->tabRect(tab));
    EXPECT_LE(std::abs(ink.center().y() - item.center().y()), 3) << tab;
  }
}
