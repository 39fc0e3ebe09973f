#include "TraceTestSupport.h"

#include "TestSupport.h"
#include "chart/ChartCtrl.h"
#include "optiontree/OptionTree.h"
#include "trace/MemBuffDlg.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class MemBuffDlgTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    CMemBuffDlg::DefaultGains().fill(1.0);
    CMemBuffDlg::DefaultOffsets().fill(0.0);
    parent.resize(1000, 500);
  }
  void TearDown() override
  {
    CMemBuffDlg::DefaultGains().fill(1.0);
    CMemBuffDlg::DefaultOffsets().fill(0.0);
  }

  std::unique_ptr<CMemBuffDlg> Make()
  {
    auto w = std::make_unique<CMemBuffDlg>(&parent);
    EXPECT_TRUE(w->Create(&parent));
    w->resize(1000, 500);
    return w;
  }

  // The user types into a tree item's value column.
  static void Type(COptionTreeItem *item, const QString &text) { item->GetTreeItem()->setText(1, text); }

  TestEnvironment env;
  QWidget parent;
  std::array<QString, 6> labels;
};

QByteArray Saved(const CMemBuffDlg &w)
{
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  EXPECT_TRUE(w.SaveBuffer(out));
  return out.data();
}

} // namespace

TEST_F(MemBuffDlgTest, ANewWindowShowsItsDefaultsBeforeData)
{
  auto w = Make();
  EXPECT_EQ(w->GetSamplingItem()->GetWindowText(), QStringLiteral("0.100 ms"));
  EXPECT_EQ(w->GetTrigDelayItem()->GetWindowText(), QStringLiteral("0.000 ms"));
  EXPECT_EQ(w->GetTrackLabel(4), QStringLiteral("Track 4"));
  EXPECT_EQ(w->GetChart()->GetSeriesCount(), 0);
  EXPECT_DOUBLE_EQ(w->GetChart()->GetLeftAxis()->GetMin(), -33000);
  EXPECT_EQ(w->GetTree()->FindItemByCtrlID(CMemBuffDlg::IDC_AXIS_MAX)->GetCtrlID(), 205);
  EXPECT_EQ(w->GetGainItem(2)->GetLabelBackgroundColor(), w->GetChart()->GetSeriesColorTable(2));
  EXPECT_TRUE(w->GetSamplingItem()->IsReadOnly());
  EXPECT_EQ(CountColour(RenderChart(*w->GetChart()), ToQColor(w->GetChart()->GetSeriesColorTable(0)).rgb()), 0);
}

TEST_F(MemBuffDlgTest, SamplesAreTakenByIndexTrackMajorWithinASample)
{
  auto w = Make();
  labels[1] = QStringLiteral("speed_ref");
  w->ShowBuffer(labels, 0.5f, 2.0f, TraceAnswer(7, 3, 10));
  ASSERT_EQ(w->GetSampleCount(), 10u);
  for (int i = 0; i < 10; ++i)
    for (int t = 0; t < 3; ++t)
      EXPECT_DOUBLE_EQ(w->GetRaw(t, static_cast<unsigned>(i)), TraceWord(i, t)) << i << "," << t;
  EXPECT_DOUBLE_EQ(w->GetRaw(4, 3), 0) << "tracks the buffer lacks are zero";
  EXPECT_EQ(w->GetTrackLabel(1), QStringLiteral("speed_ref"));
  EXPECT_EQ(w->GetTrackLabel(0), QStringLiteral("Track 0")) << "an empty label keeps the numbered one";
  EXPECT_EQ(w->GetSamplingItem()->GetWindowText(), QStringLiteral("0.500 ms"));
  EXPECT_EQ(w->GetTrigDelayItem()->GetWindowText(), QStringLiteral("2.00 ms"));
  ASSERT_NE(w->GetPacket(), nullptr);
  EXPECT_EQ(w->GetPacket()->wAnsData.size(), 30u);
  EXPECT_TRUE(w->GetChart()->GetBottomAxis()->IsAutomatic());
  ASSERT_EQ(w->GetChart()->GetSeriesCount(), 6);
  const CChartSerie *s = w->GetSerie(2);
  EXPECT_EQ(s->GetPointsCount(), 19) << "the last sample has no closing step";
  EXPECT_EQ(s->GetOrdering(), 0);
  EXPECT_DOUBLE_EQ(s->GetXPointValue(4), 2);
  EXPECT_DOUBLE_EQ(s->GetXPointValue(5), 3);
  EXPECT_DOUBLE_EQ(s->GetYPointValue(5), TraceWord(2, 2));
}

TEST_F(MemBuffDlgTest, OddAndEmptyBuffersStayInsideTheirWords)
{
  auto w = Make();
  w->ShowBuffer(labels, 1, 0, TraceAnswer(7, 2, 1200));
  EXPECT_EQ(w->GetSampleCount(), 1000u);
  EXPECT_DOUBLE_EQ(w->GetRaw(1, 999), TraceWord(999, 1));

  // Eight tracks: the six shown keep their own words.
  w->ShowBuffer(labels, 1, 0, TraceAnswer(7, 8, 20));
  EXPECT_EQ(w->GetSampleCount(), 20u);
  EXPECT_DOUBLE_EQ(w->GetRaw(5, 19), TraceWord(19, 5));
  EXPECT_DOUBLE_EQ(w->GetRaw(0, 1), TraceWord(1, 0));
  EXPECT_EQ(w->GetChart()->GetSeriesCount(), 6) << "a second buffer reuses the series";

  // Fewer words than announced: the samples end at the last complete one.
  w->ShowBuffer(labels, 1, 0, TraceAnswer(7, 3, 10, 17));
  EXPECT_EQ(w->GetSampleCount(), 5u);
  EXPECT_DOUBLE_EQ(w->GetRaw(2, 4), TraceWord(4, 2));

  w->ShowBuffer(labels, 1, 0, TraceAnswer(7, 0, 10));
  EXPECT_EQ(w->GetSampleCount(), 0u);

  // Empty buffers draw nothing.
  w->ShowBuffer(labels, 1, 0, TraceAnswer(7, 6, 0));
  ASSERT_EQ(w->GetChart()->GetSeriesCount(), 6);
  EXPECT_EQ(w->GetSerie(0)->GetPointsCount(), 0);
  Type(w->GetGainItem(0), QStringLiteral("3"));
  EXPECT_EQ(w->GetSerie(0)->GetPointsCount(), 0);
  const QImage image = RenderChart(*w->GetChart());
  for (int t = 0; t < 6; ++t)
    EXPECT_EQ(CountColour(image, ToQColor(w->GetChart()->GetSeriesColorTable(t)).rgb()), 0) << t;
}

TEST_F(MemBuffDlgTest, TheRenderedChartShowsEachCurveInItsColour)
{
  auto w = Make();
  CRequestPacket p = TraceAnswer(7, 2, 100);
  for (int i = 0; i < 100; ++i) {
    p.wAnsData[static_cast<size_t>(2 * i)] = static_cast<uint16_t>(i < 50 ? 10000 : -10000);
    p.wAnsData[static_cast<size_t>(2 * i + 1)] = static_cast<uint16_t>(-20000);
  }
  w->ShowBuffer(labels, 1, 0, p);
  CChartCtrl &chart = *w->GetChart();
  const QImage image = RenderChart(chart);
  const QRect plot = chart.PlotRect(image.rect());
  const QRgb c0 = ToQColor(chart.GetSeriesColorTable(0)).rgb();
  const QRgb c1 = ToQColor(chart.GetSeriesColorTable(1)).rgb();
  // Track 0 is a step from +10000 to -10000: two long runs and one rise.
  EXPECT_GT(CountColour(image, c0), plot.width() * 9 / 10);
  EXPECT_GT(CountColour(image, c1), plot.width() * 9 / 10);
  const int y10000 = plot.bottom() - int(std::lround((10000.0 + 33000.0) * plot.height() / 66000.0));
  const int yMinus20000 = plot.bottom() - int(std::lround((-20000.0 + 33000.0) * plot.height() / 66000.0));
  const int xQuarter = plot.left() + plot.width() / 4;
  int hits0 = 0, hits1 = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    hits0 += (image.pixel(xQuarter, y10000 + dy) & 0xFFFFFF) == (c0 & 0xFFFFFF);
    hits1 += (image.pixel(xQuarter, yMinus20000 + dy) & 0xFFFFFF) == (c1 & 0xFFFFFF);
  }
  EXPECT_EQ(hits0, 1) << "track 0 at +10000 in its first half";
  EXPECT_EQ(hits1, 1) << "track 1 flat at -20000";

  // Hiding the axis and the grid keeps the curves.
  auto *show = static_cast<COptionTreeItemCheckBox *>(w->GetTree()->FindItemByCtrlID(CMemBuffDlg::IDC_SHOW_AXIS));
  show->GetTreeItem()->setCheckState(1, Qt::Unchecked);
  EXPECT_FALSE(chart.GetLeftAxis()->IsVisible());
  EXPECT_EQ(show->GetTreeItem()->text(1), QStringLiteral("Hide"));
  auto *grid = static_cast<COptionTreeItemCheckBox *>(w->GetTree()->FindItemByCtrlID(CMemBuffDlg::IDC_SHOW_GRID));
  grid->GetTreeItem()->setCheckState(1, Qt::Unchecked);
  EXPECT_FALSE(chart.GetLeftAxis()->GetGrid()->IsVisible());
  const QImage bare = RenderChart(chart);
  EXPECT_GT(CountColour(bare, c0), plot.width() * 9 / 10);
  // The window's grey fills the plot area too, not only the frame around it.
  const QRect inside = chart.PlotRect(bare.rect());
  EXPECT_EQ(bare.pixel(inside.left() + 3, inside.top() + 3) & 0xFFFFFF, 0xCCCCCCu);
  EXPECT_EQ(CountColour(bare, qRgb(255, 255, 255)), 0);
}

TEST_F(MemBuffDlgTest, GainAndOffsetRedrawTheTrackAndBecomeTheDefaults)
{
  auto w = Make();
  CRequestPacket p = TraceAnswer(7, 1, 5);
  p.wAnsData.assign(5, 50);
  w->ShowBuffer(labels, 1, 0, p);
  EXPECT_EQ(w->GetSerie(0)->GetPointsCount(), 9);
  Type(w->GetGainItem(0), QStringLiteral("2"));
  Type(w->GetOffsetItem(0), QStringLiteral("100"));
  EXPECT_DOUBLE_EQ(w->GetGain(0), 2);
  EXPECT_DOUBLE_EQ(w->GetOffset(0), 100);
  EXPECT_DOUBLE_EQ(w->GetSerie(0)->GetYPointValue(3), 200);
  EXPECT_EQ(w->GetSerie(0)->GetPointsCount(), 8);

  auto later = Make();
  EXPECT_DOUBLE_EQ(later->GetGain(0), 2);
  EXPECT_DOUBLE_EQ(later->GetOffset(0), 100);
  EXPECT_EQ(later->GetGainItem(0)->GetWindowText(), QStringLiteral("2"));

  // Text that is no finite number is refused and shows the value in use.
  for (const char *bad : {"nan", "inf", "abc", "", "2x"}) {
    Type(w->GetGainItem(0), QString::fromLatin1(bad));
    EXPECT_DOUBLE_EQ(w->GetGain(0), 2) << bad;
    EXPECT_EQ(w->GetGainItem(0)->GetWindowText(), QStringLiteral("2")) << bad;
  }
  EXPECT_DOUBLE_EQ(w->GetSerie(0)->GetYPointValue(0), 200);
  EXPECT_DOUBLE_EQ(CMemBuffDlg::DefaultGains()[0], 2);
}

TEST_F(MemBuffDlgTest, AxisLimitsThatCrossOrDoNotReadAreRestored)
{
  auto w = Make();
  auto *min = static_cast<COptionTreeItemEdit *>(w->GetTree()->FindItemByCtrlID(CMemBuffDlg::IDC_AXIS_MIN));
  auto *max = static_cast<COptionTreeItemEdit *>(w->GetTree()->FindItemByCtrlID(CMemBuffDlg::IDC_AXIS_MAX));
  Type(min, QStringLiteral("40000"));
  EXPECT_EQ(min->GetWindowText(), QStringLiteral("-33000"));
  Type(max, QStringLiteral("-33000"));
  EXPECT_EQ(max->GetWindowText(), QStringLiteral("33000"));
  Type(max, QStringLiteral("1.5"));
  EXPECT_EQ(max->GetWindowText(), QStringLiteral("33000"));
  Type(min, QStringLiteral("-100"));
  Type(max, QStringLiteral("500"));
  EXPECT_DOUBLE_EQ(w->GetAxisMin(), -100);
  EXPECT_DOUBLE_EQ(w->GetAxisMax(), 500);
  EXPECT_DOUBLE_EQ(w->GetChart()->GetLeftAxis()->GetMin(), -100);
  EXPECT_DOUBLE_EQ(w->GetChart()->GetLeftAxis()->GetMax(), 500);
  EXPECT_FALSE(w->GetChart()->GetLeftAxis()->IsAutomatic());
}

TEST_F(MemBuffDlgTest, AWindowSavesLoadsAndSavesToTheSameBytes)
{
  auto w = Make();
  labels = {QStringLiteral("speed"), {}, QStringLiteral("Iq"), {}, {}, QStringLiteral("Ud")};
  w->ShowBuffer(labels, 0.25f, 5.0f, TraceAnswer(7, 6, 250));
  Type(w->GetGainItem(2), QStringLiteral("0.5"));
  const QByteArray once = Saved(*w);
  EXPECT_EQ(once.count("\r\n"), 254);
  EXPECT_TRUE(once.startsWith("speed;Track 1;Iq;Track 3;Track 4;Ud\r\n1;1;0.5;1;1;1\r\n"));

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("buf.csv"));
  ASSERT_TRUE(WriteFile(path, once));

  CMemBuffDlg::DefaultGains().fill(7.0);
  auto loaded = Make();
  loaded->LoadBuffer(path);
  EXPECT_EQ(env.prompter().asked.size(), 0u);
  EXPECT_EQ(loaded->GetSampleCount(), 250u);
  EXPECT_EQ(loaded->GetTrackLabel(5), QStringLiteral("Ud"));
  EXPECT_DOUBLE_EQ(loaded->GetGain(0), 1);
  EXPECT_EQ(loaded->GetGainItem(2)->GetWindowText(), QStringLiteral("0.5"));
  EXPECT_EQ(loaded->GetSamplingItem()->GetWindowText(), QStringLiteral("0.250 ms"));
  EXPECT_EQ(loaded->GetSerie(0)->GetPointsCount(), 498);
  EXPECT_EQ(CMemBuffDlg::DefaultGains()[0], 7.0) << "a load leaves the shared defaults alone";
  EXPECT_EQ(loaded->GetPacket(), nullptr);
  EXPECT_EQ(Saved(*loaded), once);
}

TEST_F(MemBuffDlgTest, AFileThatCannotBeReadIsReportedAndLeavesNoSeries)
{
  auto w = Make();
  w->LoadBuffer(QStringLiteral("/nonexistent-velotrix/buf.csv"));
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(env.prompter().asked[0].text, QStringLiteral("Errore lettura file"));
  EXPECT_EQ(w->GetChart()->GetSeriesCount(), 0);
  Type(w->GetOffsetItem(3), QStringLiteral("5"));
  EXPECT_DOUBLE_EQ(w->GetOffset(3), 5);
  EXPECT_EQ(w->GetChart()->GetSeriesCount(), 0);
  EXPECT_EQ(Saved(*w).count("\r\n"), 4) << "a window without data saves the header lines only";

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("short.csv"));
  ASSERT_TRUE(WriteFile(path, "A;B;C\r\n2;3\r\n"));
  auto shortFile = Make();
  shortFile->LoadBuffer(path);
  EXPECT_EQ(env.prompter().asked.size(), 2u);
  EXPECT_EQ(shortFile->GetTrackLabel(2), QStringLiteral("Track 2")) << "a header cut short changes nothing";
  EXPECT_DOUBLE_EQ(shortFile->GetGain(1), 1);
  EXPECT_EQ(shortFile->GetGainItem(1)->GetWindowText(), QStringLiteral("1"));
  EXPECT_EQ(shortFile->GetChart()->GetSeriesCount(), 0);

  // Nothing waits on a FIFO or reads a device or an oversized file.
  for (const QString &hostile : MakeHostileFiles(dir.path())) {
    SCOPED_TRACE(hostile.toStdString());
    const std::size_t asked = env.prompter().asked.size();
    QElapsedTimer clock;
    clock.start();
    auto w2 = Make();
    w2->LoadBuffer(hostile);
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_EQ(env.prompter().asked.size(), asked + 1);
    EXPECT_EQ(env.prompter().asked.back().text, QStringLiteral("Errore lettura file"));
    EXPECT_EQ(w2->GetChart()->GetSeriesCount(), 0);
  }
}
