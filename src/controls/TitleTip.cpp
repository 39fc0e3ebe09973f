#include "TitleTip.h"

#include "platform/Trace.h"

#include <QPainter>

CTitleTip::CTitleTip() : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint)
{
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_StyledBackground);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
}

bool CTitleTip::Create(QWidget *parent)
{
  if (!VTX_ASSERT(parent != nullptr))
    return false;
  m_pParentWnd = parent;
  hide();
  return true;
}

void CTitleTip::paintEvent(QPaintEvent *)
{
  QPainter p(this);
  p.setPen(palette().color(QPalette::WindowText));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}
