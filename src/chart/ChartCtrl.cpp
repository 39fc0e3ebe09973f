#include "chart/ChartCtrl.h"

#include "platform/Format.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

constexpr COLORREF kSeriesColors[CChartCtrl::kColorTableSize] = {RGB(0, 0, 255),   RGB(255, 0, 0),   RGB(0, 128, 0),
                                                                 RGB(255, 0, 255), RGB(255, 128, 0), RGB(0, 160, 160),
                                                                 RGB(128, 0, 64),  RGB(96, 96, 96)};
// Dark enough to show on the grey plot area, apart from every series colour.
const QColor kGridColor(140, 140, 140);

constexpr int kLeftMargin = 56;
constexpr int kBottomMargin = 22;
constexpr int kEdge = 8;
constexpr int kTickLength = 4;
// Points far outside the plot are pulled in to this distance so the
// painter's integer arithmetic never overflows.
constexpr double kPixelLimit = 1.0e5;

// A round tick step giving about `ticks` intervals over the span.
double TickStep(double span, int ticks)
{
  if (!(span > 0) || !std::isfinite(span))
    return 1.0;
  const double raw = span / std::max(1, ticks);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double unit = raw / power;
  const double nice = unit < 1.5 ? 1.0 : unit < 3.0 ? 2.0 : unit < 7.0 ? 5.0 : 10.0;
  return nice * power;
}

QString TickText(double value, double step)
{
  if (std::fabs(value) < step * 1e-9)
    value = 0.0;
  return vtx::Format(u"%g", value);
}

double Clamp(double v)
{
  return std::clamp(v, -kPixelLimit, kPixelLimit);
}

} // namespace

void CChartGrid::SetVisible(bool bVisible)
{
  m_bVisible = bVisible;
  Q_UNUSED(m_pParent);
}

CChartAxis::CChartAxis(CChartCtrl *pParent, Position position)
    : m_pParent(pParent), m_position(position), m_grid(pParent)
{
}

void CChartAxis::SetMinMax(double dMin, double dMax)
{
  m_dMin = dMin;
  m_dMax = dMax;
  m_bAutomatic = false;
  m_pParent->RefreshCtrl();
}

void CChartAxis::SetAutomatic(bool bAutomatic)
{
  m_bAutomatic = bAutomatic;
  m_pParent->RefreshCtrl();
}

void CChartAxis::SetVisible(bool bVisible)
{
  m_bVisible = bVisible;
}

void CChartAxis::GetDisplayRange(double &dMin, double &dMax) const
{
  dMin = m_dMin;
  dMax = m_dMax;
  if (m_bAutomatic) {
    bool any = false;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (int i = 0; i < m_pParent->GetSeriesCount(); ++i) {
      double xMin, xMax, yMin, yMax;
      if (!m_pParent->GetSerie(i)->GetBounds(xMin, xMax, yMin, yMax))
        continue;
      any = true;
      lo = std::min(lo, m_position == BottomAxis ? xMin : yMin);
      hi = std::max(hi, m_position == BottomAxis ? xMax : yMax);
    }
    if (any) {
      dMin = lo;
      dMax = hi;
    }
  }
  if (!std::isfinite(dMin) || !std::isfinite(dMax)) {
    dMin = 0.0;
    dMax = 10.0;
  }
  if (dMin > dMax)
    std::swap(dMin, dMax);
  // A flat range still needs a height to map onto.
  if (!(dMax - dMin > std::fabs(dMax) * 1e-12) || !std::isfinite(dMax - dMin)) {
    const double pad = std::max(1.0, std::fabs(dMin) * 0.05);
    if (std::isfinite(dMax - dMin)) {
      dMin -= pad;
      dMax += pad;
    } else {
      dMin = -std::numeric_limits<double>::max() / 4;
      dMax = std::numeric_limits<double>::max() / 4;
    }
  }
}

CChartSerie::CChartSerie(CChartCtrl *pParent, COLORREF color) : m_pParent(pParent), m_color(color) {}

void CChartSerie::SetSeriesOrdering(int ordering)
{
  m_ordering = ordering;
  Reorder();
  m_pParent->RefreshCtrl();
}

void CChartSerie::SetPoints(const double *pX, const double *pY, int count)
{
  m_x.clear();
  m_y.clear();
  if (count > 0 && pX && pY) {
    m_x.assign(pX, pX + count);
    m_y.assign(pY, pY + count);
    Reorder();
  }
  m_pParent->RefreshCtrl();
}

void CChartSerie::ClearSerie()
{
  m_x.clear();
  m_y.clear();
  m_pParent->RefreshCtrl();
}

void CChartSerie::Reorder()
{
  if (m_ordering == NoOrdering || m_x.size() < 2)
    return;
  const std::vector<double> &key = m_ordering == XOrdering ? m_x : m_y;
  std::vector<size_t> order(m_x.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key[a] < key[b]; });
  std::vector<double> x(m_x.size()), y(m_y.size());
  for (size_t i = 0; i < order.size(); ++i) {
    x[i] = m_x[order[i]];
    y[i] = m_y[order[i]];
  }
  m_x.swap(x);
  m_y.swap(y);
}

bool CChartSerie::GetBounds(double &xMin, double &xMax, double &yMin, double &yMax) const
{
  bool any = false;
  for (size_t i = 0; i < m_x.size(); ++i) {
    if (!std::isfinite(m_x[i]) || !std::isfinite(m_y[i]))
      continue;
    if (!any) {
      xMin = xMax = m_x[i];
      yMin = yMax = m_y[i];
      any = true;
      continue;
    }
    xMin = std::min(xMin, m_x[i]);
    xMax = std::max(xMax, m_x[i]);
    yMin = std::min(yMin, m_y[i]);
    yMax = std::max(yMax, m_y[i]);
  }
  return any;
}

CChartCtrl::CChartCtrl(QWidget *parent) : QWidget(parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent);
}

CChartCtrl::~CChartCtrl() = default;

CChartAxis *CChartCtrl::CreateStandardAxis(int position)
{
  std::unique_ptr<CChartAxis> &slot = position == CChartAxis::LeftAxis ? m_pLeftAxis : m_pBottomAxis;
  if (position != CChartAxis::LeftAxis && position != CChartAxis::BottomAxis)
    return nullptr;
  if (!slot)
    slot = std::make_unique<CChartAxis>(this, static_cast<CChartAxis::Position>(position));
  RefreshCtrl();
  return slot.get();
}

void CChartCtrl::SetBackColor(COLORREF color)
{
  m_backColor = color;
  RefreshCtrl();
}

COLORREF CChartCtrl::GetSeriesColorTable(int index) const
{
  if (index < 0)
    index = 0;
  return kSeriesColors[index % kColorTableSize];
}

CChartLineSerie *CChartCtrl::CreateLineSerie(bool bSecondaryHorizAxis, bool bSecondaryVertAxis)
{
  // One pair of axes here: the secondary ones fall back on the primary.
  Q_UNUSED(bSecondaryHorizAxis);
  Q_UNUSED(bSecondaryVertAxis);
  auto serie = std::make_unique<CChartLineSerie>(this, GetSeriesColorTable(GetSeriesCount()));
  CChartLineSerie *raw = serie.get();
  m_series.push_back(std::move(serie));
  RefreshCtrl();
  return raw;
}

CChartSerie *CChartCtrl::GetSerie(int index) const
{
  if (index < 0 || index >= GetSeriesCount())
    return nullptr;
  return m_series[static_cast<size_t>(index)].get();
}

void CChartCtrl::RefreshCtrl()
{
  update();
}

void CChartCtrl::paintEvent(QPaintEvent *)
{
  QPainter painter(this);
  Draw(painter, rect());
}

QRect CChartCtrl::PlotRect(const QRect &rect) const
{
  const int left = (m_pLeftAxis && m_pLeftAxis->IsVisible()) ? kLeftMargin : kEdge;
  const int bottom = (m_pBottomAxis && m_pBottomAxis->IsVisible()) ? kBottomMargin : kEdge;
  return rect.adjusted(left, kEdge, -kEdge, -bottom);
}

void CChartCtrl::Draw(QPainter &painter, const QRect &rect) const
{
  painter.fillRect(rect, ToQColor(m_backColor));
  const QRect plot = PlotRect(rect);
  if (plot.width() < 2 || plot.height() < 2)
    return;
  double xMin = 0.0, xMax = 10.0, yMin = 0.0, yMax = 10.0;
  if (m_pBottomAxis)
    m_pBottomAxis->GetDisplayRange(xMin, xMax);
  if (m_pLeftAxis)
    m_pLeftAxis->GetDisplayRange(yMin, yMax);
  DrawLeftAxis(painter, plot, yMin, yMax);
  DrawBottomAxis(painter, plot, xMin, xMax);
  DrawSeries(painter, plot, xMin, xMax, yMin, yMax);
  painter.setPen(Qt::black);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plot.adjusted(0, 0, -1, -1));
}

void CChartCtrl::DrawLeftAxis(QPainter &painter, const QRect &plot, double yMin, double yMax) const
{
  if (!m_pLeftAxis)
    return;
  const double step = TickStep(yMax - yMin, std::max(2, plot.height() / 40));
  const double first = std::ceil(yMin / step) * step;
  const double scale = plot.height() / (yMax - yMin);
  const QFontMetrics fm = painter.fontMetrics();
  for (int k = 0; k < 200; ++k) {
    const double v = first + k * step;
    if (v > yMax + step * 1e-9)
      break;
    const int y = plot.bottom() - static_cast<int>(std::lround((v - yMin) * scale));
    if (m_pLeftAxis->GetGrid()->IsVisible()) {
      painter.setPen(QPen(kGridColor, 0, Qt::DotLine));
      painter.drawLine(plot.left(), y, plot.right(), y);
    }
    if (m_pLeftAxis->IsVisible()) {
      painter.setPen(Qt::black);
      painter.drawLine(plot.left() - kTickLength, y, plot.left(), y);
      const QString text = TickText(v, step);
      painter.drawText(QRect(0, y - fm.height() / 2, plot.left() - kTickLength - 2, fm.height()),
                       Qt::AlignRight | Qt::AlignVCenter, text);
    }
  }
}

void CChartCtrl::DrawBottomAxis(QPainter &painter, const QRect &plot, double xMin, double xMax) const
{
  if (!m_pBottomAxis)
    return;
  const double step = TickStep(xMax - xMin, std::max(2, plot.width() / 80));
  const double first = std::ceil(xMin / step) * step;
  const double scale = plot.width() / (xMax - xMin);
  const QFontMetrics fm = painter.fontMetrics();
  for (int k = 0; k < 200; ++k) {
    const double v = first + k * step;
    if (v > xMax + step * 1e-9)
      break;
    const int x = plot.left() + static_cast<int>(std::lround((v - xMin) * scale));
    if (m_pBottomAxis->GetGrid()->IsVisible()) {
      painter.setPen(QPen(kGridColor, 0, Qt::DotLine));
      painter.drawLine(x, plot.top(), x, plot.bottom());
    }
    if (m_pBottomAxis->IsVisible()) {
      painter.setPen(Qt::black);
      painter.drawLine(x, plot.bottom(), x, plot.bottom() + kTickLength);
      const QString text = TickText(v, step);
      const int w = fm.horizontalAdvance(text);
      painter.drawText(x - w / 2, plot.bottom() + kTickLength + fm.ascent() + 1, text);
    }
  }
}

void CChartCtrl::DrawSeries(QPainter &painter, const QRect &plot, double xMin, double xMax, double yMin,
                            double yMax) const
{
  painter.save();
  painter.setClipRect(plot);
  const double sx = plot.width() / (xMax - xMin);
  const double sy = plot.height() / (yMax - yMin);
  QPolygonF line;
  for (const auto &serie : m_series) {
    painter.setPen(QPen(ToQColor(serie->GetColor()), 0));
    line.clear();
    const int n = serie->GetPointsCount();
    // A point that is not a number breaks the line rather than bending it.
    for (int i = 0; i < n; ++i) {
      const double x = serie->GetXPointValue(i);
      const double y = serie->GetYPointValue(i);
      if (!std::isfinite(x) || !std::isfinite(y)) {
        if (line.size() > 1)
          painter.drawPolyline(line);
        line.clear();
        continue;
      }
      line.append(QPointF(Clamp(plot.left() + (x - xMin) * sx), Clamp(plot.bottom() - (y - yMin) * sy)));
    }
    if (line.size() > 1)
      painter.drawPolyline(line);
    else if (line.size() == 1)
      painter.drawPoint(line.front());
  }
  painter.restore();
}
