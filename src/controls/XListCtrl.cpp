#include "XListCtrl.h"

#include "XListController.h"

#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "platform/Trace.h"

#include <QMouseEvent>
#include <QScrollBar>

using namespace xl;

namespace {
constexpr COLORREF kDefaultColor = static_cast<COLORREF>(-1);
} // namespace

CXListCtrl::CXListCtrl(QWidget *parent) : QAbstractScrollArea(parent), m_HeaderCtrl(this)
{
  setFocusPolicy(Qt::StrongFocus);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent, true);
  ReadSysColors();
  m_HeaderCtrl.show();
  connect(&m_HeaderCtrl, &QHeaderView::sectionClicked, this, [this](int c) { m_pController->ColumnClick(c); });
  connect(&m_HeaderCtrl, &QHeaderView::sectionResized, this, [this] {
    UpdateGeometries();
    viewport()->update();
  });
  connect(&m_HeaderCtrl, &QHeaderView::sectionMoved, this, [this] { viewport()->update(); });
  horizontalScrollBar()->installEventFilter(this);
  verticalScrollBar()->installEventFilter(this);
  m_pController = std::make_unique<CXListController>(*this);
  UpdateGeometries();
}

CXListCtrl::~CXListCtrl()
{
  m_pController.reset(); // closes the editors while the list is whole
}

void CXListCtrl::ReadSysColors()
{
  const QPalette &pal = palette();
  m_cr3DFace = GetSysColor(COLOR_3DFACE, pal);
  m_cr3DHighLight = GetSysColor(COLOR_3DHILIGHT, pal);
  m_cr3DShadow = GetSysColor(COLOR_3DSHADOW, pal);
  m_crActiveCaption = GetSysColor(COLOR_ACTIVECAPTION, pal);
  m_crBtnFace = GetSysColor(COLOR_BTNFACE, pal);
  m_crBtnShadow = GetSysColor(COLOR_BTNSHADOW, pal);
  m_crBtnText = GetSysColor(COLOR_BTNTEXT, pal);
  m_crGrayText = GetSysColor(COLOR_GRAYTEXT, pal);
  m_crHighLight = GetSysColor(COLOR_HIGHLIGHT, pal);
  m_crHighLightText = GetSysColor(COLOR_HIGHLIGHTTEXT, pal);
  m_crInactiveCaption = GetSysColor(COLOR_INACTIVECAPTION, pal);
  m_crInactiveCaptionText = GetSysColor(COLOR_INACTIVECAPTIONTEXT, pal);
  m_crWindow = GetSysColor(COLOR_WINDOW, pal);
  m_crWindowText = GetSysColor(COLOR_WINDOWTEXT, pal);
  m_data.SetDefaultColors(m_crWindowText, m_crWindow);
}

void CXListCtrl::changeEvent(QEvent *e)
{
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::PaletteChange) {
    ReadSysColors(); // records keep the colours they were given
    viewport()->update();
  } else if (e->type() == QEvent::FontChange) {
    m_HeaderCtrl.setFont(font());
    UpdateGeometries();
  }
}

// ---------------------------------------------------------------- geometry

int CXListCtrl::GetCountPerPage() const
{
  return qMax(0, viewport()->height() / GetRowHeight());
}

int CXListCtrl::GetTopIndex() const
{
  return GetItemCount() > 0 ? verticalScrollBar()->value() : 0;
}

void CXListCtrl::UpdateGeometries()
{
  const int hh = HeaderHeight();
  if (viewportMargins().top() != hh)
    setViewportMargins(0, hh, 0, 0);
  const QRect vg = viewport()->geometry();
  m_HeaderCtrl.setGeometry(vg.left(), vg.top() - hh, vg.width(), hh);
  if (IsUpdateLocked())
    return;
  const int page = qMax(1, GetCountPerPage());
  verticalScrollBar()->setPageStep(page);
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setRange(0, qMax(0, GetItemCount() - GetCountPerPage()));
  horizontalScrollBar()->setPageStep(qMax(1, vg.width()));
  horizontalScrollBar()->setSingleStep(qMax(1, fontMetrics().averageCharWidth()));
  horizontalScrollBar()->setRange(0, qMax(0, TotalWidth() - vg.width()));
  m_HeaderCtrl.setOffset(horizontalScrollBar()->value());
}

void CXListCtrl::resizeEvent(QResizeEvent *e)
{
  QAbstractScrollArea::resizeEvent(e);
  UpdateGeometries();
}

void CXListCtrl::scrollContentsBy(int dx, int dy)
{
  m_HeaderCtrl.setOffset(horizontalScrollBar()->value());
  viewport()->update();
  if ((dx != 0 || dy != 0) && m_pController)
    m_pController->CloseEditorsOnScroll();
}

QRect CXListCtrl::GetClientRect() const
{
  return QRect(0, 0, viewport()->width(), viewport()->height() + HeaderHeight());
}

QPoint CXListCtrl::ClientToScreen(QPoint pt) const
{
  return viewport()->mapToGlobal(pt - QPoint(0, HeaderHeight()));
}

QPoint CXListCtrl::ScreenToClient(QPoint pt) const
{
  return viewport()->mapFromGlobal(pt) + QPoint(0, HeaderHeight());
}

// ---------------------------------------------------------------- columns

int CXListCtrl::GetColumns() const
{
  return m_HeaderCtrl.GetItemCount();
}

int CXListCtrl::InsertColumn(int nCol, const QString &heading, int nFormat, int nWidth, int nSubItem)
{
  LVCOLUMN col;
  col.mask = LVCF_TEXT | LVCF_FMT | (nWidth >= 0 ? LVCF_WIDTH : 0u) | (nSubItem >= 0 ? LVCF_SUBITEM : 0u);
  col.pszText = heading;
  col.fmt = nFormat;
  col.cx = nWidth;
  col.iSubItem = nSubItem;
  return InsertColumn(nCol, col);
}

int CXListCtrl::InsertColumn(int nCol, const LVCOLUMN &column)
{
  if (nCol < 0)
    return -1;
  HDITEM hd;
  hd.mask = HDI_TEXT | HDI_FORMAT | HDI_WIDTH | HDI_IMAGE;
  hd.pszText = (column.mask & LVCF_TEXT) ? column.pszText : QString();
  hd.fmt = HDF_STRING | ((column.mask & LVCF_FMT) ? (column.fmt & LVCFMT_JUSTIFYMASK) : HDF_LEFT);
  if ((column.mask & LVCF_FMT) && (column.fmt & LVCFMT_IMAGE))
    hd.fmt |= HDF_IMAGE;
  hd.cxy = (column.mask & LVCF_WIDTH) ? qMax(0, column.cx) : fontMetrics().horizontalAdvance(hd.pszText) + 12;
  hd.iImage = (column.mask & LVCF_IMAGE) ? column.iImage : 0;
  const int at = m_HeaderCtrl.InsertItem(nCol, hd);
  if (at < 0)
    return -1;
  m_data.InsertColumn(at);
  UpdateGeometries();
  viewport()->update();
  return at;
}

bool CXListCtrl::SetColumn(int nCol, const LVCOLUMN &column)
{
  HDITEM hd;
  hd.mask = HDI_FORMAT;
  if (!m_HeaderCtrl.GetItem(nCol, &hd))
    return false;
  HDITEM set;
  if (column.mask & LVCF_TEXT) {
    set.mask |= HDI_TEXT;
    set.pszText = column.pszText;
  }
  if (column.mask & LVCF_FMT) {
    set.mask |= HDI_FORMAT;
    set.fmt = (hd.fmt & ~(HDF_JUSTIFYMASK | HDF_IMAGE)) | (column.fmt & LVCFMT_JUSTIFYMASK) |
              ((column.fmt & LVCFMT_IMAGE) ? HDF_IMAGE : 0);
  }
  if (column.mask & LVCF_WIDTH) {
    set.mask |= HDI_WIDTH;
    set.cxy = column.cx;
  }
  if (column.mask & LVCF_IMAGE) {
    set.mask |= HDI_IMAGE;
    set.iImage = column.iImage;
  }
  m_HeaderCtrl.SetItem(nCol, set);
  // The header repaints its own texts; cells change only with their
  // alignment or width.
  if (column.mask & (LVCF_FMT | LVCF_WIDTH))
    viewport()->update();
  return true;
}

bool CXListCtrl::GetColumn(int nCol, LVCOLUMN *column) const
{
  if (!column)
    return false;
  HDITEM hd;
  hd.mask = HDI_TEXT | HDI_FORMAT | HDI_WIDTH | HDI_IMAGE;
  if (!m_HeaderCtrl.GetItem(nCol, &hd))
    return false;
  if (column->mask & LVCF_TEXT)
    column->pszText = hd.pszText;
  if (column->mask & LVCF_FMT)
    column->fmt = (hd.fmt & HDF_JUSTIFYMASK) | ((hd.fmt & HDF_IMAGE) ? LVCFMT_IMAGE : 0);
  if (column->mask & LVCF_WIDTH)
    column->cx = hd.cxy;
  if (column->mask & LVCF_IMAGE)
    column->iImage = hd.iImage;
  if (column->mask & LVCF_SUBITEM)
    column->iSubItem = nCol;
  return true;
}

int CXListCtrl::GetColumnWidth(int nCol) const
{
  if (nCol < 0 || nCol >= GetColumns())
    return 0;
  return m_HeaderCtrl.sectionSize(nCol);
}

bool CXListCtrl::SetColumnWidth(int nCol, int cx)
{
  if (nCol < 0 || nCol >= GetColumns())
    return false;
  m_HeaderCtrl.resizeSection(nCol, qMax(0, cx));
  UpdateGeometries();
  viewport()->update();
  return true;
}

// ---------------------------------------------------------------- records

const XLISTCELLDATA *CXListCtrl::GetCellData(int nItem, int nSubItem) const
{
  return Cell(nItem, nSubItem);
}

void CXListCtrl::Redraw()
{
  if (!IsUpdateLocked())
    viewport()->update();
}

int CXListCtrl::InsertItem(int nItem, const QString &lpszItem)
{
  VTX_ASSERT(nItem >= 0);
  return InsertItem(nItem, lpszItem, m_crWindowText, m_crWindow);
}

void CXListCtrl::RowsChanged()
{
  if (!IsUpdateLocked()) {
    UpdateGeometries();
    viewport()->update();
  }
}

int CXListCtrl::InsertItem(int nItem, const QString &lpszItem, COLORREF crText, COLORREF crBackground)
{
  if (!VTX_ASSERT(nItem >= 0))
    return -1;
  nItem = m_data.Insert(nItem, lpszItem, crText, crBackground);
  RowsChanged();
  return nItem;
}

bool CXListCtrl::DeleteItem(int nItem)
{
  if (!m_data.Delete(nItem))
    return false;
  RowsChanged();
  return true;
}

bool CXListCtrl::DeleteAllItems()
{
  m_data.Clear();
  RowsChanged();
  return true;
}

// ---------------------------------------------------------------- in-place refill

void CXListCtrl::BeginRefill()
{
  if (!VTX_ASSERT(!m_data.Refilling()))
    return;
  // No cell repaints on its own while the rows are written; the changed ones
  // are repainted together at the end. Painting stays enabled, so the end
  // need not repaint the whole window.
  ++m_nLockCount;
  m_data.BeginRefill();
}

int CXListCtrl::RefillItem(int nItem, const QString &lpszItem)
{
  return RefillItem(nItem, lpszItem, m_crWindowText, m_crWindow);
}

int CXListCtrl::RefillItem(int nItem, const QString &lpszItem, COLORREF crText, COLORREF crBackground)
{
  return m_data.Refill(nItem, lpszItem, crText, crBackground);
}

void CXListCtrl::EndRefill()
{
  if (!VTX_ASSERT(m_data.Refilling()))
    return;
  const CXListData::Cells changed = m_data.EndRefill();
  --m_nLockCount;
  if (IsUpdateLocked())
    return; // the outer unlock repaints everything
  const int top = GetTopIndex();
  const int last = top + GetCountPerPage();
  for (const auto &[row, col] : changed)
    if (row >= top && row <= last)
      UpdateSubItem(row, col);
}

QString CXListCtrl::EmptyListText()
{
  return StringTable::Instance().Text(IDS_EMPTY_LIST_VIEW);
}

QString CXListCtrl::GetItemText(int nItem, int nSubItem) const
{
  return m_data.Text(nItem, nSubItem);
}

bool CXListCtrl::SetItemText(int nItem, int nSubItem, const QString &lpszText)
{
  if (!VTX_ASSERT(ValidCell(nItem, nSubItem)))
    return false;
  m_data.SetText(nItem, nSubItem, lpszText);
  UpdateSubItem(nItem, nSubItem);
  return true;
}

bool CXListCtrl::SetItemText(int nItem, int nSubItem, const QString *lpszText, COLORREF crText, COLORREF crBackground)
{
  if (!VTX_ASSERT(ValidCell(nItem, nSubItem)))
    return false;
  if (lpszText)
    m_data.SetText(nItem, nSubItem, *lpszText);
  if (XLISTCELLDATA *d = Cell(nItem, nSubItem)) {
    d->crText = crText == kDefaultColor ? m_crWindowText : crText;
    d->crBackground = crBackground == kDefaultColor ? m_crWindow : crBackground;
  }
  UpdateSubItem(nItem, nSubItem);
  return true;
}

void CXListCtrl::SetItemColors(int nItem, int nSubItem, COLORREF crText, COLORREF crBackground)
{
  VTX_ASSERT(ValidCell(nItem, nSubItem));
  if (XLISTCELLDATA *d = Cell(nItem, nSubItem)) {
    d->crText = crText;
    d->crBackground = crBackground;
  }
}

bool CXListCtrl::GetItemColors(int nItem, int nSubItem, COLORREF *crText, COLORREF *crBackground) const
{
  return m_data.GetColors(nItem, nSubItem, crText, crBackground);
}

bool CXListCtrl::SetItemImage(int nItem, int nSubItem, int nImage)
{
  if (!VTX_ASSERT(ValidCell(nItem, nSubItem)))
    return false;
  if (XLISTCELLDATA *d = Cell(nItem, nSubItem))
    d->nImage = nImage;
  UpdateSubItem(nItem, nSubItem);
  return true;
}

bool CXListCtrl::SetEdit(int nItem, int nSubItem)
{
  if (!VTX_ASSERT(ValidCell(nItem, nSubItem)))
    return false;
  XLISTCELLDATA *d = Cell(nItem, nSubItem);
  if (!d)
    return false;
  d->bEdit = true;
  UpdateSubItem(nItem, nSubItem);
  return true;
}

bool CXListCtrl::SetComboBox(int nItem, int nSubItem, bool bEnableCombo, QStringList *psa, int nComboListHeight,
                             int nInitialComboSel, bool bSort)
{
  if (!VTX_ASSERT(ValidCell(nItem, nSubItem)) || !VTX_ASSERT(psa != nullptr))
    return false;
  if (!m_data.SetCombo(nItem, nSubItem, bEnableCombo, psa, nComboListHeight, nInitialComboSel, bSort))
    return false;
  UpdateSubItem(nItem, nSubItem);
  return true;
}

bool CXListCtrl::SetCheckbox(int nItem, int nSubItem, int nCheckedState)
{
  if (!VTX_ASSERT(ValidCell(nItem, nSubItem)) || !VTX_ASSERT(nCheckedState >= -1 && nCheckedState <= 1))
    return false;
  XLISTCELLDATA *d = Cell(nItem, nSubItem);
  if (!d)
    return false;
  d->nCheckedState = nCheckedState;
  UpdateSubItem(nItem, nSubItem);
  SyncHeaderCheck(nSubItem);
  return true;
}

int CXListCtrl::GetCheckbox(int nItem, int nSubItem) const
{
  const XLISTCELLDATA *d = Cell(nItem, nSubItem);
  return d ? d->nCheckedState : -1;
}

quint32 CXListCtrl::GetItemData(int nItem) const
{
  const XLISTCELLDATA *d = Cell(nItem, 0);
  return d ? d->dwItemData : 0;
}

bool CXListCtrl::SetItemData(int nItem, quint32 dwData)
{
  XLISTCELLDATA *d = Cell(nItem, 0);
  if (!d)
    return false;
  d->dwItemData = dwData;
  return true;
}

bool CXListCtrl::GetModified(int nItem, int nSubItem) const
{
  const XLISTCELLDATA *d = Cell(nItem, nSubItem);
  return d && d->bModified;
}

// ---------------------------------------------------------------- header check boxes

int CXListCtrl::GetHeaderCheckedState(int nSubItem) const
{
  if (!VTX_ASSERT(nSubItem >= 0 && nSubItem < GetColumns()))
    return 0;
  HDITEM hd;
  hd.mask = HDI_IMAGE;
  m_HeaderCtrl.GetItem(nSubItem, &hd);
  return hd.iImage;
}

bool CXListCtrl::SetHeaderCheckedState(int nSubItem, int nCheckedState)
{
  if (!VTX_ASSERT(nSubItem >= 0 && nSubItem < GetColumns()) || !VTX_ASSERT(nCheckedState >= 0 && nCheckedState <= 2))
    return false;
  HDITEM hd;
  hd.mask = HDI_IMAGE;
  hd.iImage = nCheckedState;
  return m_HeaderCtrl.SetItem(nSubItem, hd);
}

int CXListCtrl::CountCheckedItems(int nSubItem) const
{
  return m_data.CountChecked(nSubItem);
}

void CXListCtrl::SyncHeaderCheck(int nSubItem)
{
  if (GetHeaderCheckedState(nSubItem) != 0)
    SetHeaderCheckedState(nSubItem, CountCheckedItems(nSubItem) == GetItemCount() ? 2 : 1);
}

// ---------------------------------------------------------------- selection

int CXListCtrl::GetCurSel() const
{
  return m_data.m_nSelected;
}

bool CXListCtrl::SetCurSel(int nItem, bool bEnsureVisible)
{
  if (nItem < 0 || nItem >= GetItemCount())
    return false;
  m_data.m_nSelected = nItem;
  m_data.m_nFocused = nItem;
  if (bEnsureVisible)
    EnsureVisible(nItem, false);
  Redraw();
  return true;
}

unsigned CXListCtrl::GetItemState(int nItem, unsigned mask) const
{
  return m_data.State(nItem, mask);
}

bool CXListCtrl::SetItemState(int nItem, unsigned state, unsigned mask)
{
  if (!m_data.SetState(nItem, state, mask))
    return false;
  Redraw();
  return true;
}

int CXListCtrl::GetNextItem(int nItem, unsigned flags) const
{
  return m_data.Next(nItem, flags);
}

bool CXListCtrl::EnsureVisible(int nItem, bool bPartialOK)
{
  if (nItem < 0 || nItem >= GetItemCount())
    return false;
  if (!IsUpdateLocked())
    UpdateGeometries();
  const int top = GetTopIndex();
  const int page = GetCountPerPage();
  const bool partlyShown = bPartialOK && nItem == top + page && (page * GetRowHeight() < viewport()->height());
  if (nItem < top)
    verticalScrollBar()->setValue(nItem);
  else if (nItem >= top + page && !partlyShown)
    verticalScrollBar()->setValue(nItem - qMax(1, page) + 1);
  return true;
}

bool CXListCtrl::Scroll(QPoint delta)
{
  horizontalScrollBar()->setValue(horizontalScrollBar()->value() + delta.x());
  if (GetRowHeight() > 0)
    verticalScrollBar()->setValue(verticalScrollBar()->value() + delta.y() / GetRowHeight());
  return true;
}

void CXListCtrl::ModifyStyle(unsigned remove, unsigned add)
{
  m_dwStyle = (m_dwStyle & ~remove) | add;
  Redraw();
}

void CXListCtrl::SetExtendedStyle(unsigned dwExStyle)
{
  m_dwExStyle = dwExStyle;
  Redraw();
}

CImageList *CXListCtrl::SetImageList(CImageList *pImageList, int nImageListType)
{
  CImageList *&slot = nImageListType == LVSIL_SMALL ? m_pSmallImages : m_pNormalImages;
  CImageList *old = slot;
  slot = pImageList;
  UpdateGeometries();
  Redraw();
  return old;
}

CImageList *CXListCtrl::GetImageList(int nImageListType) const
{
  return nImageListType == LVSIL_SMALL ? m_pSmallImages : m_pNormalImages;
}

void CXListCtrl::LockWindowUpdate()
{
  if (m_nLockCount++ == 0)
    viewport()->setUpdatesEnabled(false);
}

void CXListCtrl::UnlockWindowUpdate()
{
  if (m_nLockCount == 0)
    return;
  if (--m_nLockCount == 0) {
    viewport()->setUpdatesEnabled(true);
    UpdateGeometries();
    viewport()->update();
  }
}

void CXListCtrl::Invalidate()
{
  Redraw();
}

void CXListCtrl::InvalidateRect(const QRect &rcClient)
{
  if (!IsUpdateLocked())
    viewport()->update(rcClient.translated(0, -HeaderHeight()));
}

void CXListCtrl::UpdateSubItem(int nItem, int nSubItem)
{
  if (IsUpdateLocked() || !ValidCell(nItem, nSubItem))
    return;
  QRect rect;
  if (!GetSubItemRect(nItem, nSubItem, LVIR_BOUNDS, rect))
    return;
  rect.adjust(-2, -2, 2, 2);
  viewport()->update(rect.translated(0, -HeaderHeight()));
}

// ---------------------------------------------------------------- mouse and keys

bool CXListCtrl::viewportEvent(QEvent *e)
{
  return QAbstractScrollArea::viewportEvent(e);
}

bool CXListCtrl::eventFilter(QObject *watched, QEvent *e)
{
  // A press on a scroll bar is the platform's non-client click: it commits.
  if (e->type() == QEvent::MouseButtonPress && (watched == horizontalScrollBar() || watched == verticalScrollBar()) &&
      m_pEdit)
    m_pController->OnXEditKillFocus();
  return QAbstractScrollArea::eventFilter(watched, e);
}

void CXListCtrl::SelectRow(int nItem)
{
  if (nItem >= 0 && nItem < GetItemCount()) {
    m_data.m_nSelected = nItem;
    m_data.m_nFocused = nItem;
  } else {
    m_data.m_nSelected = -1;
  }
  Redraw();
}

void CXListCtrl::BaseLeftClick(int nItem, int nSubItem)
{
  SelectRow(nItem);
  if (!hasFocus())
    setFocus(Qt::MouseFocusReason);
  Q_EMIT clicked(nItem, nSubItem);
}

void CXListCtrl::mousePressEvent(QMouseEvent *e)
{
  if (!m_pController->MousePress(e))
    QAbstractScrollArea::mousePressEvent(e);
}

void CXListCtrl::mouseDoubleClickEvent(QMouseEvent *e)
{
  m_pController->MouseDoubleClick(e);
}

void CXListCtrl::keyPressEvent(QKeyEvent *e)
{
  m_pController->KeyPress(e);
}

// ---------------------------------------------------------------- editing

void CXListCtrl::EditCell(int nItem, int nSubItem)
{
  m_pController->EditCell(nItem, nSubItem);
}

void CXListCtrl::DrawEdit(int nItem, int nSubItem)
{
  m_pController->DrawEdit(nItem, nSubItem);
}

void CXListCtrl::DrawComboBox(int nItem, int nSubItem)
{
  m_pController->DrawComboBox(nItem, nSubItem);
}
