#include "SplitterWnd.h"

#include "model/MainWindowLink.h"

#include <QList>

ST_SplitterWnd::ST_SplitterWnd(int number, QWidget *parent) : QSplitter(parent), m_nNumber(number)
{
  setChildrenCollapsible(false);
}

void ST_SplitterWnd::Create(QWidget *parent, QWidget *pane0, QWidget *pane1, bool sideBySide)
{
  m_bVertical = sideBySide;
  setOrientation(sideBySide ? Qt::Horizontal : Qt::Vertical);
  if (parent && parentWidget() != parent)
    setParent(parent);
  addWidget(pane0 ? pane0 : new QWidget);
  addWidget(pane1 ? pane1 : new QWidget);
  for (int i = 0; i < 2; ++i) {
    if (m_bVertical)
      widget(i)->setMinimumWidth(m_nMinSize[i]);
    else
      widget(i)->setMinimumHeight(m_nMinSize[i]);
  }
}

ST_SplitterWnd *ST_SplitterWnd::AddSubDivision(int pane, QWidget *pane0, QWidget *pane1, int number, bool sideBySide)
{
  if (pane < 0 || pane > 1 || count() != 2 || m_pSubSplitter[pane])
    return nullptr;
  auto *sub = new ST_SplitterWnd(number);
  sub->Create(nullptr, pane0, pane1, sideBySide);
  QWidget *old = replaceWidget(pane, sub);
  // Deleted now, not later: it has no parent any more, and nothing else owns it.
  if (old != pane0 && old != pane1)
    delete old;
  m_pSubSplitter[pane] = sub;
  return sub;
}

ST_SplitterWnd *ST_SplitterWnd::SubSplitter(int pane) const
{
  return pane == 0 || pane == 1 ? m_pSubSplitter[pane].data() : nullptr;
}

QWidget *ST_SplitterWnd::Pane(int pane) const
{
  return pane == 0 || pane == 1 ? widget(pane) : nullptr;
}

bool ST_SplitterWnd::IsPaneHidden(int pane) const
{
  return pane >= 0 && HiddenIndex() == pane;
}

void ST_SplitterWnd::SetHiddenIndex(int index)
{
  if (m_bVertical)
    m_nHiddenCol = index;
  else
    m_nHiddenRow = index;
}

void ST_SplitterWnd::TogglePane(int pane)
{
  if (pane < 0 || pane > 1 || count() != 2)
    return;
  if (HiddenIndex() < 0) {
    ReadCurrentSizes();
    SetHiddenIndex(pane);
    // The other pane takes the focus when the hidden one had it.
    QWidget *hidden = widget(pane);
    if (hidden->isAncestorOf(focusWidget()) || hidden->hasFocus())
      widget(1 - pane)->setFocus();
    hidden->hide();
  } else if (HiddenIndex() == pane) {
    SetHiddenIndex(-1);
    widget(pane)->show();
    ApplySizes();
  }
}

void ST_SplitterWnd::ReadCurrentSizes()
{
  for (auto &sub : m_pSubSplitter)
    if (sub)
      sub->ReadCurrentSizes();
  if (HiddenIndex() >= 0 || count() != 2)
    return;
  const QList<int> s = sizes();
  for (int i = 0; i < 2; ++i) {
    m_nSize[i] = s.value(i);
    m_nMinSize[i] = m_bVertical ? widget(i)->minimumWidth() : widget(i)->minimumHeight();
  }
}

void ST_SplitterWnd::ApplySizes()
{
  if (count() != 2)
    return;
  // Pane 0 keeps its stored size; pane 1 takes what is left, as a static
  // splitter's last pane does (the stored size of pane 1 is only its ideal).
  setStretchFactor(0, 0);
  setStretchFactor(1, 1);
  setSizes({qMax(m_nSize[0], m_nMinSize[0]), qMax(m_nSize[1], m_nMinSize[1])});
}

SplitterLayout ST_SplitterWnd::CurrentLayout()
{
  ReadCurrentSizes();
  SplitterLayout layout;
  layout.hiddenCol = m_nHiddenCol;
  layout.size0 = m_nSize[0] == -1 ? 100 : m_nSize[0];
  layout.hiddenRow = m_nHiddenRow;
  layout.size1 = m_nSize[1] == -1 ? 100 : m_nSize[1];
  layout.number = m_nNumber;
  return layout;
}

void ST_SplitterWnd::SendPaneSizes(IPaneLayoutStore *window, int code)
{
  if (!window)
    return;
  SplitterLayout layout = CurrentLayout();
  window->PaneLayout(code, layout);
  for (auto &sub : m_pSubSplitter)
    if (sub)
      sub->SendPaneSizes(window, code);
}

void ST_SplitterWnd::ApplyLayout(const SplitterLayout &layout)
{
  // Stored sizes come from the profile: a negative one would give a pane
  // no room at all, so the minimum size stands in for it.
  m_nSize[0] = qMax(layout.size0, m_nMinSize[0]);
  m_nSize[1] = qMax(layout.size1, m_nMinSize[1]);
  const int hidden = m_bVertical ? layout.hiddenCol : layout.hiddenRow;
  if (HiddenIndex() >= 0) {
    // Show the hidden pane first so the stored one can be hidden instead.
    const int was = HiddenIndex();
    SetHiddenIndex(-1);
    widget(was)->show();
  }
  ApplySizes();
  if (hidden == 0 || hidden == 1)
    TogglePane(hidden);
}

void ST_SplitterWnd::LoadPaneSizes(IPaneLayoutStore *window)
{
  if (!window)
    return;
  SplitterLayout layout;
  layout.number = m_nNumber;
  window->PaneLayout(PaneCode::Load, layout);
  ApplyLayout(layout);
  for (auto &sub : m_pSubSplitter)
    if (sub)
      sub->LoadPaneSizes(window);
}
