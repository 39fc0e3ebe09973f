#include "VarTreeView.h"

#include "ViewState.h"

#include "ChooseHiLowDlg.h"
#include "model/QelDoc.h"
#include "platform/Prompter.h"
#include "platform/Trace.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

// Escape calls a drag off wherever the keyboard focus is, as everywhere on
// the desktop.
class EscapeWatch : public QObject {
public:
  explicit EscapeWatch(CVarTreeView *tree) : QObject(tree), m_tree(tree) {}
  bool eventFilter(QObject *, QEvent *event) override
  {
    const QEvent::Type type = event->type();
    if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) ||
        static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape)
      return false;
    if (type == QEvent::ShortcutOverride)
      event->accept(); // no shortcut takes it: the press comes here
    else
      m_tree->AbandonDrag();
    return true;
  }

private:
  CVarTreeView *m_tree;
};

} // namespace

CVarTreeView::CVarTreeView(QWidget *parent) : CBlockTreeView(parent), m_pEscapeWatch(new EscapeWatch(this)) {}

CVarTreeView::~CVarTreeView()
{
  qApp->removeEventFilter(m_pEscapeWatch);
  if (CQelDoc *doc = GetDocument())
    doc->SetVarTreeCtrl(nullptr);
}

long CVarTreeView::OwnHint() const
{
  return views::HINT_VAR_TREE;
}

bool CVarTreeView::RebuildFlag() const
{
  return GetDocument()->NeedsVarTreeRebuild();
}

void CVarTreeView::ClearRebuildFlag()
{
  GetDocument()->ClearVarTreeRebuild();
}

void CVarTreeView::Register(IDocTree *tree)
{
  GetDocument()->SetVarTreeCtrl(tree);
}

void CVarTreeView::ApplySelection(int block)
{
  CQelDoc *doc = GetDocument();
  doc->SelectVarBlock(static_cast<std::int16_t>(block));
  doc->RequestVarListRefill();
  doc->UpdateAllViews(this, views::HINT_VAR_LIST);
}

void CVarTreeView::OnBeginDrag(QPoint ptScreen)
{
  CQelDoc *doc = GetDocument();
  if (!doc || m_bDragging)
    return;
  m_bDragging = true;
  setCursor(Qt::DragLinkCursor);
  qApp->installEventFilter(m_pEscapeWatch);
  // The lists track the drag point at once: it must be this drag's, or the
  // previous drop's row would show as the target.
  views::drag::SetPoint(*doc, ptScreen);
  views::drag::SetTargetPar(*doc, views::drag::NO_TARGET);
  views::drag::SetTargetRow(*doc, views::drag::NO_TARGET);
  views::drag::SetActive(*doc, true);
  doc->UpdateAllViews(nullptr, views::HINT_DRAG_START);
}

void CVarTreeView::OnMouseMove(QPoint ptScreen)
{
  CQelDoc *doc = GetDocument();
  if (!doc || !m_bDragging)
    return;
  views::drag::SetPoint(*doc, ptScreen);
  if (mapFromGlobal(ptScreen).x() < 0) {
    doc->RequestParListUpdate();
    doc->UpdateAllViews(nullptr, views::HINT_PAR_LIST);
  } else {
    doc->UpdateAllViews(nullptr, views::HINT_VAR_LIST);
  }
}

void CVarTreeView::OnLButtonUp(QPoint ptScreen)
{
  CQelDoc *doc = GetDocument();
  if (!doc || !m_bDragging)
    return;
  // The targets are taken again at the release point, so a row the cursor
  // left without the lists hearing of it is never the target.
  views::drag::SetPoint(*doc, ptScreen);
  views::drag::SetTargetPar(*doc, views::drag::NO_TARGET);
  views::drag::SetTargetRow(*doc, views::drag::NO_TARGET);
  doc->UpdateAllViews(nullptr, views::HINT_PAR_LIST | views::HINT_VAR_LIST);

  StopDragging();
  views::drag::SetActive(*doc, false);
  const std::int16_t v = views::drag::Variable(*doc);
  const std::int16_t p = views::drag::TargetPar(*doc);
  const std::int16_t s = views::drag::TargetRow(*doc);
  if (v >= 0 && v < doc->GetVarCount()) {
    if (p >= 0 && p < doc->GetParCount())
      DropOnParameter(doc, v, p);
    if (s >= 0 && s < CQelDocContainer::WatchRows)
      DropOnRow(doc, v, s);
  }
  doc->RequestParListUpdate();
  // The trees too: they skipped their updates (a rebuild among them) during the drag.
  doc->UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
}

void CVarTreeView::AbandonDrag()
{
  if (!m_bDragging)
    return;
  StopDragging();
  m_bPressSpent = true;
  CQelDoc *doc = GetDocument();
  if (!doc)
    return;
  views::drag::SetTargetPar(*doc, views::drag::NO_TARGET);
  views::drag::SetTargetRow(*doc, views::drag::NO_TARGET);
  views::drag::SetActive(*doc, false);
  doc->RequestParListUpdate();
  // As after a drop, but from the event loop: not inside whatever opened the
  // box that took the mouse.
  QMetaObject::invokeMethod(
      doc,
      [doc] {
        if (!views::drag::Active(*doc))
          doc->UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
      },
      Qt::QueuedConnection);
}

void CVarTreeView::StopDragging()
{
  unsetCursor();
  m_bDragging = false;
  qApp->removeEventFilter(m_pEscapeWatch);
}

void CVarTreeView::DropOnParameter(CQelDoc *doc, std::int16_t v, std::int16_t p)
{
  const Parametri &par = doc->GetPar(p);
  if (!par.IsVarLink())
    return;
  const Variabili &var = doc->GetVar(v);
  const int address = var.GetAddress();
  const bool wide = var.IsLong() || var.IsFloat();
  if (par.IsShortLink() && var.IsShort()) {
    doc->SetParValue(p, address);
  } else if ((par.IsLongLink() || par.IsFloatLink()) && wide) {
    doc->SetParValue(p, address);
  } else if (par.IsShortLink() && wide) {
    CChooseHiLowDlg dialog(this);
    const int choice = dialog.DoModal();
    if (choice == CChooseHiLowDlg::ID_HIGH_WORD)
      doc->SetParValue(p, address + 1);
    else if (choice == CChooseHiLowDlg::ID_LOW_WORD)
      doc->SetParValue(p, address);
  }
}

void CVarTreeView::DropOnRow(CQelDoc *doc, std::int16_t v, std::int16_t s)
{
  std::vector<VarRowRecord> &rows = doc->GetVarRows();
  if (static_cast<std::size_t>(s) >= rows.size())
    return;
  // The row starts afresh: the previous variable's value is not this one's.
  VarRowRecord fresh;
  fresh.index = v;
  rows[static_cast<std::size_t>(s)] = fresh;
  doc->RequestVarListRefill();
  doc->SetModifiedFlag(true);
}

bool CVarTreeView::event(QEvent *event)
{
  // A modal box or another window takes the mouse: the release will go there.
  if (m_bDragging && (event->type() == QEvent::WindowBlocked || event->type() == QEvent::WindowDeactivate))
    AbandonDrag();
  return CBlockTreeView::event(event);
}

void CVarTreeView::mousePressEvent(QMouseEvent *event)
{
  AbandonDrag(); // a press during a drag means its release went elsewhere
  m_bPressSpent = false;
  CBlockTreeView::mousePressEvent(event);
}

void CVarTreeView::mouseMoveEvent(QMouseEvent *event)
{
  if (m_bPressSpent) {
    if (event->buttons() & Qt::LeftButton)
      return; // no new drag, no selection: the user called this one off
    m_bPressSpent = false;
  }
  const QPoint global = event->globalPosition().toPoint();
  if (m_bDragging) {
    OnMouseMove(global);
    return;
  }
  if ((event->buttons() & Qt::LeftButton) && m_hItemClicked &&
      (event->position().toPoint() - m_ptPress).manhattanLength() >= QApplication::startDragDistance()) {
    OnBeginDrag(global);
    return;
  }
  QTreeWidget::mouseMoveEvent(event);
}

void CVarTreeView::mouseReleaseEvent(QMouseEvent *event)
{
  if (m_bDragging && event->button() == Qt::LeftButton) {
    OnLButtonUp(event->globalPosition().toPoint());
    return;
  }
  if (m_bPressSpent && event->button() == Qt::LeftButton) {
    m_bPressSpent = false;
    return;
  }
  QTreeWidget::mouseReleaseEvent(event);
}

void CVarTreeView::hideEvent(QHideEvent *event)
{
  AbandonDrag();
  CBlockTreeView::hideEvent(event);
}
