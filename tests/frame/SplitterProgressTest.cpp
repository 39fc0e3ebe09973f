#include "FakeMainWindow.h"
#include "TestSupport.h"
#include "frame/ProgressTimeToComplete.h"
#include "frame/SplitterWnd.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

struct SplitterTree {
  SplitterTree()
  {
    outer.Create(nullptr, nullptr, nullptr, true);
    right = outer.AddSubDivision(1, new QLabel("var tree"), new QLabel("var list"), 1, false);
    left = outer.AddSubDivision(0, new QLabel("par tree"), new QLabel("par list"), 2, true);
    outer.resize(1000, 600);
  }
  ST_SplitterWnd outer{0};
  ST_SplitterWnd *right = nullptr;
  ST_SplitterWnd *left = nullptr;
};

TEST(Splitter, NestedTreeAndSubdivisionRules)
{
  SplitterTree t;
  ASSERT_NE(t.right, nullptr);
  ASSERT_NE(t.left, nullptr);
  EXPECT_EQ(t.outer.Pane(0), t.left);
  EXPECT_EQ(t.outer.Pane(1), t.right);
  EXPECT_FALSE(t.right->IsVertical());
  // A second nested splitter in the same pane and bad panes change nothing.
  EXPECT_EQ(t.outer.AddSubDivision(1, nullptr, nullptr, 5, true), nullptr);
  EXPECT_EQ(t.outer.AddSubDivision(2, nullptr, nullptr, 5, true), nullptr);
  EXPECT_EQ(t.outer.AddSubDivision(-1, nullptr, nullptr, 5, true), nullptr);
  EXPECT_EQ(t.outer.count(), 2);
}

TEST(Splitter, HideAndShowKeepsThePaneAndItsWidth)
{
  TestEnvironment env;
  ST_SplitterWnd s(0);
  auto *a = new QLabel("a");
  auto *b = new QLabel("b");
  s.Create(nullptr, a, b, true);
  s.resize(800, 400);
  s.show();
  s.setSizes({300, 500});
  QApplication::processEvents();

  s.TogglePane(0);
  EXPECT_TRUE(s.IsPaneHidden(0));
  EXPECT_FALSE(a->isVisible());
  // Hiding while one is hidden, or toggling the other pane, changes nothing.
  s.TogglePane(1);
  EXPECT_TRUE(b->isVisible());
  EXPECT_TRUE(s.IsPaneHidden(0));
  // While hidden the record keeps the sizes from before.
  const SplitterLayout hidden = s.CurrentLayout();
  EXPECT_EQ(hidden.hiddenCol, 0);
  EXPECT_NEAR(hidden.size0, 300, 4);

  s.TogglePane(0);
  QApplication::processEvents();
  EXPECT_FALSE(s.IsPaneHidden(0));
  EXPECT_EQ(s.widget(0), a);
  EXPECT_NEAR(s.sizes().value(0), 300, 2);
}

TEST(Splitter, LayoutsTravelThroughTheMainFrame)
{
  TestEnvironment env;
  FakeMainWindow main;
  {
    SplitterTree t;
    t.outer.show();
    t.outer.setSizes({400, 600});
    t.right->setSizes({200, 400});
    QApplication::processEvents();
    t.left->TogglePane(1); // the parameter list hidden
    t.outer.SendPaneSizes(&main, PaneCode::Store);
    EXPECT_EQ(main.CountOf(FakeMainWindow::Call::StoreLayout), 3);
    EXPECT_NEAR(main.layouts[0].size0, 400, 4);
    EXPECT_NEAR(main.layouts[1].size0, 200, 4);
    EXPECT_EQ(main.layouts[2].hiddenCol, 1);
  }
  // The next board window opens with the layout the last one closed with.
  SplitterTree next;
  next.outer.LoadPaneSizes(&main);
  EXPECT_EQ(main.CountOf(FakeMainWindow::Call::LoadLayout), 3);
  EXPECT_TRUE(next.left->IsPaneHidden(1));
  EXPECT_FALSE(next.right->IsPaneHidden(0));
  EXPECT_EQ(next.outer.sizes().value(0), main.layouts[0].size0);
  EXPECT_EQ(next.right->sizes().value(0), main.layouts[1].size0);
}

TEST(Splitter, HostileStoredLayoutsAreTamed)
{
  TestEnvironment env;
  FakeMainWindow main;
  main.layouts[0] = {7, -50, -1, 100000, 0}; // hidden index past the panes, negative size
  main.layouts[1] = {-1, 100, -3, 100, 1};   // below -1: sizes only
  SplitterTree t;
  t.outer.LoadPaneSizes(&main);
  EXPECT_FALSE(t.outer.IsPaneHidden(0));
  EXPECT_FALSE(t.outer.IsPaneHidden(1));
  EXPECT_GE(t.outer.sizes().value(0), 10);
  EXPECT_FALSE(t.right->IsPaneHidden(0));
  // A stored -1 size goes out as 100.
  main.layouts[2] = {-1, -1, -1, -1, 2};
  ST_SplitterWnd fresh(3);
  fresh.Create(nullptr, nullptr, nullptr, true);
  const SplitterLayout sent = fresh.CurrentLayout();
  EXPECT_EQ(sent.number, 3);
  EXPECT_EQ(sent.hiddenCol, -1);
}

// A bar whose clock the test sets.
class ClockedProgress : public TProgressTimeToComplete {
public:
  qint64 elapsedMs = 0;

protected:
  qint64 Elapsed() const override { return elapsedMs; }
};

TEST(ProgressTimeToComplete, TimeLeftText)
{
  ClockedProgress bar;
  bar.setRange(0, 300);
  // Nothing at 0 and at exactly 2 %; half way the time so far is the time left.
  const struct {
    int value;
    qint64 elapsedMs;
    const char *text;
  } rows[] = {{0, 5000, ""},      {6, 5000, ""},     {150, 30000, "30 s"}, {150, 90000, "1 m 30 s"},
              {150, 500, "< 1s"}, {300, 500, "< 1s"}};
  for (const auto &row : rows) {
    bar.setValue(row.value);
    bar.elapsedMs = row.elapsedMs;
    EXPECT_EQ(bar.TimeLeftText(), QString::fromLatin1(row.text)) << row.value << " " << row.elapsedMs;
  }
}

TEST(ProgressTimeToComplete, EmptyRangesAndWildValuesNeverDivideByZero)
{
  ClockedProgress bar;
  bar.setRange(5, 5);
  bar.setValue(5);
  EXPECT_EQ(bar.Fraction(), 0.0);
  EXPECT_EQ(bar.TimeLeftText(), QString());
  EXPECT_EQ(bar.ChunkCount(), 0);
  EXPECT_EQ(bar.FormatTimeLeft(0.5, -3), "< 1s");
  EXPECT_EQ(bar.FormatTimeLeft(0.5, std::numeric_limits<double>::quiet_NaN()), "< 1s");
  EXPECT_EQ(bar.FormatTimeLeft(0.5, 1e300), "525600 m 0 s");
  bar.resize(200, 20);
  bar.setRange(0, 1);
  bar.setValue(1);
  bar.grab(); // paints without trouble
}

TEST(ProgressTimeToComplete, ChunksAndPainting)
{
  ClockedProgress bar;
  bar.SetSmooth(false);
  bar.setRange(0, 100);
  bar.setValue(96);
  EXPECT_EQ(bar.ChunkCount(), 18);
  bar.setValue(100);
  EXPECT_EQ(bar.ChunkCount(), 18);
  bar.setValue(50);
  EXPECT_EQ(bar.ChunkCount(), 9);
  bar.elapsedMs = 10000;
  bar.resize(200, 20);
  const QImage image = bar.grab().toImage();
  const QColor highlight = bar.palette().color(QPalette::Highlight);
  // Left blocks are painted in the highlight colour, the far right is not.
  EXPECT_EQ(image.pixelColor(2, 2), highlight);
  EXPECT_NE(image.pixelColor(195, 2), highlight);
  bar.setOrientation(Qt::Vertical);
  bar.resize(20, 200);
  bar.grab();
}

TEST(ProgressTimeToComplete, RestartUsesAMonotonicClock)
{
  TProgressTimeToComplete bar;
  bar.Restart();
  EXPECT_GE(bar.ElapsedMs(), 0);
  EXPECT_LT(bar.ElapsedMs(), 60000);
}

} // namespace
