#pragma once

#include <QPointer>
#include <QSplitter>

#include <cstdint>

// Layout of one splitter as the main frame stores it (four values per
// splitter number in the setting Panes_).
struct SplitterLayout {
  int32_t hiddenCol = -1; // -1: none hidden
  int32_t size0 = 100;    // pixels along the split direction
  int32_t hiddenRow = -1;
  int32_t size1 = 100;
  int32_t number = 0; // which stored layout
};

// Where the splitters' layouts are kept: the main frame, and the board window
// that passes the loads on to it.
class IPaneLayoutStore {
public:
  virtual ~IPaneLayoutStore() = default;
  // PaneCode::Load fills the record stored under its number (unchanged when
  // none is), PaneCode::Store keeps it.
  virtual void PaneLayout(int code, SplitterLayout &layout) = 0;
};

// A splitter of exactly two panes, side by side or one above the other; a
// pane holds a view or a nested splitter, one pane can be hidden, and the
// whole tree saves and restores its layout through the board window. GUI thread.
class ST_SplitterWnd : public QSplitter {
  Q_OBJECT
public:
  explicit ST_SplitterWnd(int number, QWidget *parent = nullptr);

  // Places the splitter in the parent (may be null) with the two pane widgets
  // (either may be null: an empty placeholder until AddSubDivision). The
  // splitter takes ownership of the widgets. sideBySide: one row, two columns.
  void Create(QWidget *parent, QWidget *pane0, QWidget *pane1, bool sideBySide);
  // Replaces pane 0 or 1 by a nested splitter; null for a bad pane or one
  // that already holds a nested splitter.
  ST_SplitterWnd *AddSubDivision(int pane, QWidget *pane0, QWidget *pane1, int number, bool sideBySide);
  // Hides the pane when none is hidden, shows it when it is the hidden one.
  void TogglePane(int pane);
  bool IsPaneHidden(int pane) const;
  bool IsVertical() const { return m_bVertical; }
  int Number() const { return m_nNumber; }
  ST_SplitterWnd *SubSplitter(int pane) const;
  QWidget *Pane(int pane) const;

  // Asks the store for this splitter's layout and applies it, then does the
  // same for the nested splitters.
  void LoadPaneSizes(IPaneLayoutStore *window);
  // Sends this splitter's layout with the code, then the nested ones'.
  void SendPaneSizes(IPaneLayoutStore *window, int code);
  // The record SendPaneSizes would send for this splitter alone.
  SplitterLayout CurrentLayout();
  // Applies one record (the sizes, then the hidden pane).
  void ApplyLayout(const SplitterLayout &layout);

private:
  void ReadCurrentSizes();
  void ApplySizes();
  int HiddenIndex() const { return m_bVertical ? m_nHiddenCol : m_nHiddenRow; }
  void SetHiddenIndex(int index);

  QPointer<ST_SplitterWnd> m_pSubSplitter[2]; // children of this splitter
  int m_nHiddenCol = -1;
  int m_nHiddenRow = -1;
  int m_nSize[2] = {100, 100};
  int m_nMinSize[2] = {10, 10};
  bool m_bVertical = true; // side by side
  int m_nNumber = 0;
};
