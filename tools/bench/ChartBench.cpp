// Redraw time of a buffer chart holding 6 step curves of 1000 samples, drawn
// into an off-screen image the size of a maximised chart window. Prints
// figures; asserts nothing.
#include "chart/ChartCtrl.h"
#include "modbus/RequestPacket.h"
#include "trace/MemBuffDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

CRequestPacket FullBuffer()
{
  CRequestPacket p;
  p.message = ANS_READ_TRACE;
  p.trace_tracks = 6;
  p.trace_samples = 1000;
  for (int i = 0; i < 1000; ++i)
    for (int t = 0; t < 6; ++t)
      p.wAnsData.push_back(static_cast<uint16_t>(
          static_cast<int16_t>(20000 * std::sin(i * (0.01 + 0.004 * t)) + 3000 * std::sin(i * 0.37 * (t + 1)))));
  return p;
}

void Report(const char *what, std::vector<double> ms)
{
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double v : ms)
    sum += v;
  std::printf("%-34s runs %4zu  min %7.3f ms  median %7.3f ms  mean %7.3f ms  max %7.3f ms\n", what, ms.size(),
              ms.front(), ms[ms.size() / 2], sum / double(ms.size()), ms.back());
}

} // namespace

int main(int argc, char **argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  constexpr int kRuns = 200;

  CMemBuffDlg window;
  window.Create(nullptr);
  window.resize(1280, 760);
  window.show();
  window.ShowBuffer({}, 0.5f, 2.0f, FullBuffer());
  CChartCtrl &chart = *window.GetChart();
  std::printf("chart %dx%d, %d series of %d points\n", chart.width(), chart.height(), chart.GetSeriesCount(),
              chart.GetSerie(0)->GetPointsCount());

  QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
  std::vector<double> draw, grab, replot;
  QElapsedTimer timer;
  for (int r = 0; r < kRuns; ++r) {
    timer.start();
    {
      QPainter painter(&image);
      chart.Draw(painter, image.rect());
    }
    draw.push_back(timer.nsecsElapsed() / 1e6);

    timer.start();
    const QPixmap shot = chart.grab();
    grab.push_back(timer.nsecsElapsed() / 1e6);
  }
  for (int r = 0; r < kRuns / 4; ++r) {
    timer.start();
    window.ShowBuffer({}, 0.5f, 2.0f, FullBuffer());
    QPainter painter(&image);
    chart.Draw(painter, image.rect());
    replot.push_back(timer.nsecsElapsed() / 1e6);
  }
  Report("redraw 6 x 1000 (QImage)", draw);
  Report("redraw 6 x 1000 (widget grab)", grab);
  Report("new buffer + redraw", replot);
  std::printf("goal: redraw under 10 ms (this build: %s)\n", VELOTRIX_BUILD_TYPE);
  return 0;
}
