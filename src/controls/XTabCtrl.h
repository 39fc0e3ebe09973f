#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <vector>

class QTabBar;

// A tab row in which every tab has a window: the selected tab's window is
// shown below the row, the others are hidden. The windows are children of
// this control made by its owner, who also destroys them after removing
// their tab; the control never owns them. Re-places the windows 500 ms
// after the last resize. GUI thread only.
class CXTabCtrl : public QWidget {
  Q_OBJECT
public:
  explicit CXTabCtrl(QWidget *parent = nullptr);

  // Appends a tab; returns the number of tabs, or -1 without a window.
  int AddTab(QWidget *pWnd, const QString &caption, int nImage = 0);
  // Removes tab nTab and returns its window (null for a tab that does not
  // exist). When it was the selected tab, the tab that takes its place (or
  // else the new last tab) is selected and its window shown.
  QWidget *DeleteTab(int nTab);
  // Selects tab nTab and shows its window; false for a tab that does not exist.
  bool SelectTab(int nTab);

  int GetItemCount() const { return static_cast<int>(m_arTabFlags.size()); }
  int GetCurSel() const;
  QWidget *GetTabWindow(int nTab) const;
  // The whole caption of a tab.
  QString GetTabText(int nTab) const;
  // What the tab shows: the caption cut to its first 63 characters.
  QString GetTabLabel(int nTab) const;
  static QString TabLabel(const QString &caption);
  // Where a tab's label is painted, from the tab's rectangle.
  static QRect LabelRect(const QRect &tab);
  static constexpr int kMaxLabel = 63;
  int GetTabImage(int nTab) const;
  int GetPrevSel() const { return m_nPrevSel; }
  QPoint GetWndOffset() const { return m_ptWndOffset; }
  bool IsResizePending() const { return m_ResizeTimer.isActive(); }
  QTabBar *TabBar() const { return m_pTabBar; }

Q_SIGNALS:
  // The user chose another tab; its window is already shown.
  void selChange(int nTab);

protected:
  void resizeEvent(QResizeEvent *event) override;

private:
  void OnCurrentChanged(int index);
  void RepositionTabs();
  void PlaceTabBar();

  QTabBar *m_pTabBar; // owned as a child
  QList<int> m_arTabFlags;
  std::vector<QPointer<QWidget>> m_tabWindows; // not owned
  std::vector<int> m_tabImages;
  int m_nPrevSel = 0;
  int m_nCurSel = -1; // the selection as this control last saw it
  QPoint m_ptWndOffset{4, 28};
  QTimer m_ResizeTimer; // timer 2
  bool m_bChanging = false;
};
