#pragma once

#include "XHeaderCtrl.h"
#include "XListCommon.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>
#include <vector>

class CImageList;
class CXCombo;
class CXEdit;

// The record of one cell. Only column 0's bEnabled and dwItemData count, for
// the whole row.
struct XLISTCELLDATA {
  bool bEnabled = true;
  bool bBold = false;
  bool bModified = false;
  int nImage = -1;
  bool bCombo = false;
  bool bSort = false;
  std::optional<QStringList> psa; // the chooser's strings: our own copy
  int nComboListHeight = 10;
  int nInitialComboSel = -1;
  bool bEdit = false;
  COLORREF crText = 0;
  COLORREF crBackground = 0;
  bool bShowProgress = false;
  int nProgressPercent = 0;
  QString strProgressText;
  bool bShowProgressMessage = true;
  int nCheckedState = -1; // -1 none, 0 unchecked, 1 checked
  quint32 dwItemData = 0;
};

// A column as InsertColumn/SetColumn/GetColumn see it.
struct LVCOLUMN {
  unsigned mask = 0;
  int fmt = xl::LVCFMT_LEFT;
  int cx = 0;
  QString pszText;
  int iSubItem = 0;
  int iImage = 0;
};

// Report list with a record per cell (colours, image, check box, edit box or
// chooser), its own drawing, in-place editing and a header with check boxes.
// Client coordinates (HitTest, GetSubItemRect, GetItemRect) start at the top
// left of the inside of the frame, above the header, as the platform's do.
// Notices to the owner are synchronous signals.
class CXListCtrl : public QAbstractScrollArea {
  Q_OBJECT
public:
  explicit CXListCtrl(QWidget *parent = nullptr);
  ~CXListCtrl() override;

  // Columns.
  int InsertColumn(int nCol, const QString &heading, int nFormat = xl::LVCFMT_LEFT, int nWidth = -1, int nSubItem = -1);
  int InsertColumn(int nCol, const LVCOLUMN &column);
  bool SetColumn(int nCol, const LVCOLUMN &column);
  bool GetColumn(int nCol, LVCOLUMN *column) const;
  int GetColumnWidth(int nCol) const;
  bool SetColumnWidth(int nCol, int cx);
  int GetColumns() const;
  CXHeaderCtrl *GetHeaderCtrl() { return &m_HeaderCtrl; }

  // Rows.
  int GetItemCount() const { return static_cast<int>(m_rows.size()); }
  int InsertItem(int nItem, const QString &lpszItem);
  int InsertItem(int nItem, const QString &lpszItem, COLORREF crText, COLORREF crBackground);
  bool DeleteItem(int nItem);
  bool DeleteAllItems();
  QString GetItemText(int nItem, int nSubItem) const;
  bool SetItemText(int nItem, int nSubItem, const QString &lpszText);
  // A null text changes only the colours; -1 colours are the window colours.
  bool SetItemText(int nItem, int nSubItem, const QString *lpszText, COLORREF crText, COLORREF crBackground);
  bool SetItemText(int nItem, int nSubItem, const QString &lpszText, COLORREF crText, COLORREF crBackground)
  {
    return SetItemText(nItem, nSubItem, &lpszText, crText, crBackground);
  }
  void SetItemColors(int nItem, int nSubItem, COLORREF crText, COLORREF crBackground);
  bool GetItemColors(int nItem, int nSubItem, COLORREF *crText, COLORREF *crBackground) const;
  bool SetItemImage(int nItem, int nSubItem, int nImage);
  bool SetEdit(int nItem, int nSubItem);
  bool SetComboBox(int nItem, int nSubItem, bool bEnableCombo, QStringList *psa, int nComboListHeight,
                   int nInitialComboSel, bool bSort = false);
  bool SetCheckbox(int nItem, int nSubItem, int nCheckedState);
  int GetCheckbox(int nItem, int nSubItem) const;
  quint32 GetItemData(int nItem) const;
  bool SetItemData(int nItem, quint32 dwData);
  bool GetModified(int nItem, int nSubItem) const;
  // The record of a cell, null for bad indexes.
  const XLISTCELLDATA *GetCellData(int nItem, int nSubItem) const;

  // Header check boxes: 0 none, 1 unchecked, 2 checked.
  int GetHeaderCheckedState(int nSubItem) const;
  bool SetHeaderCheckedState(int nSubItem, int nCheckedState);
  int CountCheckedItems(int nSubItem) const;

  // Selection and scrolling.
  int GetCurSel() const;
  bool SetCurSel(int nItem, bool bEnsureVisible = false);
  unsigned GetItemState(int nItem, unsigned mask) const;
  bool SetItemState(int nItem, unsigned state, unsigned mask);
  int GetNextItem(int nItem, unsigned flags) const;
  int GetSelectedCount() const { return m_nSelected >= 0 ? 1 : 0; }
  bool EnsureVisible(int nItem, bool bPartialOK);
  int GetTopIndex() const;
  int GetCountPerPage() const;
  bool Scroll(QPoint delta);

  // Geometry, client coordinates.
  int HitTest(QPoint pt, unsigned *pFlags = nullptr) const;
  // Row and column under the point (item -1 when no row).
  int SubItemHitTest(QPoint pt, int *pSubItem, unsigned *pFlags = nullptr) const;
  bool GetItemRect(int nItem, QRect *rect, int nCode = xl::LVIR_BOUNDS) const;
  bool GetSubItemRect(int nItem, int nSubItem, int nArea, QRect &rect) const;
  QRect GetClientRect() const;
  QPoint ClientToScreen(QPoint pt) const;
  QPoint ScreenToClient(QPoint pt) const;

  // Styles: LVS_SHOWSELALWAYS (on by default), LVS_EX_FULLROWSELECT.
  unsigned GetStyle() const { return m_dwStyle; }
  void ModifyStyle(unsigned remove, unsigned add);
  unsigned GetExtendedStyle() const { return m_dwExStyle; }
  void SetExtendedStyle(unsigned dwExStyle);

  // Image lists, not owned.
  CImageList *SetImageList(CImageList *pImageList, int nImageListType);
  CImageList *GetImageList(int nImageListType) const;

  // Refill in place, for rows that stay the same items: after BeginRefill
  // (which clears the selection and focus as DeleteAllItems does) each
  // RefillItem makes an existing row what InsertItem makes a new one, and the
  // cell calls that follow write it as they would a new row. EndRefill
  // repaints only the cells whose text or record came out different. Open
  // editors are kept.
  void BeginRefill();
  int RefillItem(int nItem, const QString &lpszItem);
  int RefillItem(int nItem, const QString &lpszItem, COLORREF crText, COLORREF crBackground);
  void EndRefill();

  // Update lock: nothing repaints until the last unlock.
  void LockWindowUpdate();
  void UnlockWindowUpdate();
  bool IsUpdateLocked() const { return m_nLockCount > 0; }

  // Editing.
  void EditCell(int nItem, int nSubItem);
  void DrawEdit(int nItem, int nSubItem);
  void DrawComboBox(int nItem, int nSubItem);
  void UpdateSubItem(int nItem, int nSubItem);
  // Repaint all rows, or a rectangle in client coordinates.
  void Invalidate();
  void InvalidateRect(const QRect &rcClient);
  CXEdit *GetEdit() const { return m_pEdit; }
  // While "WM_XLISTCTRL_EDIT_END" is sent: true when the user left the box
  // as it opened (or emptied it), so the cell holds only its shown text.
  bool IsEditUntouched() const { return m_bEditUntouched; }
  CXCombo *GetCombo() const { return m_pCombo; }
  QRect GetComboListRect() const { return m_rectComboList; }

  // Drawing rules, public so that a view can colour alike.
  void GetCellColors(int nItem, int nSubItem, COLORREF &crText, COLORREF &crBkgnd) const;
  static QString EmptyListText();
  int GetRowHeight() const;
  int GetPadding() const { return m_nPadding; }

  static constexpr int kComboTimerMs = 50;

Q_SIGNALS:
  void comboSelection(int nItem, int nSubItem);                // "WM_XLISTCTRL_COMBO_SELECTION"
  void editEnd(int nItem, int nSubItem);                       // "WM_XLISTCTRL_EDIT_END"
  void checkboxClicked(int nItem, int nSubItem);               // "WM_XLISTCTRL_CHECKBOX_CLICKED"
  void keyDown(int nChar, unsigned nFlags);                    // "WM_XLISTCTRL_KEYDOWN", virtual-key code
  void clicked(int nItem, int nSubItem);                       // NM_CLICK
  void rightClicked(int nItem, int nSubItem, QPoint ptClient); // NM_RCLICK
  void columnClicked(int nSubItem);                            // LVN_COLUMNCLICK

protected:
  void paintEvent(QPaintEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent *e) override;
  bool eventFilter(QObject *watched, QEvent *e) override;
  bool viewportEvent(QEvent *e) override;

private:
  struct Row {
    QStringList texts;
    std::vector<XLISTCELLDATA> cells; // one per column at insertion
  };

  XLISTCELLDATA *Cell(int nItem, int nSubItem);
  const XLISTCELLDATA *Cell(int nItem, int nSubItem) const;
  bool ValidCell(int nItem, int nSubItem) const;
  bool RowEnabled(int nItem) const;
  void ReadSysColors();
  void UpdateGeometries();
  int HeaderHeight() const;
  int ColumnLeft(int nCol) const;
  int TotalWidth() const;
  int RowTop(int nItem) const;
  QPoint ViewportToClient(QPoint pt) const { return pt + QPoint(0, HeaderHeight()); }
  void Redraw();
  void SyncHeaderCheck(int nSubItem);
  void OnColumnClick(int nSubItem);
  void BaseLeftClick(int nItem, int nSubItem);
  void SelectRow(int nItem);
  Row FreshRow(const QString &text0, COLORREF crText, COLORREF crBackground) const;
  // Compares the row being refilled with what it held before.
  void CloseRefillRow();

  void DrawCell(QPainter *p, int nItem, int nSubItem, const QRect &rect);
  int DrawImage(QPainter *p, int nItem, int nSubItem, COLORREF crText, COLORREF crBkgnd, QRect rect,
                const XLISTCELLDATA *pXLCD);
  void DrawText(QPainter *p, int nItem, int nSubItem, COLORREF crText, COLORREF crBkgnd, QRect rect,
                const XLISTCELLDATA *pXLCD);
  void DrawCheckbox(QPainter *p, int nItem, int nSubItem, COLORREF crText, COLORREF crBkgnd, QRect rect,
                    const XLISTCELLDATA *pXLCD);

  void OnXEditKillFocus();
  void OnXEditEscape();
  void OnComboEscape();
  void OnComboComplete();
  void OnTimer1();
  void OnTimer2();
  void OnTimer3();
  void DestroyEdit();
  void DestroyCombo();
  void CloseEditorsOnScroll();
  // The cell still exists and its row still holds the item it held when the
  // editor opened (column 0's text).
  bool SameRow(int nItem, int nSubItem, const QString &rowKey) const;

  CXHeaderCtrl m_HeaderCtrl;
  bool m_bUseEllipsis = true;
  int m_nPadding = 5;
  QString m_strInitialString;
  CXEdit *m_pEdit = nullptr; // owned (Qt child)
  int m_nEditItem = 0;
  int m_nEditSubItem = 0;
  int m_nComboItem = 0;
  int m_nComboSubItem = 0;
  QString m_strEditRowKey;
  QString m_strComboRowKey;
  QRect m_rectComboList;
  CXCombo *m_pCombo = nullptr;   // owned (Qt child)
  bool m_bPlacingEditor = false; // DrawEdit is scrolling to its cell
  bool m_bEditUntouched = false; // see IsEditUntouched

  COLORREF m_cr3DFace = 0, m_cr3DHighLight = 0, m_cr3DShadow = 0, m_crActiveCaption = 0, m_crBtnFace = 0,
           m_crBtnShadow = 0, m_crBtnText = 0, m_crGrayText = 0, m_crHighLight = 0, m_crHighLightText = 0,
           m_crInactiveCaption = 0, m_crInactiveCaptionText = 0, m_crWindow = 0, m_crWindowText = 0;

  std::vector<Row> m_rows;
  int m_nSelected = -1;
  int m_nFocused = -1;
  unsigned m_dwStyle = xl::LVS_REPORT | xl::LVS_SHOWSELALWAYS | xl::LVS_SINGLESEL;
  unsigned m_dwExStyle = 0;
  CImageList *m_pSmallImages = nullptr;  // not owned
  CImageList *m_pNormalImages = nullptr; // not owned
  int m_nLockCount = 0;
  // In-place refill: the row being written, what it held, the changed cells.
  bool m_bRefilling = false;
  int m_nRefillRow = -1;
  int m_nRefillColumns = 0;
  Row m_refillOld;
  std::vector<std::pair<int, int>> m_refillChanged;
  QTimer m_timer1, m_timer2, m_timer3;
};
