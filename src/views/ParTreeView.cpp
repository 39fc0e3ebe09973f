#include "ParTreeView.h"

#include "ViewState.h"

#include "controls/XListCommon.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cstdint>
#include <limits>

namespace {

// Our drawings of the tree's images, 20 by 16.
QPixmap TreeImage(int image)
{
  QPixmap pm(20, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  auto letter = [&](const QColor &color, const QString &text) {
    p.setPen(color);
    p.drawRect(3, 1, 13, 13);
    QFont f = p.font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(3, 1, 14, 14), Qt::AlignCenter, text);
  };
  switch (image) {
  case CBlockTreeView::IMG_GROUP:
  case CBlockTreeView::IMG_GROUP_SELECTED:
    p.setPen(QColor(120, 90, 0));
    p.setBrush(image == CBlockTreeView::IMG_GROUP ? QColor(230, 190, 60) : QColor(250, 225, 120));
    p.drawRect(2, 4, 15, 10);
    p.drawRect(2, 2, 6, 2);
    break;
  case CBlockTreeView::IMG_GROUP_ERROR:
    p.setPen(Qt::darkRed);
    p.setBrush(QColor(240, 120, 120));
    p.drawRect(2, 4, 15, 10);
    break;
  case CBlockTreeView::IMG_VAR_ERROR:
    letter(Qt::red, QStringLiteral("!"));
    break;
  case CBlockTreeView::IMG_SHORT:
    letter(Qt::darkBlue, QStringLiteral("I"));
    break;
  case CBlockTreeView::IMG_LONG:
    letter(Qt::darkGreen, QStringLiteral("L"));
    break;
  case CBlockTreeView::IMG_FLOAT:
    letter(Qt::darkMagenta, QStringLiteral("F"));
    break;
  default:
    break;
  }
  return pm;
}

QString ErrorSuffix(std::uint8_t status)
{
  switch (status) {
  case CTreeNode::NODE_KEY_ZERO:
    return LoadStr(IDS_TREE_KEY_ZERO);
  case CTreeNode::NODE_DOUBLED_KEY:
    return LoadStr(IDS_TREE_DOUBLED_KEY);
  case CTreeNode::NODE_NO_PARENT:
    return LoadStr(IDS_TREE_NO_VALID_PARENT);
  default:
    VTX_ASSERT(status <= CTreeNode::NODE_NO_PARENT);
    return QString();
  }
}

} // namespace

CBlockTreeView::CBlockTreeView(QWidget *parent) : QTreeWidget(parent)
{
  // The images are drawn once; every item shares them.
  for (int image : {IMG_GROUP, IMG_VAR_ERROR, IMG_GROUP_ERROR, IMG_SHORT, IMG_LONG, IMG_FLOAT})
    m_Icons[static_cast<std::size_t>(image)] = QIcon(TreeImage(image));
  m_Icons[IMG_GROUP].addPixmap(TreeImage(IMG_GROUP_SELECTED), QIcon::Selected);
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(true);
  setIconSize(QSize(20, 16));
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem *current, QTreeWidgetItem *) { OnSelChanged(current); });
}

CBlockTreeView::~CBlockTreeView() = default;

CQelDoc *CBlockTreeView::GetDocument() const
{
  return qobject_cast<CQelDoc *>(CView::GetDocument());
}

CQelDocFind::TreeMap &CBlockTreeView::Table()
{
  CQelDoc *doc = GetDocument();
  return IsVariableTree() ? doc->GetVarTreeMap() : doc->GetParTreeMap();
}

namespace {

// The tree item of a node's parent; null for a top-level node.
QTreeWidgetItem *ParentItem(const CQelDocFind::TreeMap &table, const CTreeNode &node)
{
  if (node.GetParentId() == 0)
    return nullptr;
  const auto p = table.find(node.GetParentId());
  VTX_ASSERT(p != table.end());
  return p != table.end() ? static_cast<QTreeWidgetItem *>(p->second.GetTreeItem()) : nullptr;
}

} // namespace

void CBlockTreeView::OnInitialUpdate()
{
  if (GetDocument()) {
    BuildTree();
    // The tree now shows the document as it is: the update that follows
    // must not build it a second time.
    ClearRebuildFlag();
    Register(this);
  }
  CView::OnInitialUpdate();
}

void CBlockTreeView::OnUpdate(CView *, long lHint, QObject *)
{
  CQelDoc *doc = GetDocument();
  if (!doc || (lHint != 0 && !(lHint & OwnHint())))
    return;
  m_bDragging = views::drag::Active(*doc);
  if (m_bDragging)
    return;
  if (RebuildFlag()) {
    BuildTree();
    ClearRebuildFlag();
  }
  viewport()->update();
}

QTreeWidgetItem *CBlockTreeView::NewItem(QTreeWidgetItem *parent, const QString &text, int image, int key)
{
  auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  item->setText(0, text);
  if (image >= 0 && image < static_cast<int>(m_Icons.size()))
    item->setIcon(0, m_Icons[static_cast<std::size_t>(image)]);
  item->setData(0, ImageRole, image);
  item->setData(0, KeyRole, key);
  m_Items.insert(item);
  return item;
}

void CBlockTreeView::BuildTree()
{
  if (!GetDocument())
    return;
  ++m_nBuilds;
  const QString remembered = currentItem() ? currentItem()->text(0) : QString();
  QTreeWidgetItem *select = nullptr;
  {
    // Clearing and filling are no selection of the user's.
    const QSignalBlocker blocker(this);
    clear();
    m_Items.clear();
    m_hItemClicked = nullptr;
    for (auto &entry : Table())
      entry.second.SetTreeItem(nullptr);
    const int level = views::VisLevel();
    GroupPass(level, remembered, &select);
    if (IsVariableTree())
      VariablePass(level);
  }
  if (select)
    setCurrentItem(select);
}

void CBlockTreeView::GroupPass(int level, const QString &remembered, QTreeWidgetItem **select)
{
  CQelDoc *doc = GetDocument();
  CQelDocFind::TreeMap &table = Table();
  // From the first group (the largest negative key) down to the error node.
  auto it = table.lower_bound(0);
  while (it != table.begin()) {
    --it;
    CTreeNode &node = it->second;
    const int key = it->first;
    if (!node.IsValid()) {
      node.SetTreeItem(NewItem(nullptr, node.GetText() + ErrorSuffix(node.GetStatus()), IMG_GROUP_ERROR, key));
      continue;
    }
    QTreeWidgetItem *parent = ParentItem(table, node);
    const int block = -key;
    const bool visible =
        IsVariableTree() ? doc->IsVarVisibleInBlock(block, level) : doc->IsParVisibleInBlock(block, level);
    if (!visible) {
      node.SetTreeItem(nullptr);
      continue;
    }
    QTreeWidgetItem *item = NewItem(parent, node.GetText(), IMG_GROUP, key);
    node.SetTreeItem(item);
    if (!remembered.isEmpty() && node.GetText() == remembered)
      *select = item;
  }
}

void CBlockTreeView::VariablePass(int level)
{
  CQelDoc *doc = GetDocument();
  CQelDocFind::TreeMap &table = Table();
  for (auto it = table.lower_bound(0); it != table.end(); ++it) {
    CTreeNode &node = it->second;
    const int key = it->first;
    if (!node.IsValid()) {
      node.SetTreeItem(NewItem(nullptr, node.GetText() + ErrorSuffix(node.GetStatus()), IMG_VAR_ERROR, key));
      continue;
    }
    if (key >= doc->GetVarCount() || !doc->GetVar(key).IsVisibleAtLevel(level)) {
      node.SetTreeItem(nullptr);
      continue;
    }
    QTreeWidgetItem *parent = ParentItem(table, node);
    const Variabili &v = doc->GetVar(key);
    const int image = v.IsShort() ? IMG_SHORT : v.IsLong() ? IMG_LONG : v.IsFloat() ? IMG_FLOAT : IMG_GROUP;
    node.SetTreeItem(NewItem(parent, node.GetText(), image, key));
  }
}

QTreeWidgetItem *CBlockTreeView::ItemOfKey(int key) const
{
  for (void *p : m_Items) {
    auto *item = static_cast<QTreeWidgetItem *>(p);
    if (item->data(0, KeyRole).toInt() == key)
      return item;
  }
  return nullptr;
}

bool CBlockTreeView::SelectTreeItem(void *item)
{
  // A handle from an older build names nothing any more.
  if (!item || !m_Items.contains(item))
    return false;
  setCurrentItem(static_cast<QTreeWidgetItem *>(item));
  return true;
}

void CBlockTreeView::OnSelChanged(QTreeWidgetItem *item)
{
  CQelDoc *doc = GetDocument();
  if (!doc)
    return;
  if (!IsVariableTree())
    doc->ClearEditorReopen();
  if (!item)
    return;
  const int block = doc->FindBlockByTreeItem(item);
  // Error nodes and items of no group name no block.
  if (block >= 1 && block <= 255)
    ApplySelection(block);
}

void CBlockTreeView::OnLButtonDown(QPoint ptClient)
{
  CQelDoc *doc = GetDocument();
  VTX_ASSERT(!m_bDragging);
  m_hItemClicked = itemAt(ptClient);
  if (!doc)
    return;
  if (m_hItemClicked) {
    doc->SetHelpTopic(m_hItemClicked->text(0));
    views::drag::SetVariable(*doc, IsVariableTree() ? doc->FindTreeNode(m_hItemClicked) : std::int16_t(-1));
  } else {
    views::drag::SetVariable(*doc, -1);
  }
}

void CBlockTreeView::OnKeyDown(int nChar)
{
  if (nChar == xl::VK_F1)
    views::ShowHelp(GetDocument());
}

void CBlockTreeView::mousePressEvent(QMouseEvent *event)
{
  if (event->button() == Qt::LeftButton) {
    m_ptPress = event->position().toPoint();
    OnLButtonDown(m_ptPress);
  }
  QTreeWidget::mousePressEvent(event);
}

void CBlockTreeView::keyPressEvent(QKeyEvent *event)
{
  OnKeyDown(xl::VirtualKeyFromQt(event->key()));
  QTreeWidget::keyPressEvent(event);
}

void CBlockTreeView::focusInEvent(QFocusEvent *event)
{
  // Taking the focus selects nothing: a group is shown only when chosen.
  if (!currentItem()) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    return;
  }
  QTreeWidget::focusInEvent(event);
}

// ---- parameter tree --------------------------------------------------------------

CParTreeView::CParTreeView(QWidget *parent) : CBlockTreeView(parent) {}

CParTreeView::~CParTreeView()
{
  if (CQelDoc *doc = GetDocument())
    doc->SetParTreeCtrl(nullptr);
}

long CParTreeView::OwnHint() const
{
  return views::HINT_PAR_TREE;
}

bool CParTreeView::RebuildFlag() const
{
  return GetDocument()->NeedsParTreeRebuild();
}

void CParTreeView::ClearRebuildFlag()
{
  GetDocument()->ClearParTreeRebuild();
}

void CParTreeView::Register(IDocTree *tree)
{
  GetDocument()->SetParTreeCtrl(tree);
}

void CParTreeView::ApplySelection(int block)
{
  CQelDoc *doc = GetDocument();
  doc->SetSelectedBlock(static_cast<std::int16_t>(block));
  doc->RequestParListUpdate();
  doc->UpdateAllViews(this, views::HINT_PAR_LIST);
}
