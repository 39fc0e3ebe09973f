#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// What the document needs of the controls the views register with it. The
// views implement these; the model never sees a widget.

// A document's view update hints: the bits of the views that rebuild, and
// what some combinations and the low bits ask of them.
namespace DocHint {
enum : long {
  VarList = 0x0800,
  VarTree = 0x1000,
  ParList = 0x2000,
  ParTree = 0x4000,
  Views = 0xF800, // every view bit
  SaveWidths = 1, // low bits: the lists store their column widths
  DragStart = ParList | VarList,
  Reopen = 0xA000, // a marked read-back: the list reopens its editor
};
}

// A tree control of the parameter or variable tree.
class IDocTree {
public:
  virtual ~IDocTree() = default;
  // Selects the item (a handle the view stored in a CTreeNode); false when
  // the tree does not hold it.
  virtual bool SelectTreeItem(void *item) = 0;
};

// The parameter list: rows whose first column shows the index as "%4d".
class IDocParList {
public:
  virtual ~IDocParList() = default;
  // The row whose first column reads exactly the text, or -1.
  virtual int FindRowByFirstColumn(const QString &text) const = 0;
  // Repaints every row's colours (after the selected row changed).
  virtual void RecolorAll() = 0;
  // Refills every row from the document's records (after a language change).
  virtual void FillList() {}
  // Rewrites the rows of these parameters (after read answers stored them);
  // by default every row.
  virtual void RefillRows(const std::vector<std::uint16_t> &pars)
  {
    (void)pars;
    FillList();
  }
};

// The variable list, which the child frame and the poll answers repaint.
class IDocVarList {
public:
  virtual ~IDocVarList() = default;
  // Repaints the value cells of one row (columns 5 to 7), or all rows for -1.
  virtual void InvalidateRow(int row) { (void)row; }
};
