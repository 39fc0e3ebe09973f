#include "XTabCtrl.h"

#include "XListCommon.h"

#include "platform/Trace.h"

#include <QResizeEvent>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>

namespace {
constexpr int kResizeDelayMs = 500;
constexpr int kTabRowHeight = 26;
constexpr int kEdge = 2; // height of a 3-D edge

// Tabs whose labels this control paints itself: the style draws the tab's
// frame, the label is the caption cut to its first 63 characters, on the
// button face, in the button text colour whether selected or not, centred.
class CXTabBar : public QTabBar {
public:
  explicit CXTabBar(QWidget *parent) : QTabBar(parent) { setElideMode(Qt::ElideNone); }

protected:
  QSize tabSizeHint(int index) const override
  {
    QSize hint = QTabBar::tabSizeHint(index);
    const QFontMetrics fm(font());
    hint.rwidth() -= fm.horizontalAdvance(tabText(index)) - fm.horizontalAdvance(CXTabCtrl::TabLabel(tabText(index)));
    return hint;
  }

  void paintEvent(QPaintEvent *) override
  {
    QStylePainter p(this);
    const QColor face = ToQColor(xl::GetSysColor(xl::COLOR_BTNFACE, palette()));
    const QColor text = ToQColor(xl::GetSysColor(xl::COLOR_BTNTEXT, palette()));
    for (int i = 0; i < count(); ++i) {
      QStyleOptionTab opt;
      initStyleOption(&opt, i);
      if (!opt.rect.intersects(rect()))
        continue;
      opt.text.clear();
      opt.icon = QIcon();
      p.drawControl(QStyle::CE_TabBarTabShape, opt);
      QRect item = CXTabCtrl::LabelRect(opt.rect);
      p.save();
      p.fillRect(item.adjusted(0, kEdge, 0, 0), face);
      p.setPen(text);
      p.drawText(item, Qt::AlignCenter | Qt::TextSingleLine, CXTabCtrl::TabLabel(tabText(i)));
      p.restore();
    }
  }
};
} // namespace

QString CXTabCtrl::TabLabel(const QString &caption)
{
  if (caption.size() <= kMaxLabel)
    return caption;
  QString label = caption.left(kMaxLabel);
  if (label.back().isHighSurrogate())
    label.chop(1); // never half a character
  return label;
}

QRect CXTabCtrl::LabelRect(const QRect &tab)
{
  return tab.adjusted(kEdge, kEdge, -kEdge, 0);
}

QString CXTabCtrl::GetTabLabel(int nTab) const
{
  return TabLabel(GetTabText(nTab));
}

CXTabCtrl::CXTabCtrl(QWidget *parent) : QWidget(parent), m_pTabBar(new CXTabBar(this))
{
  m_pTabBar->setDrawBase(false);
  m_pTabBar->setExpanding(false);
  m_pTabBar->setUsesScrollButtons(true);
  m_pTabBar->setSelectionBehaviorOnRemove(QTabBar::SelectRightTab);
  connect(m_pTabBar, &QTabBar::currentChanged, this, &CXTabCtrl::OnCurrentChanged);
  m_ResizeTimer.setSingleShot(true);
  m_ResizeTimer.setInterval(kResizeDelayMs);
  connect(&m_ResizeTimer, &QTimer::timeout, this, &CXTabCtrl::RepositionTabs);
  PlaceTabBar();
}

void CXTabCtrl::PlaceTabBar()
{
  const int h = std::min(m_pTabBar->sizeHint().height(), kTabRowHeight);
  m_pTabBar->setGeometry(2, 2, std::max(0, width() - 4), h);
}

int CXTabCtrl::GetCurSel() const
{
  return m_pTabBar->currentIndex();
}

QWidget *CXTabCtrl::GetTabWindow(int nTab) const
{
  if (nTab < 0 || nTab >= GetItemCount())
    return nullptr;
  return m_tabWindows[static_cast<size_t>(nTab)];
}

QString CXTabCtrl::GetTabText(int nTab) const
{
  return m_pTabBar->tabText(nTab);
}

int CXTabCtrl::GetTabImage(int nTab) const
{
  if (nTab < 0 || nTab >= GetItemCount())
    return -1;
  return m_tabImages[static_cast<size_t>(nTab)];
}

int CXTabCtrl::AddTab(QWidget *pWnd, const QString &caption, int nImage)
{
  if (!VTX_ASSERT(pWnd != nullptr))
    return -1;
  if (pWnd->parentWidget() != this)
    pWnd->setParent(this);
  const int index = GetItemCount();
  m_tabWindows.emplace_back(pWnd);
  m_tabImages.push_back(nImage);
  m_arTabFlags.append(1);
  m_bChanging = true;
  m_pTabBar->insertTab(index, caption);
  m_nCurSel = m_pTabBar->currentIndex();
  m_bChanging = false;
  PlaceTabBar();
  pWnd->setGeometry(m_ptWndOffset.x(), m_ptWndOffset.y(), width() - 2 * m_ptWndOffset.x(),
                    height() - m_ptWndOffset.y() - m_ptWndOffset.x());
  pWnd->setVisible(index == 0);
  return GetItemCount();
}

QWidget *CXTabCtrl::DeleteTab(int nTab)
{
  if (nTab < 0 || nTab >= GetItemCount())
    return nullptr;
  QWidget *removed = m_tabWindows[static_cast<size_t>(nTab)];
  const bool wasSelected = GetCurSel() == nTab;
  m_tabWindows.erase(m_tabWindows.begin() + nTab);
  m_tabImages.erase(m_tabImages.begin() + nTab);
  m_arTabFlags.removeAt(nTab);
  m_bChanging = true;
  m_pTabBar->removeTab(nTab);
  m_bChanging = false;
  m_nCurSel = m_pTabBar->currentIndex();
  // The neighbour that now holds the selection shows its window; the removed
  // window is the caller's to hide or destroy.
  if (wasSelected && m_nCurSel >= 0) {
    if (QWidget *w = GetTabWindow(m_nCurSel))
      w->show();
  }
  return removed;
}

bool CXTabCtrl::SelectTab(int nTab)
{
  if (nTab < 0 || nTab >= GetItemCount())
    return false;
  const int cur = GetCurSel();
  if (cur >= 0 && cur < GetItemCount() && cur != nTab) {
    if (QWidget *w = GetTabWindow(cur))
      w->hide();
  }
  m_bChanging = true;
  m_pTabBar->setCurrentIndex(nTab);
  m_bChanging = false;
  m_nCurSel = nTab;
  if (QWidget *w = GetTabWindow(nTab))
    w->show();
  return true;
}

void CXTabCtrl::OnCurrentChanged(int index)
{
  if (m_bChanging)
    return;
  // A change the user made: the tab selected so far gives way to the new one.
  m_nPrevSel = m_nCurSel;
  m_nCurSel = index;
  if (m_nPrevSel >= 0 && m_nPrevSel != index) {
    if (QWidget *w = GetTabWindow(m_nPrevSel))
      w->hide();
  }
  if (QWidget *w = GetTabWindow(index)) {
    QRect r = rect();
    r.setTop(r.top() + m_ptWndOffset.y());
    w->setGeometry(r);
    w->show();
  }
  Q_EMIT selChange(index);
}

void CXTabCtrl::resizeEvent(QResizeEvent *event)
{
  QWidget::resizeEvent(event);
  PlaceTabBar();
  if (event->size().width() > 0 && event->size().height() > 0 && GetItemCount() > 0)
    m_ResizeTimer.start();
}

void CXTabCtrl::RepositionTabs()
{
  m_ResizeTimer.stop();
  const QRect r = rect().adjusted(m_ptWndOffset.x(), m_ptWndOffset.y(), -m_ptWndOffset.x(), -m_ptWndOffset.x());
  for (const QPointer<QWidget> &w : m_tabWindows) {
    if (!w)
      continue;
    w->setGeometry(r);
    w->update();
  }
  update();
}
