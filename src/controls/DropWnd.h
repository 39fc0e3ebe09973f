#pragma once

#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QWidget>

class CAdvComboBox;
class CDropListBox;
class CDropScrollBar;

// What the drop-down's placement depends on, in screen pixels.
struct DropGeometryInput {
  QRect screen; // the screen the combo is on
  int x = 0;    // the combo's left edge
  int y = 0;    // the combo's bottom edge (exclusive)
  int comboWidth = 0;
  int comboHeight = 0;
  int rowHeight = 1; // height of one row of the list
  int itemCount = 0;
  int visibleItems = -1; // rows to show when there are more; -1 all
  int minVisibleItems = 5;
  int textWidth = 0;  // widest item text
  int cxVScroll = 16; // width of the vertical scroll bar
  int cyVScroll = 16; // height of its arrow button
};

struct DropGeometry {
  QRect rect;       // where the drop-down goes
  int maxWidth = 0; // the size grip never makes it larger than these
  int maxHeight = 0;
  bool upwards = false; // opened above the combo
};

// Places the drop-down: below the combo when at least minVisibleItems rows fit
// under it on the screen, else above it; as wide as the widest text (at least
// the combo) and shifted left to stay on the screen.
DropGeometry ComputeDropGeometry(const DropGeometryInput &in);

// The size a drag of the size grip gives: (x, y) is the pointer in client
// coordinates, dx and dy the distances from the pointer to the corner when
// the drag began.
QSize ClampDropResize(int x, int y, int dx, int dy, int comboWidth, int maxWidth, int maxHeight, int cxVScroll,
                      int cyVScroll);

// The drop-down of CAdvComboBox: a popup with a list box, a scroll bar and a
// size grip. Made on every opening and destroyed on every close; it reports
// the choice and the close to the combo by queued calls.
class CDropWnd : public QWidget {
  Q_OBJECT
public:
  CDropWnd(CAdvComboBox *pCombo, const QStringList &list);
  ~CDropWnd() override;

  // Sizes and shows the drop-down under (or over) the combo.
  bool Create(const QRect &rcComboScreen);
  CDropListBox *GetListBox() const { return m_pListBox; }
  CDropScrollBar *GetScrollBar() const { return m_pScrollBar; }
  const DropGeometry &GetGeometry() const { return m_geometry; }
  int GetMaxWidth() const { return m_nMaxWidth; }
  int GetMaxHeight() const { return m_nMaxHeight; }
  // The combo hides the drop-down itself; any other hide asks it to close.
  void SetClosingByCombo() { m_bClosingByCombo = true; }

protected:
  void resizeEvent(QResizeEvent *e) override;
  void paintEvent(QPaintEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void wheelEvent(QWheelEvent *e) override;
  void hideEvent(QHideEvent *e) override;

private:
  int CxVScroll() const;
  int CyVScroll() const;

  int m_nMaxWidth = 1000;
  int m_nMaxHeight = 1000;
  CDropListBox *m_pListBox = nullptr; // owned (Qt child)
  QRect m_rcList;
  CDropScrollBar *m_pScrollBar = nullptr; // owned (Qt child)
  QRect m_rcScroll;
  QRect m_rcSizeGrip;
  CAdvComboBox *m_pCombo; // not owned
  QStringList m_list;
  bool m_bResizing = false;
  QPoint m_ptResizeStart;
  int m_nResizeDX = 0;
  int m_nResizeDY = 0;
  DropGeometry m_geometry;
  bool m_bClosingByCombo = false;
};
