#include "XListCtrl.h"

#include "XCombo.h"
#include "XEdit.h"

#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "platform/Trace.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

#include <algorithm>
#include <utility>

using namespace xl;

namespace {
constexpr COLORREF kDefaultColor = static_cast<COLORREF>(-1);
constexpr COLORREF kCheckFrame = 0x996633; // red 0x33, green 0x66, blue 0x99
constexpr COLORREF kCheckMark = 0x339933;
} // namespace

CXListCtrl::CXListCtrl(QWidget *parent) : QAbstractScrollArea(parent), m_HeaderCtrl(this)
{
  setFocusPolicy(Qt::StrongFocus);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent, true);
  ReadSysColors();
  m_HeaderCtrl.show();
  connect(&m_HeaderCtrl, &QHeaderView::sectionClicked, this, &CXListCtrl::OnColumnClick);
  connect(&m_HeaderCtrl, &QHeaderView::sectionResized, this, [this] {
    UpdateGeometries();
    viewport()->update();
  });
  connect(&m_HeaderCtrl, &QHeaderView::sectionMoved, this, [this] { viewport()->update(); });
  horizontalScrollBar()->installEventFilter(this);
  verticalScrollBar()->installEventFilter(this);
  for (QTimer *t : {&m_timer1, &m_timer2, &m_timer3}) {
    t->setSingleShot(true);
    t->setInterval(kComboTimerMs);
  }
  connect(&m_timer1, &QTimer::timeout, this, &CXListCtrl::OnTimer1);
  connect(&m_timer2, &QTimer::timeout, this, &CXListCtrl::OnTimer2);
  connect(&m_timer3, &QTimer::timeout, this, &CXListCtrl::OnTimer3);
  UpdateGeometries();
}

CXListCtrl::~CXListCtrl()
{
  m_timer1.stop();
  m_timer2.stop();
  m_timer3.stop();
  if (m_pEdit) {
    m_pEdit->Detach();
    horizontalScrollBar()->setFocusProxy(nullptr);
    verticalScrollBar()->setFocusProxy(nullptr);
    delete m_pEdit;
  }
  if (m_pCombo) {
    m_pCombo->Detach();
    delete m_pCombo;
  }
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

int CXListCtrl::GetCountPerPage() const
{
  return qMax(0, viewport()->height() / GetRowHeight());
}

int CXListCtrl::GetTopIndex() const
{
  return GetItemCount() > 0 ? verticalScrollBar()->value() : 0;
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
  if (dx != 0 || dy != 0)
    CloseEditorsOnScroll();
}

// The editors stand still while the rows move under them: none may stay over
// a row it was not opened for. Typed text is kept as a scroll-bar press keeps
// it; an open choice is dropped, since committing it would write a value the
// user may have meant for the row now under it. A choice already made
// (waiting on its timer) is committed now.
void CXListCtrl::CloseEditorsOnScroll()
{
  if (m_pEdit && !m_bPlacingEditor)
    OnXEditKillFocus();
  if (!m_pCombo)
    return;
  if (m_timer3.isActive()) {
    m_timer3.stop();
    OnTimer3();
  } else {
    m_timer2.stop();
    OnTimer2();
  }
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
  for (Row &r : m_rows)
    if (at < r.texts.size())
      r.texts.insert(at, QString());
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

bool CXListCtrl::ValidCell(int nItem, int nSubItem) const
{
  return nItem >= 0 && nItem < GetItemCount() && nSubItem >= 0 && nSubItem < GetColumns();
}

XLISTCELLDATA *CXListCtrl::Cell(int nItem, int nSubItem)
{
  return const_cast<XLISTCELLDATA *>(static_cast<const CXListCtrl *>(this)->Cell(nItem, nSubItem));
}

const XLISTCELLDATA *CXListCtrl::Cell(int nItem, int nSubItem) const
{
  if (!ValidCell(nItem, nSubItem))
    return nullptr;
  const Row &r = m_rows[static_cast<size_t>(nItem)];
  // A row's records cover the columns it was inserted with.
  if (static_cast<size_t>(nSubItem) >= r.cells.size())
    return nullptr;
  return &r.cells[static_cast<size_t>(nSubItem)];
}

const XLISTCELLDATA *CXListCtrl::GetCellData(int nItem, int nSubItem) const
{
  return Cell(nItem, nSubItem);
}

bool CXListCtrl::RowEnabled(int nItem) const
{
  const XLISTCELLDATA *d = Cell(nItem, 0);
  return d && d->bEnabled;
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

CXListCtrl::Row CXListCtrl::FreshRow(const QString &text0, COLORREF crText, COLORREF crBackground) const
{
  Row row;
  row.texts.append(text0);
  XLISTCELLDATA def;
  def.crText = m_crWindowText;
  def.crBackground = m_crWindow;
  row.cells.assign(static_cast<size_t>(GetColumns()), def);
  if (!row.cells.empty()) {
    row.cells[0].crText = crText;
    row.cells[0].crBackground = crBackground;
    row.cells[0].nImage = -1;
  }
  return row;
}

int CXListCtrl::InsertItem(int nItem, const QString &lpszItem, COLORREF crText, COLORREF crBackground)
{
  if (!VTX_ASSERT(nItem >= 0))
    return -1;
  nItem = qMin(nItem, GetItemCount());
  m_rows.insert(m_rows.begin() + nItem, FreshRow(lpszItem, crText, crBackground));
  if (m_nSelected >= nItem)
    ++m_nSelected;
  if (m_nFocused >= nItem)
    ++m_nFocused;
  if (!IsUpdateLocked()) {
    UpdateGeometries();
    viewport()->update();
  }
  return nItem;
}

bool CXListCtrl::DeleteItem(int nItem)
{
  if (nItem < 0 || nItem >= GetItemCount())
    return false;
  m_rows.erase(m_rows.begin() + nItem);
  auto fix = [nItem](int &i) {
    if (i == nItem)
      i = -1;
    else if (i > nItem)
      --i;
  };
  fix(m_nSelected);
  fix(m_nFocused);
  if (!IsUpdateLocked()) {
    UpdateGeometries();
    viewport()->update();
  }
  return true;
}

bool CXListCtrl::DeleteAllItems()
{
  m_rows.clear();
  m_nSelected = m_nFocused = -1;
  if (!IsUpdateLocked()) {
    UpdateGeometries();
    viewport()->update();
  }
  return true;
}

// ---------------------------------------------------------------- in-place refill

namespace {

bool SameRecord(const XLISTCELLDATA &a, const XLISTCELLDATA &b)
{
  return a.bEnabled == b.bEnabled && a.bBold == b.bBold && a.bModified == b.bModified && a.nImage == b.nImage &&
         a.bCombo == b.bCombo && a.bSort == b.bSort && a.psa == b.psa && a.nComboListHeight == b.nComboListHeight &&
         a.nInitialComboSel == b.nInitialComboSel && a.bEdit == b.bEdit && a.crText == b.crText &&
         a.crBackground == b.crBackground && a.bShowProgress == b.bShowProgress &&
         a.nProgressPercent == b.nProgressPercent && a.strProgressText == b.strProgressText &&
         a.bShowProgressMessage == b.bShowProgressMessage && a.nCheckedState == b.nCheckedState &&
         a.dwItemData == b.dwItemData;
}

} // namespace

void CXListCtrl::BeginRefill()
{
  if (!VTX_ASSERT(!m_bRefilling))
    return;
  m_bRefilling = true;
  // No cell repaints on its own while the rows are written; the changed ones
  // are repainted together at the end. Painting stays enabled, so the end
  // need not repaint the whole window.
  ++m_nLockCount;
  m_nRefillRow = -1;
  m_nRefillColumns = GetColumns();
  m_refillChanged.clear();
  // As DeleteAllItems leaves them: nothing selected, nothing focused.
  for (int row : {m_nSelected, m_nFocused})
    if (row >= 0)
      for (int col = 0; col < GetColumns(); ++col)
        m_refillChanged.emplace_back(row, col);
  m_nSelected = m_nFocused = -1;
}

int CXListCtrl::RefillItem(int nItem, const QString &lpszItem)
{
  return RefillItem(nItem, lpszItem, m_crWindowText, m_crWindow);
}

int CXListCtrl::RefillItem(int nItem, const QString &lpszItem, COLORREF crText, COLORREF crBackground)
{
  if (!VTX_ASSERT(m_bRefilling) || !VTX_ASSERT(nItem >= 0 && nItem < GetItemCount()))
    return -1;
  CloseRefillRow();
  // The old contents go aside for the comparison; the row is made what a new
  // row is, in the storage the previous row left (no allocation a row).
  Row &row = m_rows[static_cast<size_t>(nItem)];
  std::swap(row, m_refillOld);
  row.texts.resize(1);
  row.texts[0] = lpszItem;
  XLISTCELLDATA def;
  def.crText = m_crWindowText;
  def.crBackground = m_crWindow;
  row.cells.assign(static_cast<size_t>(m_nRefillColumns), def);
  if (!row.cells.empty()) {
    row.cells[0].crText = crText;
    row.cells[0].crBackground = crBackground;
    row.cells[0].nImage = -1;
  }
  m_nRefillRow = nItem;
  return nItem;
}

void CXListCtrl::CloseRefillRow()
{
  if (m_nRefillRow < 0 || m_nRefillRow >= GetItemCount())
    return;
  const Row &now = m_rows[static_cast<size_t>(m_nRefillRow)];
  const Row &old = m_refillOld;
  static const QString kNone;
  for (int col = 0; col < m_nRefillColumns; ++col) {
    const QString &before = col < old.texts.size() ? old.texts.at(col) : kNone;
    const QString &after = col < now.texts.size() ? now.texts.at(col) : kNone;
    const size_t c = static_cast<size_t>(col);
    const bool hadCell = c < old.cells.size(), hasCell = c < now.cells.size();
    const bool same = before == after && hadCell == hasCell && (!hasCell || SameRecord(old.cells[c], now.cells[c]));
    if (!same)
      m_refillChanged.emplace_back(m_nRefillRow, col);
  }
  m_nRefillRow = -1;
}

void CXListCtrl::EndRefill()
{
  if (!VTX_ASSERT(m_bRefilling))
    return;
  CloseRefillRow();
  m_refillOld = Row();
  m_bRefilling = false;
  --m_nLockCount;
  if (IsUpdateLocked()) {
    m_refillChanged.clear();
    return; // the outer unlock repaints everything
  }
  const int top = GetTopIndex();
  const int last = top + GetCountPerPage();
  for (const auto &[row, col] : m_refillChanged)
    if (row >= top && row <= last)
      UpdateSubItem(row, col);
  m_refillChanged.clear();
}

QString CXListCtrl::EmptyListText()
{
  return StringTable::Instance().Text(IDS_EMPTY_LIST_VIEW);
}

QString CXListCtrl::GetItemText(int nItem, int nSubItem) const
{
  if (!ValidCell(nItem, nSubItem))
    return QString();
  const QStringList &t = m_rows[static_cast<size_t>(nItem)].texts;
  return nSubItem < t.size() ? t.at(nSubItem) : QString();
}

bool CXListCtrl::SetItemText(int nItem, int nSubItem, const QString &lpszText)
{
  if (!VTX_ASSERT(ValidCell(nItem, nSubItem)))
    return false;
  QStringList &t = m_rows[static_cast<size_t>(nItem)].texts;
  while (t.size() <= nSubItem)
    t.append(QString());
  t[nSubItem] = lpszText;
  UpdateSubItem(nItem, nSubItem);
  return true;
}

bool CXListCtrl::SetItemText(int nItem, int nSubItem, const QString *lpszText, COLORREF crText, COLORREF crBackground)
{
  if (!VTX_ASSERT(ValidCell(nItem, nSubItem)))
    return false;
  if (lpszText) {
    QStringList &t = m_rows[static_cast<size_t>(nItem)].texts;
    while (t.size() <= nSubItem)
      t.append(QString());
    t[nSubItem] = *lpszText;
  }
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
  const XLISTCELLDATA *d = Cell(nItem, nSubItem);
  if (!d)
    return false;
  if (crText)
    *crText = d->crText;
  if (crBackground)
    *crBackground = d->crBackground;
  return true;
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
  XLISTCELLDATA *d = Cell(nItem, nSubItem);
  if (!d)
    return false;
  VTX_ASSERT(nComboListHeight >= 1);
  // An initial index outside the strings names no entry: the cell shows
  // nothing rather than another value's name.
  if (nInitialComboSel < 0 || nInitialComboSel >= psa->size())
    nInitialComboSel = -1;

  d->bCombo = bEnableCombo;
  if (!bEnableCombo) {
    UpdateSubItem(nItem, nSubItem);
    return true;
  }
  if (bSort)
    std::stable_sort(psa->begin(), psa->end(),
                     [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  d->psa = *psa; // our own copy: the caller's list may go away
  d->nComboListHeight = nComboListHeight;
  d->nInitialComboSel = nInitialComboSel;
  d->bSort = bSort;
  SetItemText(nItem, nSubItem, nInitialComboSel >= 0 ? psa->at(nInitialComboSel) : QString());
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
  int n = 0;
  for (int i = 0; i < GetItemCount(); ++i) {
    const XLISTCELLDATA *d = Cell(i, nSubItem);
    if (d && d->nCheckedState == 1)
      ++n;
  }
  return n;
}

void CXListCtrl::SyncHeaderCheck(int nSubItem)
{
  if (GetHeaderCheckedState(nSubItem) != 0)
    SetHeaderCheckedState(nSubItem, CountCheckedItems(nSubItem) == GetItemCount() ? 2 : 1);
}

void CXListCtrl::OnColumnClick(int nSubItem)
{
  if (nSubItem >= 0 && nSubItem < GetColumns()) {
    const int state = GetHeaderCheckedState(nSubItem);
    if (state != 0) {
      const int now = state == 1 ? 2 : 1;
      SetHeaderCheckedState(nSubItem, now);
      m_HeaderCtrl.viewport()->update();
      for (int i = 0; i < GetItemCount(); ++i) {
        XLISTCELLDATA *d = Cell(i, nSubItem);
        if (d && d->nCheckedState != -1) {
          d->nCheckedState = now == 2 ? 1 : 0;
          d->bModified = true;
          UpdateSubItem(i, nSubItem);
        }
      }
    }
  }
  Q_EMIT columnClicked(nSubItem);
}

// ---------------------------------------------------------------- selection

int CXListCtrl::GetCurSel() const
{
  return m_nSelected;
}

bool CXListCtrl::SetCurSel(int nItem, bool bEnsureVisible)
{
  if (nItem < 0 || nItem >= GetItemCount())
    return false;
  m_nSelected = nItem;
  m_nFocused = nItem;
  if (bEnsureVisible)
    EnsureVisible(nItem, false);
  Redraw();
  return true;
}

unsigned CXListCtrl::GetItemState(int nItem, unsigned mask) const
{
  unsigned s = 0;
  if (nItem == m_nSelected && nItem >= 0)
    s |= LVIS_SELECTED;
  if (nItem == m_nFocused && nItem >= 0)
    s |= LVIS_FOCUSED;
  return s & mask;
}

bool CXListCtrl::SetItemState(int nItem, unsigned state, unsigned mask)
{
  if (nItem < 0 || nItem >= GetItemCount())
    return false;
  if (mask & LVIS_SELECTED) {
    if (state & LVIS_SELECTED)
      m_nSelected = nItem;
    else if (m_nSelected == nItem)
      m_nSelected = -1;
  }
  if (mask & LVIS_FOCUSED) {
    if (state & LVIS_FOCUSED)
      m_nFocused = nItem;
    else if (m_nFocused == nItem)
      m_nFocused = -1;
  }
  Redraw();
  return true;
}

int CXListCtrl::GetNextItem(int nItem, unsigned flags) const
{
  for (int i = nItem + 1; i < GetItemCount(); ++i) {
    if ((flags & LVNI_SELECTED) && i != m_nSelected)
      continue;
    if ((flags & LVNI_FOCUSED) && i != m_nFocused)
      continue;
    return i;
  }
  return -1;
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

// ---------------------------------------------------------------- drawing

void CXListCtrl::GetCellColors(int nItem, int nSubItem, COLORREF &crText, COLORREF &crBkgnd) const
{
  if (nItem < 0 || nItem != m_nSelected)
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

void CXListCtrl::DrawCell(QPainter *p, int nItem, int nSubItem, const QRect &cell)
{
  COLORREF crText = m_crWindowText, crBkgnd = m_crWindow;
  const XLISTCELLDATA *d = Cell(nItem, nSubItem);
  if (d) {
    crText = d->crText;
    crBkgnd = d->crBackground;
    if (!RowEnabled(nItem))
      crText = m_crGrayText;
  }
  GetCellColors(nItem, nSubItem, crText, crBkgnd);
  QRect rect = cell;
  if (d && d->nCheckedState != -1) {
    DrawCheckbox(p, nItem, nSubItem, crText, crBkgnd, rect, d);
  } else {
    rect.setLeft(rect.left() + DrawImage(p, nItem, nSubItem, crText, crBkgnd, rect, d));
    DrawText(p, nItem, nSubItem, crText, crBkgnd, rect, d);
  }
}

int CXListCtrl::DrawImage(QPainter *p, int, int, COLORREF, COLORREF crBkgnd, QRect rect, const XLISTCELLDATA *d)
{
  FillSolidRect(p, rect, crBkgnd);
  const int spacing = m_HeaderCtrl.GetSpacing();
  rect.setLeft(rect.left() + spacing);
  if (!m_pSmallImages || !d || d->nImage == -1)
    return 0;
  QRect rcImage;
  if (!m_pSmallImages->GetImageRect(d->nImage, &rcImage))
    return 0; // not an image of the list: skipped
  if (d->nImage < 0 || rect.width() <= 0)
    return 0;
  const int w = rcImage.width(), h = rcImage.height();
  const QPoint at(rect.left(), rect.top() + rect.height() / 2 - h / 2);
  const COLORREF old = m_pSmallImages->SetBkColor(crBkgnd);
  m_pSmallImages->Draw(p, d->nImage, at, QSize(qMin(w, rect.width()), qMin(h, rect.height())));
  m_pSmallImages->SetBkColor(old);
  return w + spacing;
}

void CXListCtrl::DrawText(QPainter *p, int nItem, int nSubItem, COLORREF crText, COLORREF crBkgnd, QRect rect,
                          const XLISTCELLDATA *d)
{
  FillSolidRect(p, rect, crBkgnd);
  const QString text = GetItemText(nItem, nSubItem);
  if (text.isEmpty())
    return;
  HDITEM hd;
  hd.mask = HDI_FORMAT;
  m_HeaderCtrl.GetItem(nSubItem, &hd);
  int align = Qt::AlignVCenter | Qt::TextSingleLine;
  if (hd.fmt & HDF_CENTER)
    align |= Qt::AlignHCenter;
  else if (hd.fmt & HDF_RIGHT)
    align |= Qt::AlignRight;
  else
    align |= Qt::AlignLeft;
  const QRect rc = rect.adjusted(m_nPadding, 0, -m_nPadding, 0);
  if (rc.width() <= 0)
    return;
  if (d && d->bBold) {
    QFont f = p->font();
    f.setBold(true);
    p->setFont(f);
  }
  p->setPen(ToQColor(crText));
  const QString shown = m_bUseEllipsis ? p->fontMetrics().elidedText(text, Qt::ElideRight, rc.width()) : text;
  p->drawText(rc, align, shown);
  if (d && d->bBold)
    p->setFont(font());
}

void CXListCtrl::DrawCheckbox(QPainter *p, int nItem, int nSubItem, COLORREF crText, COLORREF crBkgnd, QRect rect,
                              const XLISTCELLDATA *d)
{
  FillSolidRect(p, rect, crBkgnd);
  const int side = rect.height() - 1;
  const QString text = GetItemText(nItem, nSubItem);
  QRect box(rect.left() + 9, rect.top(), side, side);
  if (text.isEmpty())
    box.moveLeft(rect.left() + rect.width() / 2 - side / 2 - 1);
  FillSolidRect(p, box, m_crWindow);
  FrameRect(p, box, kCheckFrame);
  if (d->nCheckedState == 1) {
    VTX_ASSERT(side > 9);
    DrawCheckMark(p, box, RowEnabled(nItem) ? kCheckMark : m_crGrayText);
  }
  if (!text.isEmpty()) {
    QRect rc = rect;
    rc.setLeft(box.left() + box.width() + 4);
    if (rc.width() > 0) {
      p->setPen(ToQColor(crText));
      const QString shown = m_bUseEllipsis ? p->fontMetrics().elidedText(text, Qt::ElideRight, rc.width()) : text;
      p->drawText(rc, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
  }
}

void CXListCtrl::paintEvent(QPaintEvent *e)
{
  QPainter p(viewport());
  const int hh = HeaderHeight();
  p.translate(0, -hh); // paint in client coordinates
  p.setFont(font());
  const QRect clip = e->rect().translated(0, hh);
  const QRect client = GetClientRect();

  if (GetItemCount() == 0) {
    FillSolidRect(&p, clip, m_crWindow);
    QRect area = client;
    QRect first;
    const int headerBottom = m_HeaderCtrl.GetItemRect(0, &first) ? first.bottom() + 1 : hh;
    area.setTop(headerBottom + 10);
    FillSolidRect(&p, area, m_crWindow);
    p.save();
    p.setPen(ToQColor(m_crWindowText));
    p.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, EmptyListText());
    p.restore();
    return;
  }

  const int top = GetTopIndex();
  const int last = qMin(GetItemCount() - 1, top + GetCountPerPage());
  const int rowsLeft = -horizontalScrollBar()->value();
  const int rowsRight = rowsLeft + TotalWidth();
  // Only the bands the rows leave are erased; every cell paints its own ground.
  const int rowsBottom = RowTop(last) + GetRowHeight();
  FillSolidRect(&p, QRect(client.left(), rowsBottom, client.width(), client.bottom() + 1 - rowsBottom), m_crWindow);
  FillSolidRect(&p, QRect(rowsRight, hh, client.right() + 1 - rowsRight, rowsBottom - hh), m_crWindow);
  if (rowsLeft > client.left())
    FillSolidRect(&p, QRect(client.left(), hh, rowsLeft - client.left(), rowsBottom - hh), m_crWindow);

  for (int item = top; item <= last; ++item) {
    const int y = RowTop(item);
    if (y > clip.bottom() || y + GetRowHeight() <= clip.top())
      continue;
    for (int order = 0; order < GetColumns(); ++order) {
      const int col = m_HeaderCtrl.OrderToIndex(order);
      QRect rect;
      if (col < 0 || !GetSubItemRect(item, col, LVIR_BOUNDS, rect) || rect.width() <= 0)
        continue;
      if (!rect.intersects(clip))
        continue;
      p.save();
      p.setClipRect(rect);
      DrawCell(&p, item, col, rect);
      p.restore();
    }
  }
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
    OnXEditKillFocus();
  return QAbstractScrollArea::eventFilter(watched, e);
}

void CXListCtrl::SelectRow(int nItem)
{
  if (nItem >= 0 && nItem < GetItemCount()) {
    m_nSelected = nItem;
    m_nFocused = nItem;
  } else {
    m_nSelected = -1;
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
  const QPoint pt = ViewportToClient(e->position().toPoint());
  int hitSub = -1;
  const int item = SubItemHitTest(pt, &hitSub);
  qCDebug(lcControls, "lvhit.iItem=%d  lvhit.iSubItem=%d  ~~~~~", item, hitSub);

  if (e->button() == Qt::RightButton) {
    if (item >= 0 && !RowEnabled(item))
      return;
    SelectRow(item);
    Q_EMIT rightClicked(item, hitSub, pt);
    return;
  }
  if (e->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(e);
    return;
  }
  if (item < 0) {
    if (m_pCombo)
      OnComboEscape();
    BaseLeftClick(-1, hitSub);
    return;
  }
  if (!RowEnabled(item))
    return; // a disabled row takes no click at all

  int col = -1;
  for (int c = 0; c < GetColumns(); ++c) {
    QRect rect;
    if (GetSubItemRect(item, c, LVIR_BOUNDS, rect) && rect.width() > 0 && rect.contains(pt)) {
      col = c;
      break;
    }
  }
  if (col < 0) {
    if (m_pCombo)
      OnComboEscape();
    BaseLeftClick(item, hitSub);
    return;
  }
  XLISTCELLDATA *d = Cell(item, col);
  if (d && (d->nCheckedState == 0 || d->nCheckedState == 1)) {
    d->nCheckedState = d->nCheckedState == 0 ? 1 : 0;
    d->bModified = true;
    UpdateSubItem(item, col);
    Q_EMIT checkboxClicked(item, col);
    SyncHeaderCheck(col);
    BaseLeftClick(item, hitSub);
    return;
  }
  BaseLeftClick(item, hitSub);
  // The click notice may have refilled the list under us.
  d = Cell(item, col);
  if (!d || !RowEnabled(item))
    return;
  if (d->bCombo)
    DrawComboBox(item, col);
  else if (d->bEdit)
    DrawEdit(item, col);
}

void CXListCtrl::mouseDoubleClickEvent(QMouseEvent *e)
{
  // The second press of a double click only selects, as the platform list does.
  const QPoint pt = ViewportToClient(e->position().toPoint());
  const int item = HitTest(pt);
  if (item >= 0 && !RowEnabled(item))
    return;
  SelectRow(item);
}

void CXListCtrl::keyPressEvent(QKeyEvent *e)
{
  qCDebug(lcControls) << "in CXListCtrl::OnKeyDown";
  const int count = GetItemCount();
  const int page = qMax(1, GetCountPerPage());
  int cur = m_nFocused >= 0 ? m_nFocused : m_nSelected;
  int to = -2;
  switch (e->key()) {
  case Qt::Key_Up:
    to = cur < 0 ? 0 : qMax(0, cur - 1);
    break;
  case Qt::Key_Down:
    to = cur < 0 ? 0 : qMin(count - 1, cur + 1);
    break;
  case Qt::Key_Home:
    to = 0;
    break;
  case Qt::Key_End:
    to = count - 1;
    break;
  case Qt::Key_PageUp:
    to = cur < 0 ? 0 : qMax(0, cur - (page - 1));
    break;
  case Qt::Key_PageDown:
    to = cur < 0 ? 0 : qMin(count - 1, cur + (page - 1));
    break;
  case Qt::Key_Left:
    horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    break;
  case Qt::Key_Right:
    horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    break;
  default:
    break;
  }
  if (to >= 0 && count > 0)
    SelectRow(to);
  const int sel = GetCurSel();
  if (sel >= 0)
    SetCurSel(sel, true);
  unsigned flags = static_cast<unsigned>(e->nativeScanCode() & 0xFF);
  if (e->isAutoRepeat())
    flags |= 0x4000;
  if (e->modifiers() & Qt::AltModifier)
    flags |= 0x2000;
  // Enter and Escape stay with a dialog that holds the list (its default
  // and cancel buttons), as the platform's dialog manager keeps them.
  const bool dialogKey = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape;
  e->setAccepted(!dialogKey);
  Q_EMIT keyDown(VirtualKeyFromQt(e->key()), flags);
}

// ---------------------------------------------------------------- editing

void CXListCtrl::EditCell(int nItem, int nSubItem)
{
  const XLISTCELLDATA *d = Cell(nItem, nSubItem);
  if (!d || !RowEnabled(nItem) || m_pEdit || m_pCombo)
    return;
  if (d->bCombo)
    DrawComboBox(nItem, nSubItem);
  else if (d->bEdit)
    DrawEdit(nItem, nSubItem);
}

void CXListCtrl::DrawEdit(int nItem, int nSubItem)
{
  if (!VTX_ASSERT(ValidCell(nItem, nSubItem)))
    return;
  if (GetColumnWidth(nSubItem) < 5)
    return;
  if (!(m_dwExStyle & LVS_EX_FULLROWSELECT))
    qCWarning(lcControls) << "XListCtrl: edit boxes require LVS_EX_FULLROWSELECT style";
  if (!Cell(nItem, nSubItem) || !RowEnabled(nItem))
    return;
  // Scrolling to the cell here replaces an open box without a commit.
  m_bPlacingEditor = true;
  if (!EnsureVisible(nItem, true)) {
    m_bPlacingEditor = false;
    return;
  }

  int offset = 0;
  for (int i = 0; i < nSubItem; ++i)
    offset += GetColumnWidth(i);
  QRect rect;
  GetItemRect(nItem, &rect, LVIR_BOUNDS);
  const QRect client = GetClientRect();
  if (offset + rect.left() < 0 || offset + rect.left() > client.right()) {
    Scroll(QPoint(offset + rect.left(), 0));
    GetItemRect(nItem, &rect, LVIR_BOUNDS);
  }
  m_bPlacingEditor = false;

  HDITEM hd;
  hd.mask = HDI_FORMAT;
  m_HeaderCtrl.GetItem(nSubItem, &hd);
  Qt::Alignment align = Qt::AlignLeft;
  if ((hd.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT)
    align = Qt::AlignRight;
  else if ((hd.fmt & HDF_JUSTIFYMASK) == HDF_CENTER)
    align = Qt::AlignHCenter;

  QRect rc(rect.left() + offset + 2, rect.top(), GetColumnWidth(nSubItem) - 4, rect.height() + 1);
  if (rc.right() > client.right())
    rc.setRight(client.right());

  m_strInitialString = GetItemText(nItem, nSubItem);
  DestroyEdit();

  m_pEdit = new CXEdit(viewport(), m_strInitialString);
  m_pEdit->setAlignment(align | Qt::AlignVCenter);
  m_pEdit->setGeometry(rc.translated(0, -HeaderHeight()));
  connect(m_pEdit, &CXEdit::editKillFocus, this, &CXListCtrl::OnXEditKillFocus);
  connect(m_pEdit, &CXEdit::editEscape, this, &CXListCtrl::OnXEditEscape);
  m_nEditItem = nItem;
  m_nEditSubItem = nSubItem;
  m_strEditRowKey = GetItemText(nItem, 0);
  m_pEdit->show();
  m_pEdit->setFocus(Qt::OtherFocusReason);
  // A press on a scroll bar must not take the focus from the box: it commits.
  horizontalScrollBar()->setFocusProxy(m_pEdit);
  verticalScrollBar()->setFocusProxy(m_pEdit);
}

void CXListCtrl::DestroyEdit()
{
  if (!m_pEdit)
    return;
  CXEdit *edit = m_pEdit;
  m_pEdit = nullptr;
  edit->Detach();
  horizontalScrollBar()->setFocusProxy(nullptr);
  verticalScrollBar()->setFocusProxy(nullptr);
  if (edit->hasFocus())
    setFocus(Qt::OtherFocusReason);
  edit->hide();
  edit->deleteLater();
}

bool CXListCtrl::SameRow(int nItem, int nSubItem, const QString &rowKey) const
{
  return ValidCell(nItem, nSubItem) && GetItemText(nItem, 0) == rowKey;
}

void CXListCtrl::OnXEditKillFocus()
{
  if (!m_pEdit)
    return;
  QString text = m_pEdit->text();
  if (text.isEmpty())
    text = m_strInitialString; // an emptied box keeps the old value
  const bool untouched = !m_pEdit->isModified() || m_pEdit->text().isEmpty();
  DestroyEdit();
  // The list may have been refilled while the box was open.
  if (!SameRow(m_nEditItem, m_nEditSubItem, m_strEditRowKey))
    return;
  SetItemText(m_nEditItem, m_nEditSubItem, text);
  if (text != m_strInitialString)
    if (XLISTCELLDATA *d = Cell(m_nEditItem, m_nEditSubItem))
      d->bModified = true;
  UpdateSubItem(m_nEditItem, m_nEditSubItem);
  const bool outer = std::exchange(m_bEditUntouched, untouched);
  const QPointer<CXListCtrl> self(this);
  Q_EMIT editEnd(m_nEditItem, m_nEditSubItem);
  if (self)
    m_bEditUntouched = outer;
}

void CXListCtrl::OnXEditEscape()
{
  if (!m_pEdit)
    return;
  DestroyEdit();
  UpdateSubItem(m_nEditItem, m_nEditSubItem);
}

void CXListCtrl::DrawComboBox(int nItem, int nSubItem)
{
  if (!VTX_ASSERT(ValidCell(nItem, nSubItem)))
    return;
  if (GetColumnWidth(nSubItem) < 5)
    return;
  if (!(m_dwExStyle & LVS_EX_FULLROWSELECT))
    qCWarning(lcControls) << "XListCtrl: combo boxes require LVS_EX_FULLROWSELECT style";
  XLISTCELLDATA *d = Cell(nItem, nSubItem);
  if (!d || !RowEnabled(nItem))
    return;
  // A chooser whose commit or abandon still waits on its timer is finished
  // now: the timer must not act on the chooser opened next.
  if (m_timer3.isActive()) {
    m_timer3.stop();
    OnTimer3();
  }
  if (m_timer2.isActive()) {
    m_timer2.stop();
    OnTimer2();
  }
  d = Cell(nItem, nSubItem); // the commit's notice may have changed the list
  if (!d || !RowEnabled(nItem))
    return;
  QRect rect;
  GetSubItemRect(nItem, nSubItem, LVIR_BOUNDS, rect);

  if (m_pCombo) {
    qCDebug(lcControls) << "Found duplicated combobox";
    DestroyCombo();
  }
  m_pCombo = new CXCombo(this);
  m_nComboItem = nItem;
  m_nComboSubItem = nSubItem;
  m_strComboRowKey = GetItemText(nItem, 0);
  QRect rc = rect;
  rc.setBottom(rc.bottom() - 1);
  rc.setLeft(rc.left() + 1);
  m_rectComboList = QRect(ClientToScreen(rc.topLeft()), rc.size());
  connect(m_pCombo, &CXCombo::comboEscape, this, &CXListCtrl::OnComboEscape);
  connect(m_pCombo, &CXCombo::comboComplete, this, &CXListCtrl::OnComboComplete);

  if (!m_timer1.isActive())
    LockWindowUpdate();

  if (d->psa)
    for (const QString &s : *d->psa)
      if (!s.isEmpty())
        m_pCombo->AddString(s);
  m_pCombo->SetVisibleItemCount(d->nComboListHeight);

  // The chooser opens on the entry that carries the value's text; a value
  // without a name leaves the cell empty and selects nothing.
  QString text;
  bool haveText = false;
  if (d->psa && d->nInitialComboSel >= 0 && d->nInitialComboSel < d->psa->size()) {
    text = d->psa->at(d->nInitialComboSel);
    qCDebug(lcControls, "nInitialComboSel=%d  str=<%s>", d->nInitialComboSel, qPrintable(text));
    SetItemText(nItem, nSubItem, text);
    d->nInitialComboSel = -1;
    haveText = true;
  }
  if (!haveText)
    text = GetItemText(nItem, nSubItem);
  int index = -1;
  if (!text.isEmpty()) {
    index = m_pCombo->FindStringExact(-1, text);
    qCDebug(lcControls, "FindStringExact returned %d", index);
    if (index < 0)
      index = 0;
  }
  m_pCombo->SetCurSel(index);
  m_strInitialString = m_pCombo->GetLBText(index);
  m_timer1.start();

  m_pCombo->setGeometry(QRect(mapFromGlobal(m_rectComboList.topLeft()), m_rectComboList.size()));
  m_pCombo->show();
  m_pCombo->raise();
  m_pCombo->setFocus(Qt::OtherFocusReason);
}

void CXListCtrl::DestroyCombo()
{
  if (!m_pCombo)
    return;
  CXCombo *combo = m_pCombo;
  m_pCombo = nullptr;
  combo->Detach();
  if (combo->GetDroppedState())
    combo->OnDestroyDropdownList(); // its drop-down is a window of its own
  if (combo->hasFocus())
    setFocus(Qt::OtherFocusReason);
  combo->hide();
  combo->deleteLater();
}

void CXListCtrl::OnComboEscape()
{
  qCDebug(lcControls) << "in CXListCtrl::OnComboEscape";
  m_timer2.start();
}

void CXListCtrl::OnComboComplete()
{
  qCDebug(lcControls) << "in CXListCtrl::OnComboComplete";
  m_timer3.start();
}

void CXListCtrl::OnTimer1()
{
  UnlockWindowUpdate();
}

void CXListCtrl::OnTimer2()
{
  if (!m_pCombo)
    return;
  UpdateSubItem(m_nComboItem, m_nComboSubItem);
  DestroyCombo();
}

void CXListCtrl::OnTimer3()
{
  if (!m_pCombo)
    return;
  const int sel = m_pCombo->GetCurSel();
  if (sel != -1 && SameRow(m_nComboItem, m_nComboSubItem, m_strComboRowKey)) {
    const QString text = m_pCombo->GetLBText(sel);
    SetItemText(m_nComboItem, m_nComboSubItem, text);
    UpdateSubItem(m_nComboItem, m_nComboSubItem);
    if (text != m_strInitialString)
      if (XLISTCELLDATA *d = Cell(m_nComboItem, m_nComboSubItem))
        d->bModified = true;
    DestroyCombo();
    Q_EMIT comboSelection(m_nComboItem, m_nComboSubItem);
    return;
  }
  DestroyCombo();
}
