#pragma once

#include "controls/gfxEditCell.h"
#include "platform/ColorRef.h"
#include "platform/DocView.h"

#include <QPointer>
#include <QTreeView>

class CEditListModel;

// A report list (rows of cells under a header) that edits any cell in place.
// A derived view says which cells may be edited and places the editor
// (EditSubLabel, with PlaceCellEditor doing the placing); the editor reports
// the typed text back through OnEndLabelEdit. Cells whose text was never set
// ask the view for it (SupplyCellText), and each cell may take its colours
// from the view (OnCustomDraw). It is also a view of a document. GUI thread only.
class CEditListView : public QTreeView, public CView {
  Q_OBJECT
public:
  enum { LVCFMT_LEFT = 0, LVCFMT_RIGHT = 1, LVCFMT_CENTER = 2 };

  // What the editor reports when Enter ends the edit.
  struct LV_DISPINFO {
    int idFrom = 0;       // the editor's control id
    int iItem = -1;       // row
    int iSubItem = 0;     // column
    bool hasText = false; // false: cancelled, no text
    QString pszText;
    int cchTextMax = 0;
    int lParam = 0; // modifiers: 1 Shift, 2 Control, 3 both
  };

  explicit CEditListView(QWidget *parent = nullptr);
  ~CEditListView() override;

  // Starts editing a cell and returns the editor, or null when the cell may
  // not be edited. Rows and columns that do not exist are always refused;
  // the base allows no cell.
  virtual QLineEdit *EditSubLabel(int nItem, int nCol);
  // The row under a point of the viewport, -1 when none. With pCol, the
  // column found there is written (0 when no column matched).
  virtual int HitTestEx(const QPoint &point, int *pCol) const;

  // Columns.
  int InsertColumn(int nCol, const QString &heading, int nFormat = LVCFMT_LEFT, int nWidth = 80);
  int GetColumnCount() const;
  int GetColumnWidth(int nCol) const;
  bool SetColumnWidth(int nCol, int nWidth);
  int GetColumnFormat(int nCol) const;

  // Rows. Column 0 of a new row holds its text; other cells are supplied.
  int InsertItem(int nItem, const QString &text);
  bool DeleteItem(int nItem);
  void DeleteAllItems();
  int GetItemCount() const;
  bool SetItemText(int nItem, int nSubItem, const QString &text);
  QString GetItemText(int nItem, int nSubItem) const;
  // Repaints the rows, asking again for their texts and colours.
  void RedrawItems(int nFirst, int nLast);

  // Geometry, in viewport coordinates.
  QRect GetItemRect(int nItem) const; // the whole row, over every column
  int GetTopIndex() const;
  int GetCountPerPage() const;
  bool EnsureVisible(int nItem);
  int HitTest(const QPoint &point) const;
  void SetSelectionMark(int nItem);
  int GetSelectionMark() const;

  // The editor open now, if any.
  gfxEditCell *GetEditCell() const { return m_pEditCell; }

  // Called by the editor when Enter ends an edit.
  void NotifyEndLabelEdit(const LV_DISPINFO &info);

protected:
  // Text of a cell that was never set; empty by default.
  virtual void SupplyCellText(int nItem, int nSubItem, QString &text);
  // Colours of a cell; false keeps the palette's.
  virtual bool OnCustomDraw(int nItem, int nSubItem, COLORREF &crText, COLORREF &crBk);
  // The editor's report; the result is the list's answer to it (unused).
  virtual int OnEndLabelEdit(const LV_DISPINFO &info);

  // Places an editor over a cell: makes the row visible, scrolls the column
  // into view, aligns the text as the column does. Null for a row or column
  // that does not exist or a column narrower than 5 pixels.
  gfxEditCell *PlaceCellEditor(int nItem, int nCol, int nID = 196);

  // Paints the cells the region touches and no others: a poll answer dirties
  // a few cells in several rows. Cells are drawn directly, not through the
  // style's item drawing, which costs a live list most of its time.
  void paintEvent(QPaintEvent *event) override;

private:
  friend class CEditListModel;
  friend class gfxEditCell;
  int RowHeight() const;
  void PaintCells(QPainter &p, const QRegion &region) const;
  void DrawCell(QPainter &p, int nItem, int nCol, const QRect &cell, QPalette::ColorGroup cg) const;

  CEditListModel *m_pModel; // owned
  QPointer<gfxEditCell> m_pEditCell;
};
