#include "XCombo.h"

#include <QFocusEvent>

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
