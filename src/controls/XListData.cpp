#include "XListData.h"

#include "XListCommon.h"

#include "platform/Trace.h"

#include <algorithm>

void CXListData::SetDefaultColors(COLORREF crText, COLORREF crBackground)
{
  m_crText = crText;
  m_crBackground = crBackground;
}

void CXListData::InsertColumn(int at)
{
  for (Row &r : m_rows)
    if (at < r.texts.size())
      r.texts.insert(at, QString());
  ++m_nColumns;
}

bool CXListData::ValidCell(int nItem, int nSubItem) const
{
  return nItem >= 0 && nItem < Count() && nSubItem >= 0 && nSubItem < m_nColumns;
}

XLISTCELLDATA *CXListData::Cell(int nItem, int nSubItem)
{
  return const_cast<XLISTCELLDATA *>(static_cast<const CXListData *>(this)->Cell(nItem, nSubItem));
}

const XLISTCELLDATA *CXListData::Cell(int nItem, int nSubItem) const
{
  if (!ValidCell(nItem, nSubItem))
    return nullptr;
  const Row &r = m_rows[static_cast<size_t>(nItem)];
  // A row's records cover the columns it was inserted with.
  if (static_cast<size_t>(nSubItem) >= r.cells.size())
    return nullptr;
  return &r.cells[static_cast<size_t>(nSubItem)];
}

bool CXListData::RowEnabled(int nItem) const
{
  const XLISTCELLDATA *d = Cell(nItem, 0);
  return d && d->bEnabled;
}

QString CXListData::Text(int nItem, int nSubItem) const
{
  if (!ValidCell(nItem, nSubItem))
    return QString();
  const QStringList &t = m_rows[static_cast<size_t>(nItem)].texts;
  return nSubItem < t.size() ? t.at(nSubItem) : QString();
}

void CXListData::SetText(int nItem, int nSubItem, const QString &text)
{
  if (!ValidCell(nItem, nSubItem))
    return;
  QStringList &t = m_rows[static_cast<size_t>(nItem)].texts;
  while (t.size() <= nSubItem)
    t.append(QString());
  t[nSubItem] = text;
}

void CXListData::Fill(Row &row, const QString &text0, COLORREF crText, COLORREF crBackground, int columns) const
{
  row.texts.resize(1);
  row.texts[0] = text0;
  XLISTCELLDATA def;
  def.crText = m_crText;
  def.crBackground = m_crBackground;
  row.cells.assign(static_cast<size_t>(columns), def);
  if (!row.cells.empty()) {
    row.cells[0].crText = crText;
    row.cells[0].crBackground = crBackground;
  }
}

int CXListData::Insert(int nItem, const QString &text0, COLORREF crText, COLORREF crBackground)
{
  nItem = qBound(0, nItem, Count());
  Row row;
  Fill(row, text0, crText, crBackground, m_nColumns);
  m_rows.insert(m_rows.begin() + nItem, std::move(row));
  if (m_nSelected >= nItem)
    ++m_nSelected;
  if (m_nFocused >= nItem)
    ++m_nFocused;
  return nItem;
}

bool CXListData::Delete(int nItem)
{
  if (nItem < 0 || nItem >= Count())
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
  return true;
}

void CXListData::Clear()
{
  m_rows.clear();
  m_nSelected = m_nFocused = -1;
}

int CXListData::CountChecked(int nSubItem) const
{
  int n = 0;
  for (int i = 0; i < Count(); ++i) {
    const XLISTCELLDATA *d = Cell(i, nSubItem);
    if (d && d->nCheckedState == 1)
      ++n;
  }
  return n;
}

void CXListData::BeginRefill()
{
  m_bRefilling = true;
  m_nRefillRow = -1;
  m_nRefillColumns = m_nColumns;
  m_refillChanged.clear();
  // As Clear leaves them: nothing selected, nothing focused.
  for (int row : {m_nSelected, m_nFocused})
    if (row >= 0)
      for (int col = 0; col < m_nColumns; ++col)
        m_refillChanged.emplace_back(row, col);
  m_nSelected = m_nFocused = -1;
}

int CXListData::Refill(int nItem, const QString &text0, COLORREF crText, COLORREF crBackground)
{
  if (!VTX_ASSERT(m_bRefilling) || !VTX_ASSERT(nItem >= 0 && nItem < Count()))
    return -1;
  CloseRefillRow();
  // The old contents go aside for the comparison; the row is made what a new
  // row is, in the storage the previous row left (no allocation a row).
  Row &row = m_rows[static_cast<size_t>(nItem)];
  std::swap(row, m_refillOld);
  Fill(row, text0, crText, crBackground, m_nRefillColumns);
  m_nRefillRow = nItem;
  return nItem;
}

void CXListData::CloseRefillRow()
{
  if (m_nRefillRow < 0 || m_nRefillRow >= Count())
    return;
  const Row &now = m_rows[static_cast<size_t>(m_nRefillRow)];
  const Row &old = m_refillOld;
  static const QString kNone;
  for (int col = 0; col < m_nRefillColumns; ++col) {
    const QString &before = col < old.texts.size() ? old.texts.at(col) : kNone;
    const QString &after = col < now.texts.size() ? now.texts.at(col) : kNone;
    const size_t c = static_cast<size_t>(col);
    const bool hadCell = c < old.cells.size(), hasCell = c < now.cells.size();
    const bool same = before == after && hadCell == hasCell && (!hasCell || old.cells[c] == now.cells[c]);
    if (!same)
      m_refillChanged.emplace_back(m_nRefillRow, col);
  }
  m_nRefillRow = -1;
}

CXListData::Cells CXListData::EndRefill()
{
  CloseRefillRow();
  m_refillOld = Row();
  m_bRefilling = false;
  return std::exchange(m_refillChanged, {});
}

bool CXListData::GetColors(int nItem, int nSubItem, COLORREF *crText, COLORREF *crBackground) const
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

bool CXListData::SetCombo(int nItem, int nSubItem, bool bEnable, QStringList *psa, int nListHeight, int nInitialSel,
                          bool bSort)
{
  XLISTCELLDATA *d = Cell(nItem, nSubItem);
  if (!d)
    return false;
  VTX_ASSERT(nListHeight >= 1);
  if (nInitialSel < 0 || nInitialSel >= psa->size())
    nInitialSel = -1;
  d->bCombo = bEnable;
  if (!bEnable)
    return true;
  if (bSort)
    std::stable_sort(psa->begin(), psa->end(),
                     [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  d->psa = *psa; // our own copy: the caller's list may go away
  d->nComboListHeight = nListHeight;
  d->nInitialComboSel = nInitialSel;
  d->bSort = bSort;
  SetText(nItem, nSubItem, nInitialSel >= 0 ? psa->at(nInitialSel) : QString());
  return true;
}

unsigned CXListData::State(int nItem, unsigned mask) const
{
  unsigned s = 0;
  if (nItem == m_nSelected && nItem >= 0)
    s |= xl::LVIS_SELECTED;
  if (nItem == m_nFocused && nItem >= 0)
    s |= xl::LVIS_FOCUSED;
  return s & mask;
}

bool CXListData::SetState(int nItem, unsigned state, unsigned mask)
{
  if (nItem < 0 || nItem >= Count())
    return false;
  auto set = [&](int &row, unsigned flag) {
    if (!(mask & flag))
      return;
    if (state & flag)
      row = nItem;
    else if (row == nItem)
      row = -1;
  };
  set(m_nSelected, xl::LVIS_SELECTED);
  set(m_nFocused, xl::LVIS_FOCUSED);
  return true;
}

int CXListData::Next(int nItem, unsigned flags) const
{
  for (int i = nItem + 1; i < Count(); ++i) {
    if ((flags & xl::LVNI_SELECTED) && i != m_nSelected)
      continue;
    if ((flags & xl::LVNI_FOCUSED) && i != m_nFocused)
      continue;
    return i;
  }
  return -1;
}
