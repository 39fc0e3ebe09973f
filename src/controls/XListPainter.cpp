#include "XListPainter.h"

#include "XListCtrl.h"

#include "platform/Trace.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

using namespace xl;

namespace {
constexpr COLORREF kCheckFrame = 0x996633; // red 0x33, green 0x66, blue 0x99
constexpr COLORREF kCheckMark = 0x339933;
} // namespace

// ---------------------------------------------------------------- layout

int CXListCtrl::HeaderHeight() const
{
  return qMax(m_HeaderCtrl.sizeHint().height(), fontMetrics().height() + 6);
}

int CXListCtrl::GetRowHeight() const
{
  int h = fontMetrics().height() + 4;
  if (m_pSmallImages)
    h = qMax(h, m_pSmallImages->GetImageSize().height() + 1);
  return qMax(1, h);
}

int CXListCtrl::ColumnLeft(int nCol) const
{
  return m_HeaderCtrl.sectionViewportPosition(nCol);
}

int CXListCtrl::TotalWidth() const
{
  return m_HeaderCtrl.length();
}

int CXListCtrl::RowTop(int nItem) const
{
  return HeaderHeight() + (nItem - GetTopIndex()) * GetRowHeight();
}

int CXListCtrl::HitTest(QPoint pt, unsigned *pFlags) const
{
  return SubItemHitTest(pt, nullptr, pFlags);
}

int CXListCtrl::SubItemHitTest(QPoint pt, int *pSubItem, unsigned *pFlags) const
{
  unsigned flags = LVHT_NOWHERE;
  int item = -1, sub = -1;
  const int hh = HeaderHeight();
  if (pt.y() < hh) {
    flags = LVHT_ABOVE;
  } else {
    const int row = GetTopIndex() + (pt.y() - hh) / GetRowHeight();
    const int left = -horizontalScrollBar()->value();
    if (row >= GetItemCount()) {
      flags = LVHT_NOWHERE | LVHT_BELOW;
    } else if (pt.x() >= left && pt.x() < left + TotalWidth()) {
      item = row;
      flags = LVHT_ONITEMLABEL;
      for (int c = 0; c < GetColumns(); ++c) {
        const int x = ColumnLeft(c);
        if (pt.x() >= x && pt.x() < x + GetColumnWidth(c)) {
          sub = c;
          break;
        }
      }
    }
  }
  if (pSubItem)
    *pSubItem = sub;
  if (pFlags)
    *pFlags = flags;
  return item;
}

bool CXListCtrl::GetItemRect(int nItem, QRect *rect, int nCode) const
{
  if (!rect || nItem < 0 || nItem >= GetItemCount())
    return false;
  *rect = QRect(-horizontalScrollBar()->value(), RowTop(nItem), TotalWidth(), GetRowHeight());
  if (nCode == LVIR_ICON)
    rect->setWidth(0);
  return true;
}

bool CXListCtrl::GetSubItemRect(int nItem, int nSubItem, int nArea, QRect &rect) const
{
  if (!VTX_ASSERT(nItem >= 0 && nItem < GetItemCount() && nSubItem >= 0 && nSubItem < GetColumns()))
    return false;
  if (nSubItem == 0) {
    // The whole row, up to the next column that shows.
    GetItemRect(nItem, &rect, nArea);
    for (int i = 1; i < GetColumns(); ++i) {
      if (GetColumnWidth(i) > 0) {
        rect.setRight(ColumnLeft(i) - 1);
        break;
      }
    }
    return true;
  }
  rect = QRect(ColumnLeft(nSubItem), RowTop(nItem), GetColumnWidth(nSubItem), GetRowHeight());
  return true;
}

// ---------------------------------------------------------------- drawing

void CXListCtrl::GetCellColors(int nItem, int nSubItem, COLORREF &crText, COLORREF &crBkgnd) const
{
  if (nItem < 0 || nItem != m_data.m_nSelected)
    return;
  if (!(m_dwExStyle & LVS_EX_FULLROWSELECT) && nSubItem != 0)
    return;
  if (hasFocus()) {
    crText = m_crHighLightText;
    crBkgnd = m_crHighLight;
  } else if (m_dwStyle & LVS_SHOWSELALWAYS) {
    crText = m_crWindowText;
    crBkgnd = m_crBtnFace;
  }
}

void CXListCtrl::paintEvent(QPaintEvent *e)
{
  QPainter p(viewport());
  const int hh = HeaderHeight();
  p.translate(0, -hh); // paint in client coordinates
  p.setFont(font());
  CXListPainter(*this, p).Paint(e->rect().translated(0, hh));
}

void CXListPainter::Paint(const QRect &clip)
{
  if (m_list.GetItemCount() == 0) {
    PaintEmpty(clip);
    return;
  }
  const int top = m_list.GetTopIndex();
  const int last = qMin(m_list.GetItemCount() - 1, top + m_list.GetCountPerPage());
  EraseAroundRows(last);
  for (int item = top; item <= last; ++item) {
    const int y = m_list.RowTop(item);
    if (y > clip.bottom() || y + m_list.GetRowHeight() <= clip.top())
      continue;
    for (int order = 0; order < m_list.GetColumns(); ++order) {
      const int col = m_list.m_HeaderCtrl.OrderToIndex(order);
      QRect rect;
      if (col < 0 || !m_list.GetSubItemRect(item, col, LVIR_BOUNDS, rect) || rect.width() <= 0)
        continue;
      if (!rect.intersects(clip))
        continue;
      m_p.save();
      m_p.setClipRect(rect);
      DrawCell(item, col, rect);
      m_p.restore();
    }
  }
}

void CXListPainter::PaintEmpty(const QRect &clip)
{
  FillSolidRect(&m_p, clip, m_list.m_crWindow);
  QRect area = m_list.GetClientRect();
  QRect first;
  const int headerBottom = m_list.m_HeaderCtrl.GetItemRect(0, &first) ? first.bottom() + 1 : m_list.HeaderHeight();
  area.setTop(headerBottom + 10);
  FillSolidRect(&m_p, area, m_list.m_crWindow);
  m_p.save();
  m_p.setPen(ToQColor(m_list.m_crWindowText));
  m_p.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, CXListCtrl::EmptyListText());
  m_p.restore();
}

// Only the bands the rows leave are erased; every cell paints its own ground.
void CXListPainter::EraseAroundRows(int last)
{
  const QRect client = m_list.GetClientRect();
  const int hh = m_list.HeaderHeight();
  const COLORREF window = m_list.m_crWindow;
  const int rowsLeft = -m_list.horizontalScrollBar()->value();
  const int rowsRight = rowsLeft + m_list.TotalWidth();
  const int rowsBottom = m_list.RowTop(last) + m_list.GetRowHeight();
  FillSolidRect(&m_p, QRect(client.left(), rowsBottom, client.width(), client.bottom() + 1 - rowsBottom), window);
  FillSolidRect(&m_p, QRect(rowsRight, hh, client.right() + 1 - rowsRight, rowsBottom - hh), window);
  if (rowsLeft > client.left())
    FillSolidRect(&m_p, QRect(client.left(), hh, rowsLeft - client.left(), rowsBottom - hh), window);
}

void CXListPainter::DrawCell(int nItem, int nSubItem, const QRect &cell)
{
  COLORREF crText = m_list.m_crWindowText, crBkgnd = m_list.m_crWindow;
  const XLISTCELLDATA *d = m_list.m_data.Cell(nItem, nSubItem);
  if (d) {
    crText = d->crText;
    crBkgnd = d->crBackground;
    if (!m_list.m_data.RowEnabled(nItem))
      crText = m_list.m_crGrayText;
  }
  m_list.GetCellColors(nItem, nSubItem, crText, crBkgnd);
  QRect rect = cell;
  if (d && d->nCheckedState != -1) {
    DrawCheckbox(nItem, nSubItem, crText, crBkgnd, rect, d);
  } else {
    rect.setLeft(rect.left() + DrawImage(crBkgnd, rect, d));
    DrawText(nItem, nSubItem, crText, crBkgnd, rect, d);
  }
}

int CXListPainter::DrawImage(COLORREF crBkgnd, QRect rect, const XLISTCELLDATA *d)
{
  FillSolidRect(&m_p, rect, crBkgnd);
  const int spacing = m_list.m_HeaderCtrl.GetSpacing();
  rect.setLeft(rect.left() + spacing);
  CImageList *images = m_list.m_pSmallImages;
  if (!images || !d || d->nImage == -1)
    return 0;
  QRect rcImage;
  if (!images->GetImageRect(d->nImage, &rcImage))
    return 0; // not an image of the list: skipped
  if (d->nImage < 0 || rect.width() <= 0)
    return 0;
  const int w = rcImage.width(), h = rcImage.height();
  const QPoint at(rect.left(), rect.top() + rect.height() / 2 - h / 2);
  const COLORREF old = images->SetBkColor(crBkgnd);
  images->Draw(&m_p, d->nImage, at, QSize(qMin(w, rect.width()), qMin(h, rect.height())));
  images->SetBkColor(old);
  return w + spacing;
}

void CXListPainter::DrawText(int nItem, int nSubItem, COLORREF crText, COLORREF crBkgnd, QRect rect,
                             const XLISTCELLDATA *d)
{
  FillSolidRect(&m_p, rect, crBkgnd);
  const QString text = m_list.GetItemText(nItem, nSubItem);
  if (text.isEmpty())
    return;
  HDITEM hd;
  hd.mask = HDI_FORMAT;
  m_list.m_HeaderCtrl.GetItem(nSubItem, &hd);
  int align = Qt::AlignVCenter | Qt::TextSingleLine;
  if (hd.fmt & HDF_CENTER)
    align |= Qt::AlignHCenter;
  else if (hd.fmt & HDF_RIGHT)
    align |= Qt::AlignRight;
  else
    align |= Qt::AlignLeft;
  const QRect rc = rect.adjusted(m_list.m_nPadding, 0, -m_list.m_nPadding, 0);
  if (rc.width() <= 0)
    return;
  if (d && d->bBold) {
    QFont f = m_p.font();
    f.setBold(true);
    m_p.setFont(f);
  }
  m_p.setPen(ToQColor(crText));
  const QString shown = m_list.m_bUseEllipsis ? m_p.fontMetrics().elidedText(text, Qt::ElideRight, rc.width()) : text;
  m_p.drawText(rc, align, shown);
  if (d && d->bBold)
    m_p.setFont(m_list.font());
}

void CXListPainter::DrawCheckbox(int nItem, int nSubItem, COLORREF crText, COLORREF crBkgnd, QRect rect,
                                 const XLISTCELLDATA *d)
{
  FillSolidRect(&m_p, rect, crBkgnd);
  const int side = rect.height() - 1;
  const QString text = m_list.GetItemText(nItem, nSubItem);
  QRect box(rect.left() + 9, rect.top(), side, side);
  if (text.isEmpty())
    box.moveLeft(rect.left() + rect.width() / 2 - side / 2 - 1);
  FillSolidRect(&m_p, box, m_list.m_crWindow);
  FrameRect(&m_p, box, kCheckFrame);
  if (d->nCheckedState == 1) {
    VTX_ASSERT(side > 9);
    DrawCheckMark(&m_p, box, m_list.m_data.RowEnabled(nItem) ? kCheckMark : m_list.m_crGrayText);
  }
  if (text.isEmpty())
    return;
  QRect rc = rect;
  rc.setLeft(box.left() + box.width() + 4);
  if (rc.width() > 0) {
    m_p.setPen(ToQColor(crText));
    const QString shown = m_list.m_bUseEllipsis ? m_p.fontMetrics().elidedText(text, Qt::ElideRight, rc.width()) : text;
    m_p.drawText(rc, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
  }
}
