#pragma once

#include <QScrollBar>

class CDropListBox;

// The drop-down's scroll bar, kept in step with its list box by hand.
class CDropScrollBar : public QScrollBar {
  Q_OBJECT
public:
  explicit CDropScrollBar(QWidget *parent = nullptr);

  // Attaches the list box and sets the range to its rows, the page to its
  // visible rows and the position to 0.
  void SetListBox(CDropListBox *pListBox);
  CDropListBox *GetListBox() const { return m_pListBox; }
  // The page follows the list box's visible rows (after a resize).
  void UpdatePage();

private:
  void OnValueChanged(int value);
  CDropListBox *m_pListBox = nullptr; // not owned
  bool m_bFromListBox = false;
  friend class CDropListBox;
};
