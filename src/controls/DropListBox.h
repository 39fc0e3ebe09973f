#pragma once

#include <QSize>
#include <QStringList>
#include <QWidget>

class CAdvComboBox;
class CDropScrollBar;

// The rows of the combo's drop-down: the item texts, one current row that
// follows the pointer, and a top row shared with the scroll bar.
class CDropListBox : public QWidget {
  Q_OBJECT
public:
  CDropListBox(CAdvComboBox *pCombo, CDropScrollBar *pScrollBar, QWidget *parent = nullptr);

  int AddListItem(const QString &text);
  int GetCount() const { return static_cast<int>(m_rows.size()); }
  QString GetText(int nIndex) const;
  int GetCurSel() const { return m_nCurSel; }
  // Makes the row current and scrolls it into view; -1 for a missing row.
  int SetCurSel(int nIndex);
  int GetTopIndex() const { return m_nTop; }
  // Scrolls so the row is on top (as far as the rows go); -1 for a missing row.
  int SetTopIndex(int nIndex);
  int GetItemHeight() const;
  // Makes the row current and moves the scroll bar to the top row; a missing
  // row changes nothing.
  void SelectIndex(int nIndex);
  void SetTopIdx(int nTop, bool bUpdateScrollBar);
  int GetVisibleCount() const;
  int GetBottomIndex() const;
  QSize GetTextSize(const QString &text) const;

protected:
  void paintEvent(QPaintEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void wheelEvent(QWheelEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;

private:
  void TrackRow(const QPoint &pt);
  CAdvComboBox *m_pCombo;       // not owned
  CDropScrollBar *m_pScrollBar; // not owned (a sibling)
  int m_nLastTopIdx = 0;
  QStringList m_rows;
  int m_nCurSel = -1;
  int m_nTop = 0;
};
