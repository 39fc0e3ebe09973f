#include "ACEditCtrl.h"

#include <QKeyEvent>

CACEditCtrl::CACEditCtrl(QWidget *parent) : QLineEdit(parent)
{
  connect(this, &QLineEdit::textChanged, this, &CACEditCtrl::OnTextChanged);
}

void CACEditCtrl::SetList(int nList, const QStringList &candidates)
{
  if (nList < 0 || nList >= kListCount)
    return;
  QStringList &list = m_lists[static_cast<size_t>(nList)];
  list.clear();
  for (const QString &s : candidates)
    if (!s.isEmpty())
      list.append(s);
  m_bListSet[static_cast<size_t>(nList)] = true;
}

void CACEditCtrl::ClearList(int nList)
{
  if (nList < 0 || nList >= kListCount)
    return;
  m_lists[static_cast<size_t>(nList)].clear();
  m_bListSet[static_cast<size_t>(nList)] = false;
}

const QStringList *CACEditCtrl::GetList(int nList) const
{
  if (nList < 0 || nList >= kListCount || !m_bListSet[static_cast<size_t>(nList)])
    return nullptr;
  return &m_lists[static_cast<size_t>(nList)];
}

void CACEditCtrl::SelectList(bool bSuppress, int nList)
{
  if (nList < 0 || nList >= kListCount)
    return;
  m_nActiveList = nList;
  m_bSuppress = bSuppress;
  m_bDeletePending = false;
}

void CACEditCtrl::keyPressEvent(QKeyEvent *event)
{
  if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
    m_bSuppress = true;
    m_bDeletePending = true;
  } else if (m_bSuppress && m_bDeletePending) {
    m_bSuppress = false;
    m_bDeletePending = false;
    update();
  }
  // The edit finishes its own change before the completion rewrites the text.
  m_bInKey = true;
  QLineEdit::keyPressEvent(event);
  m_bInKey = false;
  if (m_bUpdatePending) {
    m_bUpdatePending = false;
    OnUpdate();
  }
}

void CACEditCtrl::OnTextChanged()
{
  if (m_bInKey)
    m_bUpdatePending = true;
  else
    OnUpdate();
}

void CACEditCtrl::OnUpdate()
{
  if (m_bBusy)
    return;
  m_bBusy = true;
  const QStringList *list = GetList(m_nActiveList);
  if (list && !list->isEmpty() && !text().isEmpty() && !m_bSuppress)
    HandleCompletion(*list);
  m_bBusy = false;
}

void CACEditCtrl::HandleCompletion(const QStringList &list)
{
  m_strText = text();
  for (const QString &candidate : list) {
    if (!candidate.startsWith(m_strText, Qt::CaseSensitive))
      continue;
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    setText(candidate);
    setSelection(start, static_cast<int>(candidate.size()) - start);
    return;
  }
}
