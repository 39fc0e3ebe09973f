#include "XCombo.h"

#include <QFocusEvent>
#include <QKeyEvent>

CXCombo::CXCombo(QWidget *pParent)
  : CAdvComboBox(false, pParent, pParent), m_pParent(pParent)
{
}

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

void CXCombo::keyPressEvent(QKeyEvent *e)
{
  CAdvComboBox::keyPressEvent(e);
  // The chooser stands over the cell as a window of its own: keys it passes
  // on must not reach the list under it (moving its selection, scrolling the
  // cell away from the chooser) nor the list's owner.
  e->accept();
}
