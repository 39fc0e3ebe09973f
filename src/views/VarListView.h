#pragma once

#include "controls/EditListView.h"
#include "model/DocViewLinks.h"

#include <QPoint>

#include <array>
#include <cstdint>

class CQelDoc;

// The variables of a document window: six watch rows the user fills (by
// number, address key or name, or by a drop from the variable tree), the
// standard variables and, with testpoints on, the selected group's
// variables. The poll answers fill the document's rows; this view formats
// and colours them. GUI thread only.
class CVarListView : public CEditListView, public IDocVarList {
  Q_OBJECT
public:
  static constexpr int kColumns = 8;
  static constexpr int kWidths = 10;
  enum { COL_INDEX = 0, COL_KEY, COL_TYPE, COL_NAME, COL_UNIT, COL_SI, COL_UI, COL_COUNTER };

  explicit CVarListView(QWidget *parent = nullptr);
  ~CVarListView() override;

  CQelDoc *GetDocument() const;

  void OnInitialUpdate() override;
  void OnUpdate(CView *pSender, long lHint, QObject *pHint) override;
  void InvalidateRow(int row) override;
  QLineEdit *EditSubLabel(int nItem, int nCol) override;
  void SaveColumnWidths();

  // Handlers, public so that the frame and tests can drive them.
  void OnLButtonDown(QPoint ptViewport);
  int OnEndLabelEdit(const LV_DISPINFO &info) override;
  // The colours of a cell; false without settings (the palette's then).
  bool GetCellColors(int nItem, int nSubItem, COLORREF &crText, COLORREF &crBk) const;

  const std::array<int, kWidths> &GetColWidths() const { return m_nColWidth; }

protected:
  void SupplyCellText(int nItem, int nSubItem, QString &text) override;
  bool OnCustomDraw(int nItem, int nSubItem, COLORREF &crText, COLORREF &crBk) override;
  void mousePressEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  void Refill(CQelDoc *doc);
  // False while the drag stays over the same row.
  bool TrackDrag(CQelDoc *doc);
  // The row's variable, or -1 when the row names none.
  int VarOfRow(int nItem) const;

  int m_nDragOver = 0;
  std::array<int, kWidths> m_nColWidth{};
};
