#pragma once

#include <QPointer>
#include <QTabBar>

#include <vector>

class QMdiArea;
class QMdiSubWindow;

// The strip of tabs, one per board window, above or below the MDI area. A
// click brings the window forward, a double click maximises it, a right
// click opens its window menu. Hidden while fewer windows than its minimum
// exist. GUI thread only.
class CMDITabs : public QTabBar {
  Q_OBJECT
public:
  enum : int { kStyleTop = 1, kStyleImages = 2, kStyleHideLess2 = 4 };
  // Window-menu commands (the system menu's own numbers).
  enum : int { kCmdRestore = 0xF120, kCmdMinimize = 0xF020, kCmdMaximize = 0xF030, kCmdClose = 0xF060 };

  explicit CMDITabs(QWidget *parent = nullptr);

  // Follows the MDI area with the style bits (kStyle*); may be called again
  // when the tab settings change.
  void Create(QMdiArea *area, int style);
  // Brings the tabs in line with the board windows: gone ones removed, titles
  // and icons refreshed, new ones appended, the active one selected, the strip
  // shown or hidden.
  void Update();

  bool IsTop() const { return m_bTop; }
  bool HasImages() const { return m_bImages; }
  int MinViews() const { return m_nMinViews; }
  // The band the strip claims from the MDI area's host while shown (26, 27
  // with images); the strip is 2 pixels higher and overlaps the area by 2.
  int BandHeight() const { return m_bImages ? 27 : 26; }
  // Lays out the host (the MDI area's parent): the strip takes its band at
  // the top or bottom, the MDI area the rest; hidden below the minimum.
  void OnSizeParent();
  QMdiSubWindow *WindowAt(int index) const;
  // What the right click on a tab does once the menu answered.
  void RunWindowMenu(int index, const QPoint &globalPos);

protected:
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void OnCurrentChanged(int index);

  QPointer<QMdiArea> m_pMdiArea;
  std::vector<QPointer<QMdiSubWindow>> m_windows; // one per tab
  int m_nMinViews = 0;
  bool m_bImages = false;
  bool m_bTop = false;
  bool m_bUpdating = false;
};
