#include "DropListBox.h"

#include "AdvComboBox.h"
#include "DropScrollBar.h"
#include "XListCommon.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

using namespace xl;

CDropListBox::CDropListBox(CAdvComboBox *pCombo, CDropScrollBar *pScrollBar, QWidget *parent)
    : QWidget(parent), m_pCombo(pCombo), m_pScrollBar(pScrollBar)
{
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  if (pCombo)
    setFont(pCombo->GetComboFont());
}

int CDropListBox::AddListItem(const QString &text)
{
  m_rows.append(text);
  update();
  return GetCount() - 1;
}

QString CDropListBox::GetText(int nIndex) const
{
  return nIndex >= 0 && nIndex < GetCount() ? m_rows.at(nIndex) : QString();
}

int CDropListBox::GetItemHeight() const
{
  return qMax(1, QFontMetrics(font()).height() + 2);
}

int CDropListBox::GetVisibleCount() const
{
  return height() / GetItemHeight();
}

int CDropListBox::GetBottomIndex() const
{
  return m_nTop + height() / GetItemHeight();
}

int CDropListBox::SetCurSel(int nIndex)
{
  if (nIndex < 0 || nIndex >= GetCount())
    return -1;
  m_nCurSel = nIndex;
  const int visible = qMax(1, GetVisibleCount());
  if (nIndex < m_nTop)
    SetTopIndex(nIndex);
  else if (nIndex >= m_nTop + visible)
    SetTopIndex(nIndex - visible + 1);
  update();
  return nIndex;
}

int CDropListBox::SetTopIndex(int nIndex)
{
  if (nIndex < 0 || nIndex >= GetCount())
    return -1;
  m_nTop = qMax(0, qMin(nIndex, GetCount() - qMax(1, GetVisibleCount())));
  update();
  return 0;
}

void CDropListBox::SelectIndex(int nIndex)
{
  if (SetCurSel(nIndex) < 0)
    return;
  if (m_pScrollBar) {
    m_nLastTopIdx = m_nTop;
    m_pScrollBar->m_bFromListBox = true;
    m_pScrollBar->setValue(m_nTop);
    m_pScrollBar->m_bFromListBox = false;
  }
}

void CDropListBox::SetTopIdx(int nTop, bool bUpdateScrollBar)
{
  m_nLastTopIdx = nTop;
  SetTopIndex(nTop);
  if (bUpdateScrollBar && m_pScrollBar) {
    m_pScrollBar->m_bFromListBox = true;
    m_pScrollBar->setValue(m_nLastTopIdx);
    m_pScrollBar->m_bFromListBox = false;
  }
}

QSize CDropListBox::GetTextSize(const QString &text) const
{
  const QFontMetrics fm(m_pCombo ? m_pCombo->GetComboFont() : font());
  return QSize(fm.horizontalAdvance(text), fm.height());
}

void CDropListBox::paintEvent(QPaintEvent *)
{
  QPainter p(this);
  const QPalette &pal = palette();
  FillSolidRect(&p, rect(), GetSysColor(COLOR_WINDOW, pal));
  const int h = GetItemHeight();
  for (int i = m_nTop, y = 0; i < GetCount() && y < height(); ++i, y += h) {
    const QRect rc(0, y, width(), h);
    const bool sel = i == m_nCurSel;
    if (sel)
      FillSolidRect(&p, rc, GetSysColor(COLOR_HIGHLIGHT, pal));
    p.setPen(ToQColor(GetSysColor(sel ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT, pal)));
    p.drawText(rc.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_rows.at(i));
  }
}

void CDropListBox::TrackRow(const QPoint &pt)
{
  const int row = pt.y() / GetItemHeight() + m_nTop;
  if (pt.y() >= 0 && row < GetCount() && row != m_nCurSel)
    SelectIndex(row);
  if (m_nTop != m_nLastTopIdx) {
    m_nLastTopIdx = m_nTop;
    if (m_pScrollBar)
      m_pScrollBar->setValue(m_nTop);
  }
}

void CDropListBox::mouseMoveEvent(QMouseEvent *e)
{
  if (rect().contains(e->position().toPoint()))
    TrackRow(e->position().toPoint());
}

void CDropListBox::mousePressEvent(QMouseEvent *e)
{
  if (rect().contains(e->position().toPoint()))
    TrackRow(e->position().toPoint());
}

void CDropListBox::mouseReleaseEvent(QMouseEvent *)
{
  // The choice is the row highlighted last, wherever the button comes up.
  if (!m_pCombo)
    return;
  if (m_nCurSel >= 0)
    m_pCombo->PostSelectedItem(m_nCurSel);
  m_pCombo->PostDestroyDropdownList();
}

void CDropListBox::keyPressEvent(QKeyEvent *e)
{
  if (!m_pCombo || !m_pCombo->HandleKey(e))
    QWidget::keyPressEvent(e);
}

void CDropListBox::wheelEvent(QWheelEvent *e)
{
  if (m_pCombo)
    m_pCombo->HandleWheel(e->angleDelta().y());
  e->accept();
}

void CDropListBox::resizeEvent(QResizeEvent *e)
{
  QWidget::resizeEvent(e);
  if (m_nTop > 0)
    SetTopIndex(m_nTop);
}
