#pragma once

#include <QPoint>
#include <QString>
#include <QTimer>

class CXListCtrl;
class QKeyEvent;
class QMouseEvent;

// The list control's input: clicks and keys, and the two in-place editors
// (edit box and chooser) with the timers that sequence the chooser. The
// editors and the cell they edit stay the list's members; this works on them.
class CXListController {
public:
  explicit CXListController(CXListCtrl &list);
  ~CXListController();

  // False when the press is not ours: the list's base handling takes it.
  bool MousePress(QMouseEvent *e);
  void MouseDoubleClick(QMouseEvent *e);
  void KeyPress(QKeyEvent *e);
  // A header check box flips every check box of its column.
  void ColumnClick(int nSubItem);

  void EditCell(int nItem, int nSubItem);
  void DrawEdit(int nItem, int nSubItem);
  void DrawComboBox(int nItem, int nSubItem);
  void CloseEditorsOnScroll();
  void OnXEditKillFocus();

private:
  bool ClickCheckbox(int nItem, int nCol, int hitSub);
  int ColumnAt(int nItem, QPoint pt) const;
  void PlaceEdit(int nItem, int nSubItem);
  void FinishPendingChooser();
  void FillCombo(int nItem, int nSubItem);
  void OnXEditEscape();
  void OnComboEscape();
  void OnComboComplete();
  void EndUpdateLock();
  void EndAbandonedChooser();
  void EndChoice();
  void DestroyEdit();
  void DestroyCombo();
  // The cell still exists and its row still holds the item it held when the
  // editor opened (column 0's text).
  bool SameRow(int nItem, int nSubItem, const QString &rowKey) const;

  CXListCtrl &m_list;
  QString m_strEditRowKey;
  QString m_strComboRowKey;
  bool m_bPlacingEditor = false; // DrawEdit is scrolling to its cell
  // All one-shot, 50 ms.
  QTimer m_timerEndUpdateLock;       // timer 1: ends the update lock a chooser's opening takes
  QTimer m_timerEndAbandonedChooser; // timer 2: removes a chooser the user left
  QTimer m_timerEndChoice;           // timer 3: commits a chooser's choice and removes it
};
