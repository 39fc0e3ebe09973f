#include "DropWnd.h"

#include "AdvComboBox.h"
#include "DropListBox.h"
#include "DropScrollBar.h"
#include "XListCommon.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QWheelEvent>

using namespace xl;

DropGeometry ComputeDropGeometry(const DropGeometryInput &in)
{
  DropGeometry g;
  const int h = qMax(1, in.rowHeight); // a zero row height must not divide
  const int n = qMax(0, in.itemCount);
  const int D = in.visibleItems;
  const int screenTop = in.screen.top();
  const int S = in.screen.top() + in.screen.height();
  int H = h * n + 2;
  int top = in.y;

  if ((S - in.y) / h < in.minVisibleItems) {
    g.upwards = true;
    const int A = in.y - in.comboHeight; // the combo's top edge
    if (D == -1 || n < D) {
      top = qMax(A - H, screenTop);
      H = qMin(H, A - top);
    } else {
      top = qMax(A - h * D - 2, screenTop);
      H = A - top;
    }
  } else if (D == -1 || n < D) {
    if (in.y + H > S)
      H = S - in.y;
    else if (H < in.cyVScroll)
      H = in.cyVScroll;
  } else {
    H = qMin(h * D, S - in.y) + 2;
  }

  int W = qMax(in.textWidth + 8 + in.cxVScroll, in.comboWidth);
  const int screenLeft = in.screen.left();
  const int screenRight = in.screen.left() + in.screen.width();
  int left = in.x;
  if (W > screenRight - in.x) {
    left = qMax(screenRight - W, screenLeft);
    if (left == screenLeft && W > in.screen.width())
      W = in.screen.width();
  }
  g.rect = QRect(left, top, W, qMax(0, H));
  g.maxWidth = W + 100;
  g.maxHeight = H + 100;
  return g;
}

QSize ClampDropResize(int x, int y, int dx, int dy, int comboWidth, int maxWidth, int maxHeight, int cxVScroll,
                      int cyVScroll)
{
  int w = x + dx;
  if (w < comboWidth)
    w = comboWidth;
  if (w > maxWidth)
    w = maxWidth;
  int h;
  if (y + dy < cyVScroll)
    h = cxVScroll + 1;
  else if (y + dy > maxHeight)
    h = maxHeight;
  else
    h = y + dy + 2;
  return QSize(w, h);
}

CDropWnd::CDropWnd(CAdvComboBox *pCombo, const QStringList &list)
    : QWidget(pCombo, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint), m_pCombo(pCombo), m_list(list)
{
  setAttribute(Qt::WA_DeleteOnClose, false);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
}

CDropWnd::~CDropWnd() = default;

int CDropWnd::CxVScroll() const
{
  return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

int CDropWnd::CyVScroll() const
{
  return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

bool CDropWnd::Create(const QRect &rcCombo)
{
  if (m_pCombo)
    setFont(m_pCombo->GetComboFont());
  m_pScrollBar = new CDropScrollBar(this);
  m_pListBox = new CDropListBox(m_pCombo, m_pScrollBar, this);
  for (const QString &s : m_list)
    m_pListBox->AddListItem(s);

  DropGeometryInput in;
  const QScreen *screen = m_pCombo ? m_pCombo->screen() : nullptr;
  if (const QScreen *at = QGuiApplication::screenAt(rcCombo.center()))
    screen = at;
  if (!screen)
    screen = QGuiApplication::primaryScreen();
  in.screen = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  in.x = rcCombo.left();
  in.y = rcCombo.top() + rcCombo.height();
  in.comboWidth = rcCombo.width();
  in.comboHeight = rcCombo.height();
  in.rowHeight = m_pListBox->GetItemHeight();
  in.itemCount = static_cast<int>(m_list.size());
  in.visibleItems = m_pCombo ? m_pCombo->GetVisibleItemCount() : -1;
  in.minVisibleItems = m_pCombo ? m_pCombo->GetMinVisibleItems() : 5;
  for (const QString &s : m_list)
    in.textWidth = qMax(in.textWidth, m_pListBox->GetTextSize(s).width());
  in.cxVScroll = CxVScroll();
  in.cyVScroll = CyVScroll();
  m_geometry = ComputeDropGeometry(in);
  m_nMaxWidth = m_geometry.maxWidth;
  m_nMaxHeight = m_geometry.maxHeight;

  setGeometry(m_geometry.rect);
  m_pListBox->show();
  m_pScrollBar->SetListBox(m_pListBox);
  m_pScrollBar->show();
  show();
  return true;
}

void CDropWnd::resizeEvent(QResizeEvent *e)
{
  QWidget::resizeEvent(e);
  const int cx = width(), cy = height();
  const int sx = CxVScroll(), sy = CyVScroll();
  m_rcList = QRect(0, 0, cx - sx, cy).adjusted(1, 1, -1, -1);
  m_rcScroll = QRect(cx - sx, 0, sx, cy - sy).adjusted(1, 1, -1, -1);
  m_rcSizeGrip = QRect(cx - sx, cy - sy, sx, sy).adjusted(1, 1, -1, -1);
  if (m_pListBox)
    m_pListBox->setGeometry(m_rcList);
  if (m_pScrollBar) {
    m_pScrollBar->setGeometry(m_rcScroll);
    m_pScrollBar->UpdatePage();
  }
  update();
}

void CDropWnd::paintEvent(QPaintEvent *)
{
  QPainter p(this);
  FillSolidRect(&p, rect(), GetSysColor(COLOR_BTNFACE, palette()));
  FrameRect(&p, rect(), GetSysColor(COLOR_3DDKSHADOW, palette()));
  // The size grip: three diagonal pairs of lines.
  const QRect g = m_rcSizeGrip;
  const QColor light = ToQColor(GetSysColor(COLOR_BTNHIGHLIGHT, palette()));
  const QColor dark = ToQColor(GetSysColor(COLOR_BTNSHADOW, palette()));
  for (int k = 3; k < qMin(g.width(), g.height()); k += 4) {
    p.setPen(dark);
    p.drawLine(g.right() - k + 1, g.bottom(), g.right(), g.bottom() - k + 1);
    p.setPen(light);
    p.drawLine(g.right() - k, g.bottom(), g.right(), g.bottom() - k);
  }
}

void CDropWnd::mousePressEvent(QMouseEvent *e)
{
  const QPoint pt = e->position().toPoint();
  if (m_rcSizeGrip.contains(pt)) {
    m_bResizing = true;
    m_ptResizeStart = pt;
    m_nResizeDX = width() - pt.x();
    m_nResizeDY = height() - pt.y();
    return;
  }
  if (!rect().contains(pt) && m_pCombo)
    m_pCombo->PostDestroyDropdownList();
  if (m_pCombo)
    m_pCombo->ForwardedButtonDown(pt);
  e->accept();
}

void CDropWnd::mouseMoveEvent(QMouseEvent *e)
{
  const QPoint pt = e->position().toPoint();
  if (m_bResizing) {
    const QSize s = ClampDropResize(pt.x(), pt.y(), m_nResizeDX, m_nResizeDY, m_pCombo ? m_pCombo->width() : 0,
                                    m_nMaxWidth, m_nMaxHeight, CxVScroll(), CyVScroll());
    resize(s);
    return;
  }
  setCursor(m_rcSizeGrip.contains(pt) ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
}

void CDropWnd::mouseReleaseEvent(QMouseEvent *)
{
  if (m_bResizing) {
    m_bResizing = false;
    update();
  }
}

void CDropWnd::keyPressEvent(QKeyEvent *e)
{
  if (!m_pCombo || !m_pCombo->HandleKey(e))
    QWidget::keyPressEvent(e);
}

void CDropWnd::wheelEvent(QWheelEvent *e)
{
  if (m_pCombo)
    m_pCombo->HandleWheel(e->angleDelta().y());
  e->accept();
}

void CDropWnd::hideEvent(QHideEvent *e)
{
  QWidget::hideEvent(e);
  // Closed from outside (the application lost activation): the combo closes.
  if (!m_bClosingByCombo && m_pCombo)
    m_pCombo->PostDestroyDropdownList();
}
