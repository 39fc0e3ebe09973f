#include "VarListView.h"

#include "ViewState.h"

#include "BitSet.h"
#include "controls/XListCommon.h"
#include "model/DescLine.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/Format.h"
#include "platform/Options.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

namespace {

constexpr int kCounterWidth = 20;
constexpr int kMaxText = 19;

// The last hot row during a drag, shared by every variable list.
int s_nLastHotRow = -1;

} // namespace

CVarListView::CVarListView(QWidget *parent) : CEditListView(parent) {}

CVarListView::~CVarListView()
{
  if (CQelDoc *doc = GetDocument(); doc && doc->GetVarListView() == this)
    doc->SetVarListView(nullptr);
}

CQelDoc *CVarListView::GetDocument() const
{
  return qobject_cast<CQelDoc *>(CView::GetDocument());
}

void CVarListView::OnInitialUpdate()
{
  views::ReadWidths(views::WidthList::Var, m_nColWidth);
  InsertColumn(COL_INDEX, LoadStr(IDS_COL_N_TOT), LVCFMT_RIGHT, 0);
  InsertColumn(COL_KEY, LoadStr(IDS_COL_N), LVCFMT_RIGHT, m_nColWidth[COL_KEY]);
  InsertColumn(COL_TYPE, LoadStr(IDS_COL_TYPE), LVCFMT_RIGHT, m_nColWidth[COL_TYPE]);
  InsertColumn(COL_NAME, LoadStr(IDS_COL_VARIABLE), LVCFMT_LEFT, m_nColWidth[COL_NAME]);
  InsertColumn(COL_UNIT, LoadStr(IDS_COL_VAR_UNIT), LVCFMT_CENTER, m_nColWidth[COL_UNIT]);
  InsertColumn(COL_SI, LoadStr(IDS_COL_SI_VAL), LVCFMT_RIGHT, m_nColWidth[COL_SI]);
  InsertColumn(COL_UI, LoadStr(IDS_COL_UI_VAL), LVCFMT_RIGHT, m_nColWidth[COL_UI]);
  InsertColumn(COL_COUNTER, QStringLiteral("D"), LVCFMT_RIGHT, kCounterWidth);
  if (CQelDoc *doc = GetDocument())
    doc->SetVarListView(this);
  // The columns exist before the first update, so that it can make the rows.
  CEditListView::OnInitialUpdate();
}

int CVarListView::VarOfRow(int nItem) const
{
  const CQelDoc *doc = GetDocument();
  if (!doc || nItem < 0 || nItem >= static_cast<int>(doc->GetVarRows().size()))
    return -1;
  const int index = doc->GetVarRows()[static_cast<std::size_t>(nItem)].index;
  return index >= 0 && index < doc->GetVarCount() ? index : -1;
}

void CVarListView::OnUpdate(CView *, long lHint, QObject *)
{
  CQelDoc *doc = GetDocument();
  if (!doc || (lHint != 0 && !(lHint & views::HINT_VAR_LIST)) || GetColumnCount() < kColumns)
    return;
  if ((lHint & ~views::HINT_VIEW_BITS) == views::HINT_SAVE_WIDTHS)
    SaveColumnWidths();
  m_nDragOver = views::drag::ActiveOverVarList(*doc) ? 1 : 0;
  if (!m_nDragOver) {
    views::drag::SetTargetRow(*doc, views::drag::NO_TARGET);
    s_nLastHotRow = -1;
  } else if (!TrackDrag(doc)) {
    return; // still over the same row: nothing to repaint
  }
  if (doc->NeedsVarListRefill())
    Refill(doc);
  viewport()->update();
}

bool CVarListView::TrackDrag(CQelDoc *doc)
{
  const QPoint pt = viewport()->mapFromGlobal(views::drag::Point(*doc));
  const bool inside = viewport()->rect().contains(pt);
  const int hot = inside ? HitTestEx(pt, nullptr) : -1;
  // The target follows every motion so that the drop names the row under the
  // release point; a cursor outside leaves the parameter target to its list.
  views::drag::SetTargetRow(*doc, static_cast<std::int16_t>(hot));
  if (inside)
    views::drag::SetTargetPar(*doc, views::drag::OVER_VAR_LIST);
  if (hot == s_nLastHotRow)
    return false;
  if (hot >= 0)
    RedrawItems(hot, hot);
  if (s_nLastHotRow >= 0)
    RedrawItems(s_nLastHotRow, s_nLastHotRow);
  s_nLastHotRow = hot;
  return true;
}

void CVarListView::Refill(CQelDoc *doc)
{
  std::vector<VarRowRecord> &rows = doc->GetVarRows();
  const std::vector<std::uint16_t> &std = doc->GetStdVariables();
  const std::size_t n = std.size();
  rows.resize(n > 0 ? n + 5 : CQelDocContainer::WatchRows);
  for (std::size_t i = 1; i < n; ++i) {
    VarRowRecord row;
    row.index = static_cast<std::int16_t>(std[i]);
    rows[5 + i] = row;
  }
  if (doc->GetTestpoints()) {
    const int level = views::VisLevel();
    for (int i = 0; i < doc->GetVarCount(); ++i) {
      const Variabili &v = doc->GetVar(i);
      if (v.GetBlockId() != doc->GetSelectedVarBlock())
        continue;
      if (!v.IsVisibleAtLevel(level)) {
        qCDebug(lcViews, " var %s is not visible!", qUtf8Printable(v.GetName()));
        continue;
      }
      VarRowRecord row;
      row.index = static_cast<std::int16_t>(i);
      rows.push_back(row);
    }
  }
  DeleteAllItems();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    // A row naming no variable stays blank; its stored index is kept.
    const bool valid = VarOfRow(static_cast<int>(r)) >= 0;
    InsertItem(static_cast<int>(r), valid ? QString::number(rows[r].index) : QString());
  }
  doc->ClearVarListRefill();
}

void CVarListView::InvalidateRow(int row)
{
  if (row < 0) {
    RedrawItems(0, GetItemCount() - 1);
    return;
  }
  // A poll answer changes only the values and the counter of its row; a
  // wider repaint for every answer costs the idle program most of its time.
  if (row >= GetItemCount() || !model())
    return;
  for (int col : {COL_SI, COL_UI, COL_COUNTER}) {
    const QRect cell = visualRect(model()->index(row, col));
    if (!cell.isEmpty())
      viewport()->update(cell);
  }
}

void CVarListView::SupplyCellText(int nItem, int nSubItem, QString &text)
{
  text.clear();
  VTX_ASSERT(nSubItem > COL_INDEX && nSubItem <= COL_COUNTER);
  const CQelDoc *doc = GetDocument();
  const int var = VarOfRow(nItem);
  if (!doc || var < 0)
    return;
  const Variabili &v = doc->GetVar(var);
  const VarRowRecord &row = doc->GetVarRows()[static_cast<std::size_t>(nItem)];
  switch (nSubItem) {
  case COL_KEY:
    text = v.GetAddressKey();
    break;
  case COL_TYPE:
    text = v.IsShort()   ? QStringLiteral("I")
           : v.IsLong()  ? QStringLiteral("L")
           : v.IsFloat() ? QStringLiteral("F")
                         : QStringLiteral("?");
    break;
  case COL_NAME:
    text = v.GetNameText();
    break;
  case COL_UNIT:
    text = doc->GetUnitName(v.GetUnit());
    break;
  case COL_SI:
    text = row.hasValue ? row.siText.left(kMaxText) : QStringLiteral("*.*");
    break;
  case COL_UI:
    text = row.hasValue ? row.uiText.left(kMaxText) : QStringLiteral("*");
    break;
  case COL_COUNTER:
    text = QString::number(row.refresh);
    break;
  default:
    break;
  }
}

bool CVarListView::GetCellColors(int nItem, int, COLORREF &crText, COLORREF &crBk) const
{
  const CQelDoc *doc = GetDocument();
  const COptions *o = views::Options();
  if (!doc || !o)
    return false;
  if (m_nDragOver && nItem == s_nLastHotRow && nItem < CQelDocContainer::WatchRows) {
    crText = o->CorpoTestoTrascConDip.Get();
    crBk = o->SfondoTestoTrascConDip.Get();
  } else if (doc->IsOnline()) {
    const int n = static_cast<int>(doc->GetStdVariables().size());
    const bool standard = nItem >= 6 && nItem <= n + 4;
    crText = standard ? o->CorpoTestoOnline1.Get() : o->CorpoTestoOnline2.Get();
    crBk = (nItem & 2) ? o->SfondoTestoOnline2.Get() : o->SfondoTestoOnline1.Get();
  } else {
    crText = o->CorpoTestoOffline.Get();
    crBk = o->SfondoTestoOffline.Get();
  }
  return true;
}

bool CVarListView::OnCustomDraw(int nItem, int nSubItem, COLORREF &crText, COLORREF &crBk)
{
  return GetCellColors(nItem, nSubItem, crText, crBk);
}

QLineEdit *CVarListView::EditSubLabel(int nItem, int nCol)
{
  // Only a watch row takes typed text: an editor below them would lose it.
  if (nItem < 0 || nItem >= CQelDocContainer::WatchRows)
    return nullptr;
  return PlaceCellEditor(nItem, nCol, 196);
}

void CVarListView::OnLButtonDown(QPoint ptViewport)
{
  CQelDoc *doc = GetDocument();
  int col = 0;
  const int row = HitTestEx(ptViewport, &col);
  if (!doc || row < 0)
    return;
  doc->SetHelpTopic(GetItemText(row, COL_NAME));
  if (row < CQelDocContainer::WatchRows && (col == COL_INDEX || col == COL_KEY || col == COL_NAME)) {
    EditSubLabel(row, col);
    return;
  }
  const int var = VarOfRow(row);
  if (var < 0 || !doc->GetVar(var).HasFlag4Only())
    return;
  const Variabili &v = doc->GetVar(var);
  const QStringList names = views::CollectBitNames(*doc, v.GetNameText());
  const double raw = doc->GetVarRows()[static_cast<std::size_t>(row)].raw;
  const auto word = static_cast<std::uint16_t>(SaturateToLong(raw));
  // On the heap: a board window closed under the modal box takes the box
  // along with this view and its document.
  QPointer<CBitSet> dialog = new CBitSet(this, &names, v.GetNameText(), row, COL_INDEX, word, 1, 1);
  const QPointer<CQelDoc> guard(doc);
  const int result = dialog->DoModal();
  delete dialog; // null when already gone
  if (result == IDOK && guard)
    guard->RequestSwSetRead();
}

int CVarListView::OnEndLabelEdit(const LV_DISPINFO &info)
{
  CQelDoc *doc = GetDocument();
  if (!doc || !info.hasText || info.iItem < 0 || info.iItem >= CQelDocContainer::WatchRows ||
      doc->GetVarRows().size() < CQelDocContainer::WatchRows)
    return 0;
  int index = -1;
  switch (info.iSubItem) {
  case COL_INDEX:
    if (!vtx::ParseInt(info.pszText, &index))
      index = -1;
    break;
  case COL_KEY: {
    std::int16_t found = -1;
    index = doc->VarIndexFromKeyText(info.pszText, found) ? found : -1;
    break;
  }
  case COL_NAME: {
    std::int16_t pos = -1;
    index = doc->FindNext(info.pszText, pos, true, true, true, false) ? pos : -1;
    break;
  }
  default:
    break;
  }
  VarRowRecord &row = doc->GetVarRows()[static_cast<std::size_t>(info.iItem)];
  if (index < 0 || index >= doc->GetVarCount() || row.index == index)
    return 0;
  VarRowRecord fresh;
  fresh.index = static_cast<std::int16_t>(index);
  row = fresh;
  SetItemText(info.iItem, COL_INDEX, QString::number(index));
  // The watch rows are saved with the document.
  doc->SetModifiedFlag(true);
  RedrawItems(0, GetItemCount() - 1);
  return 0;
}

void CVarListView::SaveColumnWidths()
{
  for (int col = 0; col < kWidths && col < GetColumnCount(); ++col) {
    const int width = GetColumnWidth(col);
    if (width != 0)
      m_nColWidth[col] = std::max(width, 10);
  }
  views::StoreWidths(views::WidthList::Var, m_nColWidth);
}

void CVarListView::mousePressEvent(QMouseEvent *event)
{
  CEditListView::mousePressEvent(event);
  if (event->button() == Qt::LeftButton)
    OnLButtonDown(event->position().toPoint());
}

void CVarListView::keyPressEvent(QKeyEvent *event)
{
  if (xl::VirtualKeyFromQt(event->key()) == xl::VK_F1)
    views::ShowHelp(GetDocument());
  CEditListView::keyPressEvent(event);
}
