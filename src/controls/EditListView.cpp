#include "EditListView.h"

#include "gfxEditCell.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <vector>

namespace {
// Space between a cell's edges and its text, as the style's item views keep.
constexpr int kTextMargin = 3;
} // namespace

// The rows and columns of a CEditListView. Cells never set are supplied by
// the view when they are shown.
class CEditListModel : public QAbstractTableModel {
public:
  explicit CEditListModel(CEditListView *view) : QAbstractTableModel(view), m_pView(view) {}

  struct Column {
    QString heading;
    int format = CEditListView::LVCFMT_LEFT;
  };

  int rowCount(const QModelIndex &parent = {}) const override
  {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
  }
  int columnCount(const QModelIndex &parent = {}) const override
  {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
  }

  QVariant data(const QModelIndex &index, int role) const override
  {
    if (!index.isValid() || !m_pView)
      return {};
    const int row = index.row(), col = index.column();
    switch (role) {
    case Qt::DisplayRole:
      return Text(row, col);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Alignment(col) | Qt::AlignVCenter);
    case Qt::ForegroundRole:
    case Qt::BackgroundRole: {
      COLORREF text = 0, back = 0;
      if (!Colors(row, col, text, back))
        return {};
      return ToQColor(role == Qt::ForegroundRole ? text : back);
    }
    default:
      return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override
  {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
      return {};
    if (role == Qt::DisplayRole)
      return m_columns[static_cast<size_t>(section)].heading;
    if (role == Qt::TextAlignmentRole)
      return QVariant::fromValue(Alignment(section) | Qt::AlignVCenter);
    return {};
  }

  QString Text(int row, int col) const
  {
    if (row < 0 || row >= rowCount() || col < 0 || col >= columnCount())
      return {};
    const auto &cells = m_rows[static_cast<size_t>(row)];
    if (static_cast<size_t>(col) < cells.size() && cells[static_cast<size_t>(col)].set)
      return cells[static_cast<size_t>(col)].text;
    QString text;
    m_pView->SupplyCellText(row, col, text);
    return text;
  }

  bool Colors(int row, int col, COLORREF &text, COLORREF &back) const
  {
    return m_pView && m_pView->OnCustomDraw(row, col, text, back);
  }

  Qt::Alignment Alignment(int col) const
  {
    if (col < 0 || col >= columnCount())
      return Qt::AlignLeft;
    switch (m_columns[static_cast<size_t>(col)].format) {
    case CEditListView::LVCFMT_RIGHT:
      return Qt::AlignRight;
    case CEditListView::LVCFMT_CENTER:
      return Qt::AlignHCenter;
    default:
      return Qt::AlignLeft;
    }
  }

  int InsertColumn(int col, const Column &column)
  {
    col = std::clamp(col, 0, columnCount());
    beginInsertColumns({}, col, col);
    m_columns.insert(m_columns.begin() + col, column);
    for (auto &cells : m_rows)
      if (static_cast<size_t>(col) <= cells.size())
        cells.insert(cells.begin() + col, Cell());
    endInsertColumns();
    return col;
  }

  int InsertRow(int row, const QString &text)
  {
    row = std::clamp(row, 0, rowCount());
    beginInsertRows({}, row, row);
    m_rows.insert(m_rows.begin() + row, std::vector<Cell>{Cell{text, true}});
    endInsertRows();
    return row;
  }

  bool RemoveRow(int row)
  {
    if (row < 0 || row >= rowCount())
      return false;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    return true;
  }

  void Clear()
  {
    beginResetModel();
    m_rows.clear();
    endResetModel();
  }

  bool SetText(int row, int col, const QString &text)
  {
    if (row < 0 || row >= rowCount() || col < 0 || col >= columnCount())
      return false;
    auto &cells = m_rows[static_cast<size_t>(row)];
    if (cells.size() <= static_cast<size_t>(col))
      cells.resize(static_cast<size_t>(col) + 1);
    cells[static_cast<size_t>(col)] = Cell{text, true};
    Q_EMIT dataChanged(index(row, col), index(row, col));
    return true;
  }

  void Refresh(int first, int last)
  {
    first = std::max(first, 0);
    last = std::min(last, rowCount() - 1);
    if (first > last || columnCount() == 0)
      return;
    Q_EMIT dataChanged(index(first, 0), index(last, columnCount() - 1));
  }

  void Detach() { m_pView = nullptr; }

  std::vector<Column> m_columns;

private:
  CEditListView *m_pView; // not owned: the view owns this model
  struct Cell {
    QString text;
    bool set = false; // false: the view supplies the text
  };
  std::vector<std::vector<Cell>> m_rows;
};

CEditListView::CEditListView(QWidget *parent) : QTreeView(parent), m_pModel(new CEditListModel(this))
{
  setModel(m_pModel);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  header()->setMinimumSectionSize(0);
}

CEditListView::~CEditListView()
{
  // The derived view is gone: no more text or colour requests reach it.
  m_pModel->Detach();
  // An editor outlives this body: it is destroyed with the widgets below,
  // and losing the focus on the way (the window closing) must not reach
  // this view any more.
  if (m_pEditCell)
    m_pEditCell->DetachView();
  for (gfxEditCell *cell : findChildren<gfxEditCell *>())
    cell->DetachView();
  m_pEditCell = nullptr;
}

QLineEdit *CEditListView::EditSubLabel(int, int)
{
  return nullptr;
}

void CEditListView::SupplyCellText(int, int, QString &) {}

bool CEditListView::OnCustomDraw(int, int, COLORREF &, COLORREF &)
{
  return false;
}

int CEditListView::OnEndLabelEdit(const LV_DISPINFO &)
{
  return 0;
}

void CEditListView::NotifyEndLabelEdit(const LV_DISPINFO &info)
{
  OnEndLabelEdit(info);
}

int CEditListView::InsertColumn(int nCol, const QString &heading, int nFormat, int nWidth)
{
  const int col = m_pModel->InsertColumn(nCol, {heading, nFormat});
  if (nWidth >= 0)
    header()->resizeSection(col, nWidth);
  return col;
}

int CEditListView::GetColumnCount() const
{
  return m_pModel->columnCount();
}

int CEditListView::GetColumnWidth(int nCol) const
{
  if (nCol < 0 || nCol >= GetColumnCount())
    return 0;
  return header()->sectionSize(nCol);
}

bool CEditListView::SetColumnWidth(int nCol, int nWidth)
{
  if (nCol < 0 || nCol >= GetColumnCount() || nWidth < 0)
    return false;
  header()->resizeSection(nCol, nWidth);
  return true;
}

int CEditListView::GetColumnFormat(int nCol) const
{
  if (nCol < 0 || nCol >= GetColumnCount())
    return LVCFMT_LEFT;
  return m_pModel->m_columns[static_cast<size_t>(nCol)].format;
}

int CEditListView::InsertItem(int nItem, const QString &text)
{
  return m_pModel->InsertRow(nItem, text);
}

bool CEditListView::DeleteItem(int nItem)
{
  return m_pModel->RemoveRow(nItem);
}

void CEditListView::DeleteAllItems()
{
  m_pModel->Clear();
}

int CEditListView::GetItemCount() const
{
  return m_pModel->rowCount();
}

bool CEditListView::SetItemText(int nItem, int nSubItem, const QString &text)
{
  return m_pModel->SetText(nItem, nSubItem, text);
}

QString CEditListView::GetItemText(int nItem, int nSubItem) const
{
  return m_pModel->Text(nItem, nSubItem);
}

void CEditListView::RedrawItems(int nFirst, int nLast)
{
  m_pModel->Refresh(nFirst, nLast);
}

int CEditListView::RowHeight() const
{
  if (GetItemCount() > 0) {
    const int h = visualRect(m_pModel->index(0, 0)).height();
    if (h > 0)
      return h;
    const int hint = sizeHintForRow(0);
    if (hint > 0)
      return hint;
  }
  return fontMetrics().height() + 2;
}

void CEditListView::paintEvent(QPaintEvent *event)
{
  QPainter painter(viewport());
  PaintCells(painter, event->region());
}

void CEditListView::PaintCells(QPainter &painter, const QRegion &region) const
{
  // The viewport's ground is already erased below the rows and right of the
  // columns. The tree would paint every column of the rows a region of
  // several rectangles touches, and ask the server for the pointer each time.
  const int rows = GetItemCount();
  const int columns = GetColumnCount();
  if (rows == 0 || columns == 0)
    return;
  const QPalette::ColorGroup cg = !isEnabled()       ? QPalette::Disabled
                                  : isActiveWindow() ? QPalette::Active
                                                     : QPalette::Inactive;
  const int h = RowHeight(); // lays out the rows when that is pending
  const int top = GetTopIndex();
  const QModelIndex current = selectionModel()->currentIndex();
  const int focusRow = hasFocus() && current.isValid() ? current.row() : -1;
  const QHeaderView *head = header();
  for (const QRect &area : region) {
    const int first = top + std::max(area.top(), 0) / h;
    const int last = std::min(rows - 1, top + std::max(area.bottom(), 0) / h);
    for (int r = first; r <= last; ++r) {
      const QRect row(-horizontalOffset(), (r - top) * h, head->length(), h);
      for (int c = 0; c < columns; ++c) {
        const int w = head->isSectionHidden(c) ? 0 : head->sectionSize(c);
        const QRect cell(head->sectionViewportPosition(c), row.top(), w, h);
        const QRect clip = cell & area;
        if (w <= 0 || clip.isEmpty())
          continue;
        painter.setClipRect(clip);
        DrawCell(painter, r, c, cell, cg);
      }
      if (r == focusRow) {
        // The focus frame goes round the whole row.
        painter.setClipRect(row & area);
        painter.setPen(palette().color(cg, QPalette::Highlight).darker(125));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(row.adjusted(0, 0, -1, -1));
      }
    }
  }
  painter.setClipping(false);
}

void CEditListView::DrawCell(QPainter &p, int nItem, int nCol, const QRect &cell, QPalette::ColorGroup cg) const
{
  QColor text = palette().color(cg, QPalette::Text);
  QColor back = palette().color(cg, QPalette::Base);
  COLORREF crText = 0, crBack = 0;
  if (selectionModel()->isSelected(m_pModel->index(nItem, nCol))) {
    text = palette().color(cg, QPalette::HighlightedText);
    back = palette().color(cg, QPalette::Highlight);
  } else if (m_pModel->Colors(nItem, nCol, crText, crBack)) {
    text = ToQColor(crText);
    back = ToQColor(crBack);
  }
  p.fillRect(cell, back);
  const QString s = m_pModel->Text(nItem, nCol);
  const QRect rect = cell.adjusted(kTextMargin, 0, -kTextMargin, 0);
  if (s.isEmpty() || rect.width() <= 0)
    return;
  p.setPen(text);
  // Text that does not fit ends in an ellipsis.
  const QFontMetrics fm = p.fontMetrics();
  const QString shown = fm.horizontalAdvance(s) > rect.width() ? fm.elidedText(s, Qt::ElideRight, rect.width()) : s;
  p.drawText(rect, int(m_pModel->Alignment(nCol) | Qt::AlignVCenter) | Qt::TextSingleLine, shown);
}

QRect CEditListView::GetItemRect(int nItem) const
{
  if (nItem < 0 || nItem >= GetItemCount() || GetColumnCount() == 0)
    return {};
  // visualRect is empty for a row scrolled out of sight; rows are uniform.
  const int h = RowHeight();
  const int top = (nItem - GetTopIndex()) * h;
  return QRect(-horizontalOffset(), top, header()->length(), h);
}

int CEditListView::GetTopIndex() const
{
  if (GetItemCount() == 0)
    return 0;
  return std::clamp(verticalScrollBar()->value(), 0, GetItemCount() - 1);
}

int CEditListView::GetCountPerPage() const
{
  return std::max(1, viewport()->height() / RowHeight());
}

bool CEditListView::EnsureVisible(int nItem)
{
  if (nItem < 0 || nItem >= GetItemCount() || GetColumnCount() == 0)
    return false;
  // Only the rows scroll; the columns stay where they are.
  const int x = horizontalScrollBar()->value();
  scrollTo(m_pModel->index(nItem, 0), QAbstractItemView::EnsureVisible);
  horizontalScrollBar()->setValue(x);
  return true;
}

int CEditListView::HitTest(const QPoint &point) const
{
  const QModelIndex index = indexAt(point);
  return index.isValid() ? index.row() : -1;
}

void CEditListView::SetSelectionMark(int nItem)
{
  if (nItem < 0 || nItem >= GetItemCount())
    return;
  selectionModel()->setCurrentIndex(m_pModel->index(nItem, 0), QItemSelectionModel::NoUpdate);
}

int CEditListView::GetSelectionMark() const
{
  const QModelIndex index = selectionModel()->currentIndex();
  return index.isValid() ? index.row() : -1;
}

int CEditListView::HitTestEx(const QPoint &point, int *pCol) const
{
  // The list is always a report, so the columns decide.
  if (pCol)
    *pCol = 0;
  const int count = GetItemCount();
  const int top = GetTopIndex();
  const int bottom = std::min(top + GetCountPerPage(), count - 1);
  const int columns = GetColumnCount();
  for (int r = top; r <= bottom; ++r) {
    const QRect bounds = GetItemRect(r);
    if (!bounds.contains(point))
      continue;
    int left = bounds.left();
    for (int c = 0; c < columns; ++c) {
      const int w = GetColumnWidth(c);
      if (point.x() >= left && point.x() <= left + w) {
        if (pCol)
          *pCol = c;
        return r;
      }
      left += w;
    }
  }
  return -1;
}

gfxEditCell *CEditListView::PlaceCellEditor(int nItem, int nCol, int nID)
{
  if (!EnsureVisible(nItem))
    return nullptr;
  SetSelectionMark(nItem);
  if (nCol < 0 || nCol >= GetColumnCount() || GetColumnWidth(nCol) < 5)
    return nullptr;
  int offset = 0;
  for (int c = 0; c < nCol; ++c)
    offset += GetColumnWidth(c);
  QRect bounds = GetItemRect(nItem);
  const QRect client = viewport()->rect();
  if (offset + bounds.left() < 0 || offset + bounds.left() > client.right()) {
    QScrollBar *bar = horizontalScrollBar();
    bar->setValue(bar->value() + offset + bounds.left());
    bounds = GetItemRect(nItem);
  }
  Qt::Alignment align = Qt::AlignLeft;
  switch (GetColumnFormat(nCol)) {
  case LVCFMT_RIGHT:
    align = Qt::AlignRight;
    break;
  case LVCFMT_CENTER:
    align = Qt::AlignHCenter;
    break;
  default:
    break;
  }
  QRect rect(bounds.left() + offset, bounds.top(), GetColumnWidth(nCol), bounds.height());
  if (rect.right() > client.right())
    rect.setRight(client.right());
  auto *cell = new gfxEditCell(this, nItem, nCol, GetItemText(nItem, nCol));
  cell->Create(align, rect, viewport(), nID);
  return cell;
}
