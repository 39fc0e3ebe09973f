#include "XGlyphButton.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyleOptionButton>

#include <algorithm>
#include <cmath>

CXGlyphButton::CXGlyphButton(QWidget *parent) : QPushButton(parent)
{
  ReconstructFont();
  SetGlyph(m_nGlyph);
}

int CXGlyphButton::PointsToHeight(int points)
{
  const QScreen *screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
  return -static_cast<int>(std::lround(points * dpi / 72.0));
}

void CXGlyphButton::SetWingDingButton(unsigned glyph)
{
  m_lf.lfCharSet = 2;
  m_lf.lfHeight = PointsToHeight(14);
  m_lf.lfWeight = 400;
  m_lf.lfFaceName = QStringLiteral("WingDings");
  SetGlyph(static_cast<int>(glyph));
  ReconstructFont();
}

void CXGlyphButton::SetGlyph(int glyph)
{
  m_nGlyph = glyph;
  setText(QString(QChar(static_cast<char16_t>(glyph & 0xFF))));
}

void CXGlyphButton::ReconstructFont()
{
  m_lf.lfQuality = 5;
  QFont f(m_lf.lfFaceName);
  f.setPixelSize(std::max(1, std::abs(m_lf.lfHeight)));
  f.setWeight(static_cast<QFont::Weight>(std::clamp(m_lf.lfWeight, 100, 900)));
  setFont(f);
}

bool CXGlyphButton::HasPictogram() const
{
  const int code = m_nGlyph & 0xFF;
  return code == GlyphOpen || code == GlyphSave || code == GlyphClose;
}

void CXGlyphButton::paintEvent(QPaintEvent *event)
{
  if (!HasPictogram()) {
    QPushButton::paintEvent(event);
    return;
  }
  QPainter p(this);
  QStyleOptionButton opt;
  initStyleOption(&opt);
  opt.text.clear();
  style()->drawControl(QStyle::CE_PushButton, &opt, &p, this);

  // The pictogram fills a square of the font's height, centred.
  const int s = std::min({std::abs(m_lf.lfHeight), width() - 4, height() - 4});
  if (s < 4)
    return;
  QRectF box((width() - s) / 2.0, (height() - s) / 2.0, s, s);
  if (isDown())
    box.translate(1, 1);
  const QColor ink = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
  p.setRenderHint(QPainter::Antialiasing);
  const double u = s / 16.0;
  auto at = [&](double x, double y) { return QPointF(box.left() + x * u, box.top() + y * u); };
  switch (m_nGlyph & 0xFF) {
  case GlyphOpen: { // an open folder
    QPainterPath back;
    back.moveTo(at(1, 3));
    back.lineTo(at(6, 3));
    back.lineTo(at(7.5, 4.5));
    back.lineTo(at(13, 4.5));
    back.lineTo(at(13, 7));
    QPainterPath front;
    front.moveTo(at(1, 3));
    front.lineTo(at(1, 13));
    front.lineTo(at(12.5, 13));
    front.lineTo(at(15, 7));
    front.lineTo(at(4, 7));
    front.lineTo(at(1, 13));
    p.setPen(QPen(ink, std::max(1.0, u)));
    p.setBrush(Qt::NoBrush);
    p.drawPath(back);
    p.drawPath(front);
    break;
  }
  case GlyphSave: { // a floppy disk
    p.setPen(QPen(ink, std::max(1.0, u)));
    p.setBrush(Qt::NoBrush);
    QPainterPath body;
    body.moveTo(at(1.5, 1.5));
    body.lineTo(at(12.5, 1.5));
    body.lineTo(at(14.5, 3.5));
    body.lineTo(at(14.5, 14.5));
    body.lineTo(at(1.5, 14.5));
    body.closeSubpath();
    p.drawPath(body);
    p.drawRect(QRectF(at(4, 1.5), at(11, 6)));
    p.setBrush(ink);
    p.drawRect(QRectF(at(8.5, 2.5), at(10, 5)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(at(3.5, 9), at(12.5, 14.5)));
    break;
  }
  case GlyphClose: // a cross
    p.setPen(QPen(ink, std::max(1.5, 2.2 * u), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(at(3, 3), at(13, 13));
    p.drawLine(at(13, 3), at(3, 13));
    break;
  default:
    break;
  }
}
