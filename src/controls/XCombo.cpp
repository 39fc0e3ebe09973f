#include "XCombo.h"

#include <QFocusEvent>
#include <QKeyEvent>

CXCombo::CXCombo(QWidget *pParent) : CAdvComboBox(false, pParent, pParent), m_pParent(pParent) {}

void CXCombo::OnEscapeKey()
{
  if (m_pParent)
    Q_EMIT comboEscape();
}

void CXCombo::OnComboComplete()
{
  if (m_pParent)
    Q_EMIT comboComplete();
}

void CXCombo::focusOutEvent(QFocusEvent *e)
{
  CAdvComboBox::focusOutEvent(e);
  if (!FocusGoesToOwnDropDown(e))
    OnEscapeKey();
}

bool CXCombo::event(QEvent *e)
{
  // Enter and Escape end the choice; the window's shortcuts never see them.
  if (e->type() == QEvent::ShortcutOverride) {
    const int key = static_cast<QKeyEvent *>(e)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
      e->accept();
      return true;
    }
  }
  return CAdvComboBox::event(e);
}

void CXCombo::keyPressEvent(QKeyEvent *e)
{
  CAdvComboBox::keyPressEvent(e);
  // The chooser stands over the cell as a window of its own: keys it passes
  // on must not reach the list under it (moving its selection, scrolling the
  // cell away from the chooser) nor the list's owner.
  e->accept();
}
