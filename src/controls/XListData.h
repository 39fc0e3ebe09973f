#pragma once

#include "platform/RgbValue.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

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

  bool operator==(const XLISTCELLDATA &) const = default;
};

// The rows of a report list: texts, cell records, the selected and focused
// row, and the bookkeeping of an in-place refill. No window: the list control
// draws it and edits it.
class CXListData {
public:
  using Cells = std::vector<std::pair<int, int>>; // (row, column)

  // Colours a new cell starts with (the list's window text and window).
  void SetDefaultColors(COLORREF crText, COLORREF crBackground);
  COLORREF DefaultText() const { return m_crText; }
  COLORREF DefaultBackground() const { return m_crBackground; }

  int Columns() const { return m_nColumns; }
  // A column inserted at `at`: rows whose texts reach it shift them right.
  void InsertColumn(int at);
  int Count() const { return static_cast<int>(m_rows.size()); }
  bool ValidCell(int nItem, int nSubItem) const;
  // Null for bad indexes and for columns added after the row.
  XLISTCELLDATA *Cell(int nItem, int nSubItem);
  const XLISTCELLDATA *Cell(int nItem, int nSubItem) const;
  bool RowEnabled(int nItem) const;
  QString Text(int nItem, int nSubItem) const;
  void SetText(int nItem, int nSubItem, const QString &text);

  // Insert (clamped to the end) and delete keep the selection on its row.
  int Insert(int nItem, const QString &text0, COLORREF crText, COLORREF crBackground);
  bool Delete(int nItem);
  void Clear();
  int CountChecked(int nSubItem) const;
  bool GetColors(int nItem, int nSubItem, COLORREF *crText, COLORREF *crBackground) const;
  // Sorts the strings when asked (the caller's too), copies them, and shows
  // the initial entry; an initial index outside the strings names none.
  bool SetCombo(int nItem, int nSubItem, bool bEnable, QStringList *psa, int nListHeight, int nInitialSel, bool bSort);

  // Selection and focus (LVIS_ and LVNI_ flags).
  unsigned State(int nItem, unsigned mask) const;
  bool SetState(int nItem, unsigned state, unsigned mask);
  int Next(int nItem, unsigned flags) const;

  // Refill in place: End gives every cell whose text or record came out
  // different, and those of the selection Begin cleared.
  void BeginRefill();
  bool Refilling() const { return m_bRefilling; }
  int Refill(int nItem, const QString &text0, COLORREF crText, COLORREF crBackground);
  Cells EndRefill();

  int m_nSelected = -1;
  int m_nFocused = -1;

private:
  struct Row {
    QStringList texts;
    std::vector<XLISTCELLDATA> cells; // one per column at insertion
  };
  void Fill(Row &row, const QString &text0, COLORREF crText, COLORREF crBackground, int columns) const;
  // Compares the row being refilled with what it held before.
  void CloseRefillRow();

  std::vector<Row> m_rows;
  int m_nColumns = 0;
  COLORREF m_crText = 0, m_crBackground = 0;
  bool m_bRefilling = false;
  int m_nRefillRow = -1;
  int m_nRefillColumns = 0;
  Row m_refillOld;
  Cells m_refillChanged;
};
