#include "XHeaderCtrl.h"

#include "MemDC.h"

#include "platform/Trace.h"

#include <QAbstractTableModel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

using namespace xl;

// Holds the items; the header view takes its section count from it.
class CXHeaderCtrl::Model : public QAbstractTableModel {
public:
  using QAbstractTableModel::QAbstractTableModel;
  int rowCount(const QModelIndex & = QModelIndex()) const override { return 0; }
  int columnCount(const QModelIndex &parent = QModelIndex()) const override
  {
    return parent.isValid() ? 0 : static_cast<int>(items.size());
  }
  QVariant data(const QModelIndex &, int) const override { return {}; }
  QVariant headerData(int section, Qt::Orientation o, int role) const override
  {
    if (o != Qt::Horizontal || section < 0 || section >= columnCount())
      return {};
    if (role == Qt::DisplayRole)
      return items[static_cast<size_t>(section)].pszText;
    return {};
  }
  void Insert(int pos, const HDITEM &item)
  {
    beginInsertColumns(QModelIndex(), pos, pos);
    items.insert(items.begin() + pos, item);
    endInsertColumns();
  }
  void Remove(int pos)
  {
    beginRemoveColumns(QModelIndex(), pos, pos);
    items.erase(items.begin() + pos);
    endRemoveColumns();
  }
  void Changed(int pos) { Q_EMIT headerDataChanged(Qt::Horizontal, pos, pos); }
  std::vector<HDITEM> items;
};

CXHeaderCtrl::CXHeaderCtrl(QWidget *parent) : QHeaderView(Qt::Horizontal, parent), m_model(new Model(this))
{
  setModel(m_model);
  setSectionsClickable(true);
  setHighlightSections(false);
  setMinimumSectionSize(0);
  setStretchLastSection(false);
  setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_crText = GetSysColor(COLOR_BTNTEXT, palette());
  ReadSysColors();
}

CXHeaderCtrl::~CXHeaderCtrl() = default;

void CXHeaderCtrl::ReadSysColors()
{
  m_crHighlight = GetSysColor(COLOR_3DHILIGHT, palette());
  m_crShadow = GetSysColor(COLOR_3DSHADOW, palette());
  m_crFace = GetSysColor(COLOR_3DFACE, palette());
  m_crButtonText = GetSysColor(COLOR_BTNTEXT, palette());
}

void CXHeaderCtrl::changeEvent(QEvent *e)
{
  QHeaderView::changeEvent(e);
  if (e->type() == QEvent::PaletteChange) {
    ReadSysColors();
    viewport()->update();
  }
}

int CXHeaderCtrl::GetItemCount() const
{
  return m_model->columnCount();
}

int CXHeaderCtrl::InsertItem(int nPos, const HDITEM &item)
{
  if (nPos < 0)
    return -1;
  nPos = qMin(nPos, GetItemCount());
  HDITEM copy = item;
  copy.mask |= HDI_FORMAT;
  if (!(item.mask & HDI_FORMAT))
    copy.fmt = HDF_LEFT | HDF_STRING;
  if (!(item.mask & HDI_IMAGE))
    copy.iImage = 0;
  m_model->Insert(nPos, copy);
  resizeSection(nPos, (item.mask & HDI_WIDTH) ? qMax(0, item.cxy) : 0);
  return nPos;
}

bool CXHeaderCtrl::DeleteItem(int nPos)
{
  if (nPos < 0 || nPos >= GetItemCount())
    return false;
  m_model->Remove(nPos);
  return true;
}

bool CXHeaderCtrl::GetItem(int nPos, HDITEM *pItem) const
{
  if (!pItem || nPos < 0 || nPos >= GetItemCount())
    return false;
  const HDITEM &it = m_model->items[static_cast<size_t>(nPos)];
  const unsigned mask = pItem->mask;
  if (mask & HDI_WIDTH)
    pItem->cxy = sectionSize(nPos);
  if (mask & HDI_TEXT)
    pItem->pszText = it.pszText;
  if (mask & HDI_FORMAT)
    pItem->fmt = it.fmt;
  if (mask & HDI_BITMAP)
    pItem->hbm = it.hbm;
  if (mask & HDI_IMAGE)
    pItem->iImage = it.iImage;
  return true;
}

bool CXHeaderCtrl::SetItem(int nPos, const HDITEM &item)
{
  if (nPos < 0 || nPos >= GetItemCount())
    return false;
  HDITEM &it = m_model->items[static_cast<size_t>(nPos)];
  if (item.mask & HDI_TEXT)
    it.pszText = item.pszText;
  if (item.mask & HDI_FORMAT)
    it.fmt = item.fmt;
  if (item.mask & HDI_BITMAP) {
    it.hbm = item.hbm;
    it.mask |= HDI_BITMAP;
  }
  if (item.mask & HDI_IMAGE)
    it.iImage = item.iImage;
  if (item.mask & HDI_WIDTH)
    resizeSection(nPos, qMax(0, item.cxy));
  m_model->Changed(nPos);
  viewport()->update();
  return true;
}

bool CXHeaderCtrl::GetItemRect(int nIndex, QRect *rc) const
{
  if (!rc || nIndex < 0 || nIndex >= GetItemCount())
    return false;
  *rc = QRect(sectionViewportPosition(nIndex), 0, sectionSize(nIndex), viewport()->height());
  return true;
}

int CXHeaderCtrl::OrderToIndex(int nOrder) const
{
  return logicalIndex(nOrder);
}

CImageList *CXHeaderCtrl::SetImageList(CImageList *pImageList)
{
  CImageList *old = m_pImageList;
  m_pImageList = pImageList;
  QRect rc;
  if (pImageList && pImageList->GetImageRect(0, &rc))
    m_sizeImage = rc.size();
  viewport()->update();
  return old;
}

void CXHeaderCtrl::paintEvent(QPaintEvent *e)
{
  QPainter paint(viewport());
  const QRect area = e->rect();
  CMemDC dc(&paint, &area);
  DrawCtrl(dc.GetDC());
}

void CXHeaderCtrl::mouseDoubleClickEvent(QMouseEvent *e)
{
  // The second press of a double click is an ordinary press.
  QMouseEvent press(QEvent::MouseButtonPress, e->position(), e->scenePosition(), e->globalPosition(), e->button(),
                    e->buttons(), e->modifiers());
  mousePressEvent(&press);
}

void CXHeaderCtrl::DrawCtrl(QPainter *pDC)
{
  const QRect rectClient = viewport()->rect();
  if (!pDC || !pDC->isActive())
    return;
  FillSolidRect(pDC, rectClient, m_crFace);

  const int nItems = GetItemCount();
  VTX_ASSERT(nItems >= 0);

  pDC->save();
  pDC->setFont(font());
  pDC->setBackground(ToQColor(m_crFace));
  pDC->setPen(ToQColor(m_crButtonText));

  int nWidth = 0;
  for (int i = 0; i < nItems; ++i) {
    const int index = OrderToIndex(i);
    if (index < 0)
      continue;
    HDITEM hditem;
    hditem.mask = HDI_WIDTH | HDI_TEXT | HDI_FORMAT | HDI_BITMAP | HDI_IMAGE;
    GetItem(index, &hditem);
    hditem.mask |= m_model->items[static_cast<size_t>(index)].mask & (HDI_TEXT | HDI_BITMAP);
    hditem.pszText.truncate(79);

    QRect rectItem;
    GetItemRect(index, &rectItem);
    if (hditem.fmt & HDF_OWNERDRAW) {
      HDDRAWITEM dis;
      dis.itemID = index;
      dis.rcItem = rectItem;
      dis.pDC = pDC;
      DrawItem(dis);
    } else {
      QRect inner = rectItem.adjusted(m_nSpacing, 0, -m_nSpacing, 0);
      DrawItem(pDC, inner, hditem);
    }
    if (i < nItems - 1 && rectItem.height() > 4) {
      const int xr = rectItem.left() + rectItem.width(); // exclusive right edge
      FillSolidRect(pDC, QRect(xr - 1, rectItem.top() + 2, 1, rectItem.height() - 4), m_crShadow);
      FillSolidRect(pDC, QRect(xr, rectItem.top() + 2, 1, rectItem.height() - 4), m_crHighlight);
    }
    nWidth += hditem.cxy;
  }
  if (nWidth > 0) {
    QRect frame = rectClient;
    frame.setWidth(nWidth);
    Draw3dRect(pDC, frame.translated(-offset(), 0), m_crHighlight, m_crShadow);
  }
  pDC->restore();
}

void CXHeaderCtrl::DrawItem(const HDDRAWITEM &)
{
  // Owner-drawn columns belong to a derived class.
}

void CXHeaderCtrl::DrawItem(QPainter *pDC, QRect rect, const HDITEM &hdi)
{
  QPixmap bitmap;
  if (hdi.fmt & HDF_BITMAP) {
    VTX_ASSERT((hdi.mask & HDI_BITMAP) && !hdi.hbm.isNull());
    bitmap = hdi.hbm;
  }
  int w = DrawImage(pDC, rect, hdi, false);
  if (w > 0)
    rect.setLeft(rect.left() + w + m_nSpacing);
  w = DrawBitmap(pDC, rect, hdi, bitmap, true);
  if (w > 0)
    rect.setRight(rect.right() - (w + m_nSpacing));
  DrawText(pDC, rect, hdi);
}

int CXHeaderCtrl::DrawImage(QPainter *pDC, QRect rect, const HDITEM &hdi, bool bRight)
{
  if (hdi.iImage == 0)
    return 0;
  if (m_pImageList) {
    if (rect.width() < 1)
      return 0;
    const QSize sz = m_sizeImage;
    const int y = rect.top() + rect.height() / 2 - (sz.height() + 1) / 2;
    const int x = bRight ? rect.left() + rect.width() - sz.width() : rect.left();
    const COLORREF old = m_pImageList->SetBkColor(FromQColor(pDC->background().color()));
    m_pImageList->Draw(pDC, hdi.iImage, QPoint(x, y), QSize(qMin(rect.width(), sz.width()), sz.height()));
    m_pImageList->SetBkColor(old);
    return sz.width();
  }
  if (rect.width() <= 0)
    return 0;
  const QRect box(rect.left(), rect.top() + (rect.height() - 13) / 2, 13, 13);
  const COLORREF crWindow = GetSysColor(COLOR_WINDOW, palette());
  FillSolidRect(pDC, box, crWindow);
  FrameRect(pDC, box, RGB(51, 102, 153));
  if (hdi.iImage == 2)
    DrawCheckMark(pDC, box, RGB(51, 153, 51));
  return 13;
}

int CXHeaderCtrl::DrawBitmap(QPainter *pDC, QRect rect, const HDITEM &, const QPixmap &bitmap, bool bRight)
{
  if (bitmap.isNull())
    return 0;
  const int w = bitmap.width(), h = bitmap.height();
  if (w > rect.width() || rect.width() <= 0)
    return 0;
  const int y = rect.top() + rect.height() / 2 - h / 2;
  const int x = bRight ? rect.left() + rect.width() - w : rect.left();
  pDC->drawPixmap(x, y, bitmap);
  return w;
}

void CXHeaderCtrl::DrawText(QPainter *pDC, QRect rect, const HDITEM &hdi)
{
  if (rect.width() <= 0 || !(hdi.mask & HDI_TEXT) || !(hdi.fmt & HDF_STRING))
    return;
  int align = Qt::AlignVCenter | Qt::TextSingleLine;
  if (hdi.fmt & HDF_CENTER)
    align |= Qt::AlignHCenter;
  else if (hdi.fmt & HDF_RIGHT)
    align |= Qt::AlignRight;
  else
    align |= Qt::AlignLeft;
  const QString shown = pDC->fontMetrics().elidedText(hdi.pszText, Qt::ElideRight, rect.width());
  pDC->setPen(ToQColor(m_crText));
  pDC->drawText(rect, align, shown);
}
