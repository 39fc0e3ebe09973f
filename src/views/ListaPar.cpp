#include "ListaPar.h"

#include "ViewState.h"

#include "BitSet.h"
#include "controls/XListCtrl.h"
#include "model/FormatBinary16.h"
#include "model/MainWindowLink.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "modbus/RequestPacket.h"
#include "platform/Format.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {

// Enumerations name at most this many values; the chooser of a wider range
// is cut at a 16-bit word's range so that a stray maximum cannot exhaust memory.
constexpr int kNamedValues = 100;
constexpr int kChooserLimit = 0x10000;

// The row under the cursor during a drag, shared by every parameter list.
int s_nHotRow = -1;

int SelectorOfColumn(int col)
{
  switch (col) {
  case CParListView::COL_OLD:
    return Parametri::SEL_OLD;
  case CParListView::COL_DEFAULT:
    return Parametri::SEL_DEFAULT;
  case CParListView::COL_MIN:
    return Parametri::SEL_MIN;
  case CParListView::COL_MAX:
    return Parametri::SEL_MAX;
  default:
    return Parametri::SEL_VALUE;
  }
}

unsigned HeaderId(int col, bool internalUnits)
{
  if (col < CParListView::COL_UI)
    return IDS_COL_N_TOT + col; // "N tot" .. "SI value"
  if (col == CParListView::COL_UI)
    return IDS_COL_UI_VALUE;
  return (internalUnits ? IDS_COL_OLD_UI : IDS_COL_OLD_SI) + (col - CParListView::COL_OLD);
}

} // namespace

int CParListView::LoadDefaultCommand()
{
  return 0xC101;
}

int CParListView::LoadOldCommand()
{
  return 0xC102;
}

CParListView::CParListView(QWidget *parent) : CXListView(parent)
{
  CXListCtrl *list = GetListCtrl();
  connect(list, &CXListCtrl::editEnd, this, [this](int item, int sub) { OnEndLabelEdit(item, sub); });
  connect(list, &CXListCtrl::comboSelection, this, [this](int item, int sub) { OnEndLabelEdit(item, sub); });
  connect(list, &CXListCtrl::clicked, this, &CParListView::OnClick);
  connect(list, &CXListCtrl::rightClicked, this, &CParListView::OnRClick);
  connect(list, &CXListCtrl::keyDown, this, [this](int key, unsigned flags) { OnHelpKey(key, flags); });
}

CParListView::~CParListView()
{
  if (CQelDoc *doc = GetDocument()) {
    doc->SetParListCtrl(nullptr);
  }
  FreeComboLists();
}

CQelDoc *CParListView::GetDocument() const
{
  return qobject_cast<CQelDoc *>(CView::GetDocument());
}

void CParListView::InitListCtrl(CXListCtrl *pList)
{
  CQelDoc *doc = GetDocument();
  if (!VTX_ASSERT(doc != nullptr))
    return;
  views::ReadWidths(views::WidthList::Par, m_nColWidth);
  const bool internal = doc->IsInternalUnits();
  for (int col = 0; col < kColumns; ++col) {
    int format = xl::LVCFMT_RIGHT;
    if (col == COL_INDEX || col == COL_TYPE || col == COL_UNIT)
      format = xl::LVCFMT_CENTER;
    else if (col == COL_NAME)
      format = xl::LVCFMT_LEFT;
    pList->InsertColumn(col, LoadStr(HeaderId(col, internal)), format, col == COL_INDEX ? 0 : m_nColWidth[col]);
  }
  if (VTX_ASSERT(m_HeaderImages.Create(CImageList::CheckBoxStrip(), 16, 3, 0xFF00FF)))
    pList->GetHeaderCtrl()->SetImageList(&m_HeaderImages);
  doc->SetParListCtrl(this);
}

void CParListView::OnUpdate(CView *, long lHint, QObject *)
{
  CQelDoc *doc = GetDocument();
  if (!VTX_ASSERT(doc != nullptr))
    return;
  if (lHint != 0 && !(lHint & views::HINT_PAR_LIST))
    return;
  CXListCtrl *list = GetListCtrl();
  // The base's initial update comes before the columns exist.
  if (list->GetColumns() < kColumns)
    return;
  if ((lHint & ~views::HINT_VIEW_BITS) == views::HINT_SAVE_WIDTHS)
    SaveColumnWidths();

  if (doc->NeedsEditorReopen() && m_nReopenItem >= 0 && m_nReopenSubItem >= 0) {
    doc->ClearEditorReopen();
    // A row that is gone keeps the cell; the request is dropped all the same.
    if (m_nReopenItem < list->GetItemCount()) {
      const int item = m_nReopenItem, sub = m_nReopenSubItem;
      m_nReopenItem = m_nReopenSubItem = -1;
      qCDebug(lcViews, "editor reopened on the read-back");
      list->EditCell(item, sub);
    }
  }

  m_bDragging = views::drag::Active(*doc);
  if (m_bDragging) {
    TrackDrag(doc);
    return;
  }

  views::drag::SetTargetPar(*doc, views::drag::NO_TARGET);
  s_nHotRow = -1;
  const bool internal = doc->IsInternalUnits();
  for (int col = COL_OLD; col <= COL_MAX; ++col) {
    LVCOLUMN column;
    column.mask = xl::LVCF_TEXT;
    column.pszText = LoadStr(HeaderId(col, internal));
    list->SetColumn(col, column);
  }
  if (doc->NeedsParListUpdate()) {
    qCDebug(lcViews, "parameter list refilled for block %d", doc->GetSelectedBlock());
    const int level = views::VisLevel();
    doc->SetSelectedParRow(0xFFFF);
    m_nMenuPar = -1;
    std::vector<std::uint16_t> indexes;
    doc->CollectVisiblePars(doc->GetSelectedBlock(), level, indexes);
    m_vParIndex.assign(indexes.begin(), indexes.end());
    FillList();
    doc->SetSelectedParRow(0xFFFF);
    doc->ClearParListUpdate();
  }
}

void CParListView::TrackDrag(CQelDoc *doc)
{
  CXListCtrl *list = GetListCtrl();
  const QPoint pt = list->ScreenToClient(views::drag::Point(*doc));
  const int hot = list->GetClientRect().contains(pt) ? list->HitTest(pt) : -1;
  // The target follows the cursor on every motion, so the drop always names
  // the row under the release point; only the repaint waits for a change.
  const std::int16_t par = hot < list->GetItemCount() ? ParOfRow(hot) : -1;
  if (par < 0) {
    views::drag::SetTargetPar(*doc, views::drag::NO_ROW);
  } else {
    views::drag::SetTargetRow(*doc, views::drag::NO_TARGET);
    views::drag::SetTargetPar(*doc, par);
  }
  if (hot == s_nHotRow)
    return;
  const int old = s_nHotRow;
  s_nHotRow = hot;
  if (hot >= 0 && hot < list->GetItemCount())
    RecolorRow(hot, hot);
  if (old >= 0 && old < list->GetItemCount())
    RecolorRow(hot, old);
}

void CParListView::RecolorRow(int nHotRow, int nRow)
{
  CXListCtrl *list = GetListCtrl();
  for (int col = 0; col < kColumns; ++col) {
    COLORREF text = 0, back = 0;
    GetCellColors(nHotRow, nRow, col, &text, &back);
    list->SetItemColors(nRow, col, text, back);
  }
  QRect bounds;
  if (list->GetItemRect(nRow, &bounds, xl::LVIR_BOUNDS))
    list->InvalidateRect(bounds);
}

std::int16_t CParListView::ParOfRow(int nRow) const
{
  return nRow >= 0 && nRow < static_cast<int>(m_vParIndex.size()) ? m_vParIndex[static_cast<std::size_t>(nRow)] : -1;
}

void CParListView::FreeComboLists()
{
  m_vComboLists.clear();
}

void CParListView::SetValueCell(int nRow, int nCol)
{
  CQelDoc *doc = GetDocument();
  CXListCtrl *list = GetListCtrl();
  const std::int16_t p = ParOfRow(nRow);
  if (!doc || p < 0)
    return;
  COLORREF text = 0, back = 0;
  GetCellColors(-1, nRow, nCol, &text, &back);
  const Parametri &par = doc->GetPar(p);
  if (nCol == COL_SI && par.HasFlag8Only()) {
    const std::size_t at = static_cast<std::size_t>(nRow);
    QStringList names = at < m_vComboLists.size() && m_vComboLists[at] ? *m_vComboLists[at] : QStringList();
    const double value = par.GetValue(Parametri::SEL_VALUE);
    const int sel = std::isfinite(value) && std::abs(value) < kChooserLimit ? static_cast<int>(value) : -1;
    list->SetComboBox(nRow, nCol, true, &names, std::max<int>(1, static_cast<int>(names.size())), sel);
    list->SetItemColors(nRow, nCol, text, back);
    return;
  }
  if ((nCol == COL_MIN || nCol == COL_MAX) && par.IsLink())
    return;
  QString cell;
  FormatCell(p, nRow, nCol, !doc->IsInternalUnits(), cell);
  list->SetItemText(nRow, nCol, cell, text, back);
}

void CParListView::FillList()
{
  CQelDoc *doc = GetDocument();
  if (!doc)
    return;
  CXListCtrl *list = GetListCtrl();
  if (list->GetColumns() < kColumns)
    return;
  // The named values are taken again, so a language change shows in the
  // choosers as it does in the names.
  FreeComboLists();
  m_vComboLists.resize(m_vParIndex.size());
  for (std::size_t row = 0; row < m_vParIndex.size(); ++row)
    if (doc->GetPar(m_vParIndex[row]).HasFlag8Only())
      m_vComboLists[row] = BuildComboList(m_vParIndex[row]);
  // The same parameters as the rows show: written in place, so that only the
  // cells that change are repainted (a read answer refills a long list).
  const bool inPlace = RowsAsFilled();
  if (inPlace) {
    list->BeginRefill();
  } else {
    list->LockWindowUpdate();
    list->DeleteAllItems();
  }
  for (std::size_t i = 0; i < m_vParIndex.size(); ++i)
    FillRow(static_cast<int>(i), inPlace);
  if (inPlace)
    list->EndRefill();
  else
    list->UnlockWindowUpdate();
  m_vFilledPars = m_vParIndex;
}

void CParListView::FillRow(int nRow, bool inPlace)
{
  CQelDoc *doc = GetDocument();
  CXListCtrl *list = GetListCtrl();
  const std::int16_t p = ParOfRow(nRow);
  const Parametri &par = doc->GetPar(p);
  if (inPlace)
    list->RefillItem(nRow, vtx::Format(u"%4d", p));
  else
    list->InsertItem(nRow, vtx::Format(u"%4d", p));
  list->SetItemText(nRow, COL_KEY, par.GetAddressKey(), 0x000000, 0xFFFFFF);
  list->SetItemText(nRow, COL_TYPE, TypeCode(par));
  list->SetItemText(nRow, COL_NAME, par.GetNameText());
  list->SetItemText(nRow, COL_UNIT, doc->GetUnitName(par.GetUnit()));
  for (int col = COL_SI; col <= COL_MAX; ++col)
    SetValueCell(nRow, col);
  if (!par.HasFlag4Only())
    list->SetEdit(nRow, COL_SI);
  if (!par.IsFloat())
    list->SetEdit(nRow, COL_UI);
}

bool CParListView::RowsAsFilled() const
{
  return GetListCtrl()->GetItemCount() == static_cast<int>(m_vParIndex.size()) && m_vFilledPars == m_vParIndex;
}

void CParListView::RefillRows(const std::vector<std::uint16_t> &pars)
{
  CQelDoc *doc = GetDocument();
  if (!doc)
    return;
  CXListCtrl *list = GetListCtrl();
  if (list->GetColumns() < kColumns)
    return;
  if (!RowsAsFilled()) {
    FillList();
    return;
  }
  // A read answer changes nothing but the values of what it stored: the
  // named values and the other rows stay as the last fill made them.
  std::vector<bool> stored(static_cast<std::size_t>(std::max(doc->GetParCount(), 0)));
  for (std::uint16_t p : pars)
    if (p < stored.size())
      stored[p] = true;
  list->BeginRefill();
  for (std::size_t i = 0; i < m_vParIndex.size(); ++i) {
    const std::int16_t p = m_vParIndex[i];
    if (p >= 0 && static_cast<std::size_t>(p) < stored.size() && stored[static_cast<std::size_t>(p)])
      FillRow(static_cast<int>(i), true);
  }
  list->EndRefill();
}

void CParListView::RecolorAll()
{
  CXListCtrl *list = GetListCtrl();
  list->LockWindowUpdate();
  for (int row = 0; row < list->GetItemCount(); ++row)
    for (int col = COL_KEY; col <= COL_MAX; ++col) {
      COLORREF text = 0, back = 0;
      GetCellColors(-1, row, col, &text, &back);
      list->SetItemColors(row, col, text, back);
    }
  list->UnlockWindowUpdate();
  list->Invalidate();
}

int CParListView::FindRowByFirstColumn(const QString &text) const
{
  const CXListCtrl *list = GetListCtrl();
  for (int row = 0; row < list->GetItemCount(); ++row)
    if (list->GetItemText(row, COL_INDEX) == text)
      return row;
  return -1;
}

QString CParListView::TypeCode(const Parametri &p)
{
  if (p.IsShort()) {
    if (!p.IsVarLink() && !p.IsParLink())
      return QStringLiteral("I");
    const QChar kind = p.IsVarLink() ? u'c' : u'p';
    if (p.IsLongLink())
      return QString(kind) + u'L';
    if (p.IsFloatLink())
      return QString(kind) + u'F';
    return QString(kind) + u'I';
  }
  if (p.IsLong())
    return QStringLiteral("L");
  if (p.IsFloat())
    return QStringLiteral("F");
  return QStringLiteral("?");
}

void CParListView::FormatCell(std::int16_t nPar, int, int nCol, bool bSI, QString &text) const
{
  text.clear();
  const CQelDoc *doc = GetDocument();
  if (!doc || nPar < 0 || nPar >= doc->GetParCount() || nCol < COL_SI || nCol > COL_MAX)
    return;
  const Parametri &p = doc->GetPar(nPar);
  const int sel = SelectorOfColumn(nCol);
  const bool si = nCol == COL_SI ? true : nCol == COL_UI ? false : bSI;
  if (p.IsVarLink() || p.IsParLink()) {
    if (nCol == COL_MIN || nCol == COL_MAX)
      return;
    if (si)
      text = p.IsVarLink() ? doc->GetParText(nPar, sel, true) : doc->GetParTextParLink(nPar, sel, true);
    else
      text = doc->GetLinkValueText(nPar, false, sel);
    return;
  }
  if (p.HasFlag4Only() && (nCol == COL_MIN || nCol == COL_MAX))
    return;
  text = si ? p.GetSiValueString(sel) : p.GetValueString(sel);
}

std::unique_ptr<QStringList> CParListView::BuildComboList(std::int16_t nPar) const
{
  auto names = std::make_unique<QStringList>();
  const CQelDoc *doc = GetDocument();
  if (!doc || nPar < 0 || nPar >= doc->GetParCount())
    return names;
  const Parametri &p = doc->GetPar(nPar);
  VTX_ASSERT(p.HasFlag8Only());
  const double max = p.GetValue(Parametri::SEL_MAX);
  if (!(max >= 0))
    return names; // a negative maximum names no value
  const int count = static_cast<int>(std::min<double>(std::floor(max) + 1, kChooserLimit));
  names->reserve(count);
  for (int i = 0; i < count; ++i)
    names->append(i < kNamedValues ? doc->Translate(vtx::Format(u"%s#%d", p.GetNameText(), i), QString()) : QString());
  return names;
}

void CParListView::SaveColumnWidths()
{
  CXListCtrl *list = GetListCtrl();
  for (int col = 0; col < kColumns && col < list->GetColumns(); ++col) {
    const int width = list->GetColumnWidth(col);
    if (width != 0)
      m_nColWidth[col] = std::max(width, 10);
  }
  // The Maximum column keeps the Minimum column's width.
  m_nColWidth[COL_MAX] = m_nColWidth[COL_MIN];
  views::StoreWidths(views::WidthList::Par, m_nColWidth);
}

void CParListView::GetCellColors(int nHotRow, int nRow, int nCol, COLORREF *pText, COLORREF *pBack) const
{
  using views::Pair;
  views::ColorPair pair = views::GetPair(Pair::Normale);
  const CQelDoc *doc = GetDocument();
  const std::int16_t p = ParOfRow(nRow);
  auto out = [&](views::ColorPair c) {
    if (pText)
      *pText = c.text;
    if (pBack)
      *pBack = c.back;
  };
  if (!doc || p < 0) {
    out(pair);
    return;
  }
  if (doc->GetSelectedParRow() != 0xFFFF && doc->GetSelectedParRow() == nRow) {
    out({0xFFFFFF, 0xFF0000});
    return;
  }
  const Parametri &par = doc->GetPar(p);
  const bool hot = m_bDragging && nRow == nHotRow;
  if (nCol == COL_SI || nCol == COL_UI) {
    if (hot) {
      const std::int16_t v = views::drag::Variable(*doc);
      bool accepts = false;
      if (v >= 0 && v < doc->GetVarCount()) {
        const Variabili &var = doc->GetVar(v);
        accepts = par.IsShortLink() || (par.IsLongLink() && var.IsLong()) || (par.IsFloatLink() && var.IsFloat());
      }
      out(views::GetPair(accepts ? Pair::TrascConDip : Pair::Trascinato));
    } else if (par.IsReadOnly()) {
      out(views::GetPair(Pair::ConDipend));
    } else if (doc->IsOnline()) {
      const bool equal = static_cast<float>(par.GetValue(Parametri::SEL_VALUE)) ==
                         static_cast<float>(par.GetValue(Parametri::SEL_DEFAULT));
      out(views::GetPair(equal ? Pair::OnlineDef : Pair::Online1));
    } else {
      out(views::GetPair(par.IsNotDefault() ? Pair::Offline : Pair::OfflineDef));
    }
    return;
  }
  if (hot)
    pair = views::GetPair(Pair::Trascinato);
  else if (nCol == COL_OLD && par.IsChanged())
    pair = views::GetPair(par.IsOldDefault() ? Pair::OfflineDef : Pair::Offline);
  out(pair);
}

// ---- editing -------------------------------------------------------------------

bool CParListView::WriteBitText(std::int16_t p, const QString &text)
{
  CQelDoc *doc = GetDocument();
  // The signed 16-bit write would drop the upper half of a wider value.
  if (!doc->GetPar(p).IsShort())
    return false;
  std::uint16_t word = 0;
  if (ParseBinary16(text, &word) != 0)
    return false;
  doc->WriteParValue(p, static_cast<std::int16_t>(word));
  return true;
}

bool CParListView::WriteZeroLink(std::int16_t p)
{
  CQelDoc *doc = GetDocument();
  if (doc->GetPar(p).IsVarLink()) {
    for (const char *name : {"v_0HI", "v_0"})
      for (const Variabili &v : doc->GetVariables())
        if (v.GetName() == QLatin1String(name)) {
          doc->WriteParValue(p, v.GetAddress());
          return true;
        }
    return false;
  }
  for (const Parametri &q : doc->GetParameters())
    if (q.GetName() == QLatin1String("par0")) {
      doc->WriteParValue(p, q.GetAddress());
      return true;
    }
  return false;
}

bool CParListView::WriteVarLinkByName(std::int16_t p, const QString &text)
{
  CQelDoc *doc = GetDocument();
  for (const Variabili &v : doc->GetVariables())
    if (v.GetNameText() == text) {
      doc->WriteParValue(p, v.GetAddress());
      return true;
    }
  if (text == u"0")
    return WriteZeroLink(p);
  const bool high = text.endsWith(u"_HI", Qt::CaseInsensitive);
  if (high || text.endsWith(u"_LO", Qt::CaseInsensitive)) {
    const QString base = text.left(text.size() - 3);
    for (const Variabili &v : doc->GetVariables())
      if (v.GetNameText() == base) {
        doc->WriteParValue(p, v.GetAddress() + (high ? 1 : 0));
        return true;
      }
  }
  return false;
}

bool CParListView::WriteParLinkByName(std::int16_t p, const QString &text)
{
  CQelDoc *doc = GetDocument();
  for (const Parametri &q : doc->GetParameters())
    if (q.GetNameText() == text) {
      doc->WriteParValue(p, q.GetAddress());
      return true;
    }
  return text == u"0" && WriteZeroLink(p);
}

bool CParListView::WriteNamedValue(std::int16_t p, int nRow, const QString &text)
{
  CQelDoc *doc = GetDocument();
  const std::size_t at = static_cast<std::size_t>(nRow);
  const QStringList *names = at < m_vComboLists.size() ? m_vComboLists[at].get() : nullptr;
  if (!names)
    return false;
  const int limit = static_cast<int>(std::min<qsizetype>(names->size(), kNamedValues));
  for (int i = 0; i < limit; ++i)
    if (names->at(i) == text) {
      // The chooser confirms the value it opened on: nothing to send.
      if (doc->GetPar(p).GetValue(Parametri::SEL_VALUE) == i)
        return false;
      doc->WriteParValue(p, i);
      return true;
    }
  return false;
}

bool CParListView::WriteSiNumber(std::int16_t p, const QString &text)
{
  double si = 0;
  if (!vtx::ParseDouble(text, &si))
    return false;
  GetDocument()->WriteParSiValue(p, si);
  return true;
}

bool CParListView::WriteInternal(std::int16_t p, const QString &text)
{
  CQelDoc *doc = GetDocument();
  const Parametri &par = doc->GetPar(p);
  if (par.IsVarLink() || par.IsParLink()) {
    if (text == u"0")
      return WriteZeroLink(p);
    double address = 0;
    if (!doc->SetParFromText(p, text, &address))
      return false;
    doc->WriteParValue(p, address);
    return true;
  }
  if (par.HasFlag8Only()) {
    int i = 0;
    if (!vtx::ParseInt(text, &i) || doc->Translate(vtx::Format(u"%s#%d", par.GetNameText(), i), QString()).isEmpty())
      return false;
    doc->WriteParValue(p, i);
    return true;
  }
  double value = 0;
  if (!vtx::ParseDouble(text, &value))
    return false;
  doc->WriteParValue(p, value);
  return true;
}

int CParListView::OnEndLabelEdit(int nItem, int nSubItem)
{
  qCDebug(lcViews, "~~~OnEndLabelEdit~~~(%d,%d)", nItem, nSubItem);
  CQelDoc *doc = GetDocument();
  const std::int16_t p = ParOfRow(nItem);
  if (!VTX_ASSERT(doc != nullptr) || p < 0)
    return 0;
  // A box the user never typed into holds the shown text, rounded to the
  // display: writing it back would change the value.
  if (GetListCtrl()->IsEditUntouched()) {
    RefreshEditedRow(nItem);
    return 0;
  }
  const QString text = GetListCtrl()->GetItemText(nItem, nSubItem);
  const Parametri &par = doc->GetPar(p);
  bool written = false;
  if (!text.isEmpty()) {
    if (nSubItem == COL_SI) {
      if (par.IsVarLink())
        written = WriteVarLinkByName(p, text);
      else if (par.IsParLink())
        written = WriteParLinkByName(p, text);
      else if (par.HasFlag4Only())
        written = WriteBitText(p, text);
      else if (par.HasFlag8Only())
        written = WriteNamedValue(p, nItem, text);
      else
        written = WriteSiNumber(p, text);
    } else if (nSubItem == COL_UI) {
      written = WriteInternal(p, text);
    }
  }
  RefreshEditedRow(nItem);
  if (written && IsConnected()) {
    m_nReopenItem = nItem;
    m_nReopenSubItem = nSubItem;
  }
  return 0;
}

void CParListView::RefreshEditedRow(int nRow)
{
  // The row may be gone when the write refilled the list.
  if (nRow < 0 || nRow >= GetListCtrl()->GetItemCount())
    return;
  SetValueCell(nRow, COL_UI);
  SetValueCell(nRow, COL_SI);
  SetValueCell(nRow, COL_OLD);
}

bool CParListView::IsConnected() const
{
  const CQelDoc *doc = GetDocument();
  return doc && (doc->IsOnline() || doc->IsConnecting());
}

void CParListView::OnClick(int nItem, int nSubItem)
{
  qCDebug(lcViews, "CParListView::OnLButtonDown");
  CQelDoc *doc = GetDocument();
  const std::int16_t p = ParOfRow(nItem);
  if (!doc || p < 0)
    return;
  if (doc->GetSelectedParRow() != 0xFFFF) {
    doc->SetSelectedParRow(0xFFFF);
    RecolorAll();
  }
  const Parametri &par = doc->GetPar(p);
  doc->SetHelpTopic(par.GetNameText());
  if (nSubItem != COL_SI && nSubItem != COL_UI && doc->IsOnline()) {
    std::unique_ptr<CRequestPacket> request = doc->NewReadRequest(static_cast<std::uint16_t>(p));
    if (IMainWindow *main = MainWindowLink::Get(); request && main) {
      CRequestPacket *raw = request.release();
      main->AddRequest(raw);
      delete raw; // null after a hand-over
    }
  }
  // The editor holds one 16-bit word: a wider bit field opens nothing.
  if (nSubItem == COL_SI && par.HasFlag4Only() && par.IsShort()) {
    const QStringList names = views::CollectBitNames(*doc, par.GetNameText());
    // On the heap: a board window closed under the modal box takes the box
    // along with this view.
    QPointer<CBitSet> dialog =
        new CBitSet(this, &names, par.GetNameText(), nItem, COL_SI, static_cast<std::uint16_t>(par.GetShortValue()),
                    doc->IsInternalUnits() ? 0 : 1, 0);
    const QPointer<CParListView> self(this);
    const int result = dialog->DoModal();
    if (!self || !dialog)
      return;
    const std::uint16_t word = dialog->m_nWord;
    delete dialog;
    if (result == IDOK) {
      GetListCtrl()->SetItemText(nItem, COL_SI, FormatBinary16(word));
      OnEndLabelEdit(nItem, COL_SI);
    }
  }
}

void CParListView::OnRClick(int nItem, int, QPoint ptClient)
{
  qCDebug(lcViews, "CParListView::OnRButtonDown");
  const std::int16_t p = ParOfRow(nItem);
  if (p < 0)
    return;
  m_nMenuPar = p;
  QList<PopupMenuItem> items;
  items.append({LoadDefaultCommand(), LoadStr(IDS_CMD_LOAD_DEFAULT)});
  items.append({LoadOldCommand(), LoadStr(IDS_CMD_LOAD_OLD)});
  const int id = Prompter::Instance().PopupMenu(items, GetListCtrl()->ClientToScreen(ptClient), this);
  if (id != 0)
    OnCommand(id);
}

bool CParListView::OnCommand(int id)
{
  const bool isDefault = id == LoadDefaultCommand();
  if (!isDefault && id != LoadOldCommand())
    return false;
  CQelDoc *doc = GetDocument();
  if (doc && m_nMenuPar >= 0 && m_nMenuPar < doc->GetParCount()) {
    doc->WriteParValue(m_nMenuPar,
                       doc->GetPar(m_nMenuPar).GetValue(isDefault ? Parametri::SEL_DEFAULT : Parametri::SEL_OLD));
    FillList();
  }
  return true;
}

int CParListView::OnHelpKey(int nKey, unsigned)
{
  if (nKey == xl::VK_F1)
    views::ShowHelp(GetDocument());
  return 0;
}
