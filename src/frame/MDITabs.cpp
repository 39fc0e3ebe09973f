#include "MDITabs.h"

#include "model/generali.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"

#include <QContextMenuEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>

#include <algorithm>

CMDITabs::CMDITabs(QWidget *parent) : QTabBar(parent)
{
  setFocusPolicy(Qt::NoFocus);
  setExpanding(false);
  setDrawBase(true);
  setElideMode(Qt::ElideNone);
  setUsesScrollButtons(true);
  connect(this, &QTabBar::currentChanged, this, &CMDITabs::OnCurrentChanged);
  hide();
}

void CMDITabs::Create(QMdiArea *area, int style)
{
  if (m_pMdiArea && m_pMdiArea->parentWidget())
    m_pMdiArea->parentWidget()->removeEventFilter(this);
  m_pMdiArea = area;
  if (m_pMdiArea && m_pMdiArea->parentWidget())
    m_pMdiArea->parentWidget()->installEventFilter(this);
  m_bTop = style & kStyleTop;
  m_nMinViews = (style & kStyleHideLess2) ? 2 : 1;
  m_bImages = style & kStyleImages;
  setShape(m_bTop ? QTabBar::RoundedNorth : QTabBar::RoundedSouth);
  setIconSize(QSize(16, 16));
  for (int i = 0; i < count(); ++i)
    setTabIcon(i, QIcon());
  Update();
}

QMdiSubWindow *CMDITabs::WindowAt(int index) const
{
  return index >= 0 && index < int(m_windows.size()) ? m_windows[size_t(index)].data() : nullptr;
}

void CMDITabs::Update()
{
  m_bUpdating = true;
  setUpdatesEnabled(false);
  QList<QMdiSubWindow *> windows;
  QMdiSubWindow *active = nullptr;
  if (m_pMdiArea) {
    windows = m_pMdiArea->subWindowList(QMdiArea::StackingOrder);
    std::reverse(windows.begin(), windows.end()); // topmost first
    active = m_pMdiArea->activeSubWindow();
  }
  for (int i = count() - 1; i >= 0; --i) {
    QMdiSubWindow *w = m_windows[size_t(i)].data();
    if (!w || !windows.contains(w)) {
      m_windows.erase(m_windows.begin() + i);
      removeTab(i);
      continue;
    }
    setTabText(i, GetFileNameFromPath(w->windowTitle().left(255), false));
    setTabIcon(i, m_bImages ? w->windowIcon() : QIcon());
    if (w == active)
      setCurrentIndex(i);
    windows.removeOne(w);
  }
  for (QMdiSubWindow *w : windows) {
    m_windows.emplace_back(w);
    const int i = addTab(m_bImages ? w->windowIcon() : QIcon(), w->windowTitle().left(255));
    if (w == active)
      setCurrentIndex(i);
  }
  setUpdatesEnabled(true);
  m_bUpdating = false;
  OnSizeParent();
}

void CMDITabs::OnSizeParent()
{
  QWidget *host = m_pMdiArea ? m_pMdiArea->parentWidget() : nullptr;
  if (!host)
    return;
  QRect rest = host->rect();
  if (count() < m_nMinViews || count() == 0) {
    hide();
    m_pMdiArea->setGeometry(rest);
    return;
  }
  const int band = BandHeight();
  const int height = band + 2;
  if (m_bTop) {
    setGeometry(rest.left(), rest.top(), rest.width(), height);
    rest.setTop(rest.top() + band);
  } else {
    rest.setBottom(rest.bottom() - band);
    setGeometry(rest.left(), rest.bottom() + 1 - 2, rest.width(), height);
  }
  m_pMdiArea->setGeometry(rest);
  show();
  raise(); // its 2 pixels over the MDI area show the strip's edge
}

bool CMDITabs::eventFilter(QObject *watched, QEvent *event)
{
  if (event->type() == QEvent::Resize && m_pMdiArea && watched == m_pMdiArea->parentWidget())
    OnSizeParent();
  return QTabBar::eventFilter(watched, event);
}

void CMDITabs::OnCurrentChanged(int index)
{
  if (m_bUpdating || !m_pMdiArea)
    return;
  if (QMdiSubWindow *w = WindowAt(index))
    m_pMdiArea->setActiveSubWindow(w);
}

void CMDITabs::mouseDoubleClickEvent(QMouseEvent *event)
{
  QTabBar::mouseDoubleClickEvent(event);
  if (QMdiSubWindow *w = WindowAt(currentIndex()))
    w->showMaximized();
}

void CMDITabs::contextMenuEvent(QContextMenuEvent *event)
{
  const int index = tabAt(event->pos());
  if (index < 0)
    return;
  RunWindowMenu(index, event->globalPos());
}

void CMDITabs::RunWindowMenu(int index, const QPoint &globalPos)
{
  QPointer<QMdiSubWindow> w = WindowAt(index);
  if (!w)
    return;
  setCurrentIndex(index);
  if (m_pMdiArea)
    m_pMdiArea->setActiveSubWindow(w);
  const QList<PopupMenuItem> items = {
      {kCmdRestore, LoadStr(IDS_TAB_RESTORE), w->isMaximized() || w->isMinimized(), false},
      {kCmdMinimize, LoadStr(IDS_TAB_MINIMIZE), !w->isMinimized(), false},
      {kCmdMaximize, LoadStr(IDS_TAB_MAXIMIZE), !w->isMaximized(), false},
      {0, QString(), true, false},
      {kCmdClose, LoadStr(IDS_TAB_CLOSE), true, false},
  };
  const int command = Prompter::Instance().PopupMenu(items, globalPos, this);
  if (!w) // closed while the menu was open
    return;
  switch (command) {
  case kCmdRestore:
    w->showNormal();
    break;
  case kCmdMinimize:
    w->showMinimized();
    break;
  case kCmdMaximize:
    w->showMaximized();
    break;
  case kCmdClose:
    w->close();
    break;
  default:
    break;
  }
}
