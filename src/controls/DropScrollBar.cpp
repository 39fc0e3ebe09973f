#include "DropScrollBar.h"

#include "DropListBox.h"

#include "platform/Trace.h"

CDropScrollBar::CDropScrollBar(QWidget *parent) : QScrollBar(Qt::Vertical, parent)
{
  setFocusPolicy(Qt::NoFocus);
  connect(this, &QScrollBar::valueChanged, this, &CDropScrollBar::OnValueChanged);
}

void CDropScrollBar::SetListBox(CDropListBox *pListBox)
{
  if (!VTX_ASSERT(pListBox != nullptr))
    return;
  m_pListBox = pListBox;
  UpdatePage();
  m_bFromListBox = true;
  setValue(0);
  m_bFromListBox = false;
}

void CDropScrollBar::UpdatePage()
{
  if (!m_pListBox)
    return;
  // A platform scroll range of 0..count-1 with a page stops at count - page.
  const int page = qMax(1, m_pListBox->GetBottomIndex() - m_pListBox->GetTopIndex());
  const int count = m_pListBox->GetCount();
  m_bFromListBox = true;
  setPageStep(page);
  setSingleStep(1);
  setRange(0, qMax(0, count - page));
  m_bFromListBox = false;
}

void CDropScrollBar::OnValueChanged(int value)
{
  if (m_pListBox && !m_bFromListBox)
    m_pListBox->SetTopIdx(value, false);
}
