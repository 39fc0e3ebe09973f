#include "XColorStatic.h"

#include <QPainter>

CXColorStatic::CXColorStatic(QWidget *parent) : QLabel(parent)
{
  Init();
}

CXColorStatic::CXColorStatic(const QString &text, QWidget *parent) : QLabel(text, parent)
{
  Init();
}

void CXColorStatic::Init()
{
  m_crText = FromQColor(palette().color(QPalette::ButtonText));
  m_crBackground = FromQColor(palette().color(QPalette::Button));
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CXColorStatic::SetTextColor(COLORREF color, bool redraw)
{
  m_crText = color;
  if (redraw)
    repaint();
}

void CXColorStatic::SetBackgroundColor(COLORREF color, bool redraw)
{
  m_crBackground = color;
  if (redraw)
    repaint();
}

void CXColorStatic::paintEvent(QPaintEvent *)
{
  QPainter p(this);
  const QRect r = contentsRect();
  p.fillRect(rect(), ToQColor(m_crBackground));
  p.setPen(ToQColor(m_crText));
  p.setFont(font());
  const Qt::Alignment align = alignment();
  int flags = (align & Qt::AlignHCenter) ? Qt::AlignHCenter : (align & Qt::AlignRight) ? Qt::AlignRight : Qt::AlignLeft;
  if (align & Qt::AlignVCenter)
    flags |= Qt::AlignVCenter | Qt::TextSingleLine;
  else
    flags |= Qt::AlignTop | Qt::TextWordWrap;
  p.drawText(r, flags, text());
}
