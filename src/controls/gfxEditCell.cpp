#include "gfxEditCell.h"

#include "EditListView.h"
#include "XListCommon.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

gfxEditCell::gfxEditCell(CEditListView *pView, int nItem, int nSubItem, const QString &initText)
    : m_pListView(pView), m_nItem(nItem), m_nSubItem(nSubItem), m_strInitText(initText)
{
  setFrame(true);
  connect(this, &QLineEdit::textEdited, this, &gfxEditCell::Grow);
}

bool gfxEditCell::Create(Qt::Alignment alignment, const QRect &rect, QWidget *parent, int nID)
{
  m_nID = nID;
  setParent(parent);
  setAlignment(alignment | Qt::AlignVCenter);
  setGeometry(rect);
  if (m_pListView) {
    setFont(m_pListView->font());
    // One editor at a time: the one open so far would lose the focus to
    // this one and close without reporting.
    if (gfxEditCell *previous = m_pListView->m_pEditCell; previous && previous != this)
      previous->Close();
    m_pListView->m_pEditCell = this;
  }
  setText(m_strInitText);
  show();
  setFocus(Qt::OtherFocusReason);
  selectAll();
  return true;
}

bool gfxEditCell::IsEditorKey(const QKeyEvent *event)
{
  return xl::IsCellEditorKey(event->key(), event->modifiers());
}

bool gfxEditCell::event(QEvent *event)
{
  // These keys belong to the editor, not to shortcuts, default buttons or
  // the focus chain of the window around it.
  if (event->type() == QEvent::ShortcutOverride) {
    if (IsEditorKey(static_cast<QKeyEvent *>(event))) {
      event->accept();
      return true;
    }
  } else if (event->type() == QEvent::KeyPress) {
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(key);
      return true;
    }
  }
  return QLineEdit::event(event);
}

void gfxEditCell::keyPressEvent(QKeyEvent *event)
{
  if (m_bClosing || !m_pListView) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  const Qt::KeyboardModifiers mods = event->modifiers();
  const bool shift = mods & Qt::ShiftModifier;
  const bool ctrl = mods & Qt::ControlModifier;
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter: {
    CEditListView::LV_DISPINFO info;
    info.idFrom = m_nID;
    info.iItem = m_nItem;
    info.iSubItem = m_nSubItem;
    info.hasText = true;
    info.pszText = text();
    info.cchTextMax = static_cast<int>(info.pszText.size());
    info.lParam = (shift ? 1 : 0) | (ctrl ? 2 : 0);
    QPointer<gfxEditCell> self(this);
    QPointer<CEditListView> view(m_pListView);
    view->NotifyEndLabelEdit(info);
    if (view)
      view->setFocus(Qt::OtherFocusReason);
    if (self)
      Close();
    return;
  }
  case Qt::Key_Escape:
    m_bEscape = true;
    m_pListView->setFocus(Qt::OtherFocusReason);
    Close();
    return;
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    if (event->key() == Qt::Key_Backtab || shift) {
      if (m_nItem > 0)
        MoveTo(m_nItem - 1);
    } else {
      MoveTo(m_nItem + 1);
    }
    return;
  case Qt::Key_Up:
    if (m_nItem > 0)
      MoveTo(m_nItem - 1);
    return;
  case Qt::Key_Down:
    MoveTo(m_nItem + 1);
    return;
  case Qt::Key_Home:
    if (ctrl) {
      MoveTo(0);
      return;
    }
    break;
  case Qt::Key_End:
    if (ctrl) {
      MoveTo(m_pListView->GetItemCount() - 1);
      return;
    }
    break;
  case Qt::Key_PageUp:
  case Qt::Key_PageDown:
    return; // acted on when the key comes up
  default:
    break;
  }
  QLineEdit::keyPressEvent(event);
}

void gfxEditCell::keyReleaseEvent(QKeyEvent *event)
{
  if (!m_bClosing && m_pListView && !event->isAutoRepeat()) {
    const int count = m_pListView->GetItemCount();
    const int page = m_pListView->GetCountPerPage();
    if (event->key() == Qt::Key_PageDown) {
      const int row = m_nItem + page;
      MoveTo(row > count - 1 ? count - 1 : row);
      return;
    }
    if (event->key() == Qt::Key_PageUp) {
      const int row = m_nItem - page;
      MoveTo(row > 0 ? row : 0);
      return;
    }
  }
  QLineEdit::keyReleaseEvent(event);
}

// Asks the view for an editor on another row of this column; when it gives
// one, this editor closes without reporting.
void gfxEditCell::MoveTo(int nItem)
{
  if (nItem == m_nItem)
    return;
  QPointer<gfxEditCell> self(this);
  QLineEdit *next = m_pListView->EditSubLabel(nItem, m_nSubItem);
  if (self && next && next != this)
    Close();
}

void gfxEditCell::focusOutEvent(QFocusEvent *event)
{
  QLineEdit::focusOutEvent(event);
  // A context menu of the edit itself does not end the edit.
  if (event->reason() != Qt::PopupFocusReason)
    Close();
}

void gfxEditCell::Close()
{
  if (m_bClosing)
    return;
  m_bClosing = true;
  if (m_pListView && m_pListView->m_pEditCell == this)
    m_pListView->m_pEditCell = nullptr;
  hide();
  deleteLater();
}

void gfxEditCell::Grow()
{
  if (!m_pListView)
    return;
  const int extent = QFontMetrics(m_pListView->font()).horizontalAdvance(text()) + 5;
  if (extent <= width())
    return;
  const int right = std::min(x() + extent, m_pListView->viewport()->width());
  resize(std::max(width(), right - x()), height());
}
