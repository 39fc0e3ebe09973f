#pragma once

#include "XListCommon.h"

#include <QLineEdit>
#include <QString>

class CEditListView;

// The edit box a CEditListView puts over one cell. Enter reports the text to
// the view, Escape cancels, Tab, arrows and paging move the edit to another
// row of the same column; losing the focus closes it without a report. It
// deletes itself when closed. GUI thread only.
class gfxEditCell : public xl::CellLineEdit {
  Q_OBJECT
public:
  gfxEditCell(CEditListView *pView, int nItem, int nSubItem, const QString &initText);

  // Shows the editor at rect (parent coordinates) with the view's font, the
  // initial text all selected, and the focus.
  bool Create(Qt::Alignment alignment, const QRect &rect, QWidget *parent, int nID);

  int GetItem() const { return m_nItem; }
  int GetSubItem() const { return m_nSubItem; }
  int GetCtrlId() const { return m_nID; }
  bool IsCancelled() const { return m_bEscape; }
  bool IsClosing() const { return m_bClosing; }
  // The view is being destroyed: from now on the editor neither reports to
  // it nor asks it for anything.
  void DetachView() { m_pListView = nullptr; }

protected:
  bool event(QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void keyReleaseEvent(QKeyEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;

private:
  void MoveTo(int nItem);
  void Close();
  void Grow();
  static bool IsEditorKey(const QKeyEvent *event);

  CEditListView *m_pListView; // not owned; the editor is its child
  int m_nItem;
  int m_nSubItem;
  QString m_strInitText;
  bool m_bEscape = false;
  bool m_bClosing = false;
  int m_nID = 0;
};
