#include "XEdit.h"

#include "XListCommon.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

using namespace xl;

CXEdit::CXEdit(QWidget *pParent, const QString &strText) : CellLineEdit(pParent), m_pParent(pParent), m_strText(strText)
{
  setFrame(false);
  if (pParent)
    setFont(pParent->font());
  setText(m_strText);
  selectAll();
}

bool CXEdit::event(QEvent *e)
{
  // Enter, Escape, Delete, Tab, Up, Down and every Ctrl key belong to the
  // edit box while it is open, not to the shortcuts of the window around it.
  if (e->type() == QEvent::ShortcutOverride) {
    const auto *ke = static_cast<QKeyEvent *>(e);
    if (IsCellEditorKey(ke->key(), ke->modifiers())) {
      e->accept();
      return true;
    }
  }
  // Tab belongs to the edit box, not to the focus chain.
  if (e->type() == QEvent::KeyPress) {
    auto *ke = static_cast<QKeyEvent *>(e);
    if (ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) {
      keyPressEvent(ke);
      return true;
    }
  }
  return QLineEdit::event(e);
}

void CXEdit::keyPressEvent(QKeyEvent *e)
{
  switch (e->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    SendRegisteredMessage(Message::KillFocus);
    e->accept();
    return;
  case Qt::Key_Escape:
    SendRegisteredMessage(Message::Escape);
    e->accept();
    return;
  default:
    QLineEdit::keyPressEvent(e);
    // Up, Down and Tab stay inside the edit box.
    e->accept();
  }
}

void CXEdit::focusOutEvent(QFocusEvent *e)
{
  QLineEdit::focusOutEvent(e);
  // The box's own context menu (cut, copy, paste) takes the focus only while
  // it is open: the edit goes on.
  if (e->reason() == Qt::PopupFocusReason)
    return;
  SendRegisteredMessage(Message::Escape);
}

void CXEdit::SendRegisteredMessage(Message m)
{
  if (!m_pParent || m_bMessageSent)
    return;
  m_bMessageSent = true;
  if (m == Message::KillFocus)
    Q_EMIT editKillFocus();
  else
    Q_EMIT editEscape();
}

void CXEdit::paintEvent(QPaintEvent *e)
{
  {
    QPainter p(this);
    FillSolidRect(&p, rect().adjusted(0, 0, 2, 0), GetSysColor(COLOR_WINDOW, palette()));
  }
  QLineEdit::paintEvent(e);
  QPainter p(this);
  FrameRect(&p, rect(), GetSysColor(COLOR_INACTIVECAPTION, palette()));
}
