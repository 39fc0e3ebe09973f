#pragma once

#include "platform/ColorRef.h"

#include <QWidget>

#include <memory>
#include <vector>

class CChartCtrl;
class QPainter;

// The grid lines of one axis, drawn at its ticks.
class CChartGrid {
public:
  explicit CChartGrid(CChartCtrl *pParent) : m_pParent(pParent) {}
  void SetVisible(bool bVisible);
  bool IsVisible() const { return m_bVisible; }

private:
  CChartCtrl *m_pParent; // not owned
  bool m_bVisible = true;
};

// One axis of the chart: a fixed range, or automatic (the range of the
// series' points).
class CChartAxis {
public:
  enum Position { LeftAxis = 0, BottomAxis = 1 };

  CChartAxis(CChartCtrl *pParent, Position position);

  void SetMinMax(double dMin, double dMax);
  void SetAutomatic(bool bAutomatic);
  void SetVisible(bool bVisible);
  CChartGrid *GetGrid() { return &m_grid; }
  const CChartGrid *GetGrid() const { return &m_grid; }

  Position GetPosition() const { return m_position; }
  bool IsAutomatic() const { return m_bAutomatic; }
  bool IsVisible() const { return m_bVisible; }
  double GetMin() const { return m_dMin; }
  double GetMax() const { return m_dMax; }
  // The range drawn: the fixed one, or that of the points when automatic;
  // never empty.
  void GetDisplayRange(double &dMin, double &dMax) const;

private:
  CChartCtrl *m_pParent; // not owned
  Position m_position;
  CChartGrid m_grid;
  double m_dMin = 0.0;
  double m_dMax = 10.0;
  bool m_bAutomatic = false;
  bool m_bVisible = true;
};

// Points drawn in one colour, in the order given or sorted.
class CChartSerie {
public:
  enum Ordering { NoOrdering = 0, XOrdering = 1, YOrdering = 2 };

  CChartSerie(CChartCtrl *pParent, COLORREF color);
  virtual ~CChartSerie() = default;

  void SetSeriesOrdering(int ordering);
  // Copies count points; a count of 0 or less leaves the series empty.
  void SetPoints(const double *pX, const double *pY, int count);
  void ClearSerie();

  int GetPointsCount() const { return static_cast<int>(m_x.size()); }
  double GetXPointValue(int i) const { return m_x[static_cast<size_t>(i)]; }
  double GetYPointValue(int i) const { return m_y[static_cast<size_t>(i)]; }
  COLORREF GetColor() const { return m_color; }
  int GetOrdering() const { return m_ordering; }
  // Smallest and largest finite X and Y; false when there is none.
  bool GetBounds(double &xMin, double &xMax, double &yMin, double &yMax) const;

protected:
  void Reorder();

  CChartCtrl *m_pParent; // not owned
  COLORREF m_color;
  int m_ordering = XOrdering;
  std::vector<double> m_x;
  std::vector<double> m_y;
};

// A series drawn as a polyline through its points.
class CChartLineSerie : public CChartSerie {
public:
  using CChartSerie::CChartSerie;
};

// A painted XY chart with a left and a bottom axis and line series.
// GUI thread only.
class CChartCtrl : public QWidget {
  Q_OBJECT
public:
  explicit CChartCtrl(QWidget *parent = nullptr);
  ~CChartCtrl() override;

  // Creates the axis of that position (0 left, 1 bottom) once; returns it.
  CChartAxis *CreateStandardAxis(int position);
  CChartAxis *GetLeftAxis() const { return m_pLeftAxis.get(); }
  CChartAxis *GetBottomAxis() const { return m_pBottomAxis.get(); }

  void SetBackColor(COLORREF color);
  COLORREF GetBackColor() const { return m_backColor; }
  // The colour in which the series of that creation index is drawn.
  COLORREF GetSeriesColorTable(int index) const;

  // A new series in the next colour of the table; the chart owns it.
  CChartLineSerie *CreateLineSerie(bool bSecondaryHorizAxis, bool bSecondaryVertAxis);
  int GetSeriesCount() const { return static_cast<int>(m_series.size()); }
  CChartSerie *GetSerie(int index) const;

  void RefreshCtrl();
  // Paints the whole chart into rect; paintEvent and off-screen renders share it.
  void Draw(QPainter &painter, const QRect &rect) const;
  // Where the series are drawn within a chart of that size.
  QRect PlotRect(const QRect &rect) const;

  static constexpr int kColorTableSize = 8;

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  void DrawLeftAxis(QPainter &painter, const QRect &plot, double yMin, double yMax) const;
  void DrawBottomAxis(QPainter &painter, const QRect &plot, double xMin, double xMax) const;
  void DrawSeries(QPainter &painter, const QRect &plot, double xMin, double xMax, double yMin, double yMax) const;

  std::unique_ptr<CChartAxis> m_pLeftAxis;
  std::unique_ptr<CChartAxis> m_pBottomAxis;
  std::vector<std::unique_ptr<CChartSerie>> m_series;
  COLORREF m_backColor = RGB(255, 255, 255);
};
