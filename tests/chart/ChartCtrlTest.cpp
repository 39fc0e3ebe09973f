#include "chart/ChartCtrl.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Chart {
  Chart()
  {
    chart.resize(400, 300);
    chart.CreateStandardAxis(CChartAxis::LeftAxis);
    chart.CreateStandardAxis(CChartAxis::BottomAxis);
    chart.GetLeftAxis()->SetMinMax(-100, 100);
    chart.GetBottomAxis()->SetAutomatic(true);
  }
  QImage Render()
  {
    QImage image(chart.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    chart.Draw(painter, image.rect());
    return image;
  }
  int Count(const QImage &image, COLORREF c)
  {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        n += (image.pixel(x, y) & 0xFFFFFF) == (ToQColor(c).rgb() & 0xFFFFFF);
    return n;
  }
  CChartCtrl chart;
};

} // namespace

TEST(ChartCtrl, SeriesTakeTheColoursOfTheTableInCreationOrder)
{
  Chart c;
  EXPECT_EQ(c.chart.CreateStandardAxis(CChartAxis::LeftAxis), c.chart.GetLeftAxis()) << "made once";
  EXPECT_EQ(c.chart.CreateStandardAxis(7), nullptr);
  CChartLineSerie *a = c.chart.CreateLineSerie(false, false);
  CChartLineSerie *b = c.chart.CreateLineSerie(false, false);
  EXPECT_EQ(a->GetColor(), c.chart.GetSeriesColorTable(0));
  EXPECT_EQ(b->GetColor(), c.chart.GetSeriesColorTable(1));
  EXPECT_NE(a->GetColor(), b->GetColor());
  EXPECT_EQ(c.chart.GetSerie(1), b);
  EXPECT_EQ(c.chart.GetSerie(2), nullptr);
  EXPECT_EQ(c.chart.GetSeriesColorTable(CChartCtrl::kColorTableSize), c.chart.GetSeriesColorTable(0));
}

TEST(ChartCtrl, OrderingDecidesWhetherPointsAreSorted)
{
  Chart c;
  const double x[] = {0, 1, 1, 2, 2, 0.5};
  const double y[] = {5, 5, 7, 7, 9, 1};
  CChartLineSerie *s = c.chart.CreateLineSerie(false, false);
  s->SetSeriesOrdering(CChartSerie::NoOrdering);
  s->SetPoints(x, y, 6);
  EXPECT_DOUBLE_EQ(s->GetXPointValue(5), 0.5) << "no ordering keeps the given order";
  EXPECT_DOUBLE_EQ(s->GetYPointValue(2), 7);
  s->SetSeriesOrdering(CChartSerie::XOrdering);
  EXPECT_DOUBLE_EQ(s->GetXPointValue(1), 0.5);
  EXPECT_DOUBLE_EQ(s->GetYPointValue(2), 5) << "equal X keep their order";
  EXPECT_DOUBLE_EQ(s->GetYPointValue(3), 7);
  s->SetPoints(x, y, -3);
  EXPECT_EQ(s->GetPointsCount(), 0);
  s->SetPoints(x, y, 2);
  s->ClearSerie();
  EXPECT_EQ(s->GetPointsCount(), 0);
}

TEST(ChartCtrl, AutomaticAxesFollowTheFinitePoints)
{
  Chart c;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double x[] = {2, 3, nan, 40};
  const double y[] = {1, -5, 3, 8};
  c.chart.CreateLineSerie(false, false)->SetPoints(x, y, 4);
  double lo = 0, hi = 0;
  c.chart.GetBottomAxis()->GetDisplayRange(lo, hi);
  EXPECT_DOUBLE_EQ(lo, 2);
  EXPECT_DOUBLE_EQ(hi, 40);
  c.chart.GetLeftAxis()->GetDisplayRange(lo, hi);
  EXPECT_DOUBLE_EQ(lo, -100) << "a fixed axis keeps its range";
  c.chart.GetLeftAxis()->SetAutomatic(true);
  c.chart.GetLeftAxis()->GetDisplayRange(lo, hi);
  EXPECT_DOUBLE_EQ(lo, -5);
  EXPECT_DOUBLE_EQ(hi, 8);

  Chart flat;
  const double one[] = {3};
  flat.chart.CreateLineSerie(false, false)->SetPoints(one, one, 1);
  flat.chart.GetBottomAxis()->GetDisplayRange(lo, hi);
  EXPECT_LT(lo, 3);
  EXPECT_GT(hi, 3) << "a single point still gets a width";
}

TEST(ChartCtrl, DrawsCurvesAndSurvivesValuesBeyondAnyScale)
{
  Chart c;
  const double inf = std::numeric_limits<double>::infinity();
  const double x[] = {0, 1, 2, 3, 4, 5, 6};
  const double y[] = {0, 50, inf, -50, 1e300, -1e300, std::nan("")};
  CChartLineSerie *s = c.chart.CreateLineSerie(false, false);
  s->SetSeriesOrdering(CChartSerie::NoOrdering);
  s->SetPoints(x, y, 7);
  const QImage image = c.Render();
  EXPECT_GT(c.Count(image, s->GetColor()), 20);

  c.chart.SetBackColor(RGB(204, 204, 204));
  c.chart.GetLeftAxis()->SetVisible(false);
  c.chart.GetLeftAxis()->GetGrid()->SetVisible(false);
  EXPECT_LT(c.chart.PlotRect(c.chart.rect()).left(), 20) << "a hidden axis gives its room to the plot";
  const QImage hidden = c.Render();
  EXPECT_EQ(hidden.pixel(1, 1) & 0xFFFFFF, 0xCCCCCCu);
  s->ClearSerie();
  EXPECT_EQ(c.Count(c.Render(), s->GetColor()), 0);
}
