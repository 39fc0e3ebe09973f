#include "optiontree/OptionTree.h"

#include "platform/Format.h"

#include <QHeaderView>

namespace {

constexpr int kItemRole = Qt::UserRole + 1;

// Counts the tree's own writes into its rows, so itemChanged from them is not
// taken for the user's.
class ApplyScope {
public:
  explicit ApplyScope(int &counter) : m_counter(counter) { ++m_counter; }
  ~ApplyScope() { --m_counter; }
  ApplyScope(const ApplyScope &) = delete;
  ApplyScope &operator=(const ApplyScope &) = delete;

private:
  int &m_counter;
};

} // namespace

void COptionTreeItem::SetLabelText(const QString &text)
{
  m_strLabel = text;
  Apply();
}

void COptionTreeItem::SetInfoText(const QString &text)
{
  m_strInfo = text;
  Apply();
}

void COptionTreeItem::SetLabelBackgroundColor(COLORREF color)
{
  m_labelColor = color;
  m_bHasLabelColor = true;
  Apply();
}

void COptionTreeItem::ReadOnly(bool bReadOnly)
{
  m_bReadOnly = bReadOnly;
  Apply();
}

void COptionTreeItem::Apply()
{
  if (!m_pTreeItem || !m_pTree)
    return;
  ApplyScope scope(m_pTree->m_nApplying);
  m_pTreeItem->setText(0, m_strLabel);
  m_pTreeItem->setToolTip(0, m_strInfo);
  m_pTreeItem->setToolTip(1, m_strInfo);
  if (m_bHasLabelColor) {
    const QColor background = ToQColor(m_labelColor);
    m_pTreeItem->setBackground(0, background);
    // Dark track colours (blue, red, green) need a light label to be read.
    const int luma = (299 * background.red() + 587 * background.green() + 114 * background.blue()) / 1000;
    m_pTreeItem->setForeground(0, luma < 140 ? QColor(Qt::white) : QColor(Qt::black));
  }
  m_pTreeItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
}

bool COptionTreeItemEdit::CreateEditItem(unsigned options, unsigned addStyle)
{
  Q_UNUSED(addStyle);
  m_options = options;
  m_bCreated = true;
  Apply();
  return true;
}

void COptionTreeItemEdit::SetWindowText(const QString &text)
{
  m_strText = text;
  Apply();
}

bool COptionTreeItemEdit::GetEditInt(int &value) const
{
  return vtx::ParseInt(m_strText, &value);
}

bool COptionTreeItemEdit::GetEditDouble(double &value) const
{
  return vtx::ParseDouble(m_strText, &value);
}

void COptionTreeItemEdit::Apply()
{
  COptionTreeItem::Apply();
  if (!m_pTreeItem || !m_pTree)
    return;
  ApplyScope scope(m_pTree->m_nApplying);
  m_pTreeItem->setText(1, m_strText);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (m_bCreated && !m_bReadOnly)
    flags |= Qt::ItemIsEditable;
  m_pTreeItem->setFlags(flags);
}

bool COptionTreeItemEdit::TakeUserChange()
{
  if (!m_bCreated || m_bReadOnly) {
    Apply();
    return false;
  }
  m_strText = m_pTreeItem->text(1);
  return true;
}

bool COptionTreeItemCheckBox::CreateCheckBoxItem(int check, unsigned options)
{
  Q_UNUSED(options);
  m_bCheck = check != 0;
  m_bCreated = true;
  Apply();
  return true;
}

void COptionTreeItemCheckBox::SetCheckText(const QString &checked, const QString &unchecked)
{
  m_strChecked = checked;
  m_strUnchecked = unchecked;
  Apply();
}

void COptionTreeItemCheckBox::SetCheck(bool bCheck)
{
  m_bCheck = bCheck;
  Apply();
}

void COptionTreeItemCheckBox::Apply()
{
  COptionTreeItem::Apply();
  if (!m_pTreeItem || !m_pTree || !m_bCreated)
    return;
  ApplyScope scope(m_pTree->m_nApplying);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (!m_bReadOnly)
    flags |= Qt::ItemIsUserCheckable;
  m_pTreeItem->setFlags(flags);
  m_pTreeItem->setCheckState(1, m_bCheck ? Qt::Checked : Qt::Unchecked);
  m_pTreeItem->setText(1, m_bCheck ? m_strChecked : m_strUnchecked);
}

bool COptionTreeItemCheckBox::TakeUserChange()
{
  if (!m_bCreated || m_bReadOnly) {
    Apply();
    return false;
  }
  const bool check = m_pTreeItem->checkState(1) == Qt::Checked;
  if (check == m_bCheck)
    return false;
  m_bCheck = check;
  Apply();
  return true;
}

COptionTree::COptionTree(QWidget *parent) : QTreeWidget(parent)
{
  setColumnCount(2);
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setUniformRowHeights(true);
  // The label column is narrow; a Qt-sized indent would leave nested labels
  // no room.
  setIndentation(12);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                  QAbstractItemView::EditKeyPressed);
  header()->setStretchLastSection(true);
  connect(this, &QTreeWidget::itemChanged, this, &COptionTree::OnRowChanged);
}

// The rows die with the widget; the items only point at them.
COptionTree::~COptionTree()
{
  for (auto &item : m_items) {
    item->m_pTreeItem = nullptr;
    item->m_pTree = nullptr;
  }
}

bool COptionTree::Create(bool bVisible, const QRect &rect, QWidget *pParent, unsigned treeOptions, int id)
{
  if (!pParent)
    return false;
  setParent(pParent);
  setGeometry(rect);
  m_treeOptions = treeOptions;
  m_nID = id;
  setVisible(bVisible);
  return true;
}

void COptionTree::SetNotify(bool bNotify, QWidget *pNotifyWnd)
{
  m_bNotify = bNotify;
  m_pNotifyWnd = pNotifyWnd;
}

void COptionTree::SetColumn(int width)
{
  setColumnWidth(0, width);
}

COptionTreeItem *COptionTree::InsertItem(COptionTreeItem *pItem, COptionTreeItem *pParent)
{
  if (!pItem)
    return nullptr;
  if (pParent && (pParent->m_pTree != this || !pParent->m_pTreeItem)) {
    delete pItem;
    return nullptr;
  }
  auto *row = pParent ? new QTreeWidgetItem(pParent->m_pTreeItem) : new QTreeWidgetItem(this);
  {
    ApplyScope scope(m_nApplying);
    row->setData(0, kItemRole, QVariant::fromValue(reinterpret_cast<quintptr>(pItem)));
  }
  pItem->m_pTree = this;
  pItem->m_pTreeItem = row;
  m_items.emplace_back(pItem);
  pItem->Apply();
  return pItem;
}

void COptionTree::ExpandAllItems()
{
  expandAll();
}

COptionTreeItem *COptionTree::FindItemByCtrlID(int id) const
{
  for (const auto &item : m_items)
    if (item->GetCtrlID() == id)
      return item.get();
  return nullptr;
}

bool COptionTree::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
  // Only the value column is typed into; the label stays the program's.
  if (index.column() != 1)
    return false;
  return QTreeWidget::edit(index, trigger, event);
}

COptionTreeItem *COptionTree::ItemOf(QTreeWidgetItem *row) const
{
  if (!row)
    return nullptr;
  const auto key = row->data(0, kItemRole).value<quintptr>();
  for (const auto &item : m_items)
    if (reinterpret_cast<quintptr>(item.get()) == key)
      return item.get();
  return nullptr;
}

void COptionTree::OnRowChanged(QTreeWidgetItem *row, int column)
{
  if (m_nApplying > 0 || column != 1)
    return;
  COptionTreeItem *item = ItemOf(row);
  if (!item || !item->TakeUserChange())
    return;
  if (m_bNotify)
    Q_EMIT OnItemChanged(OT_NOTIFY_ITEMCHANGED, item);
}
