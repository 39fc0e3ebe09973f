#pragma once

#include "platform/ColorRef.h"

#include <QString>
#include <QTreeWidget>

#include <memory>
#include <vector>

class COptionTree;
class QTreeWidgetItem;

// One row of the property tree: a label in the first column and, for edit and
// check-box items, a value in the second. Its attributes may be set before or
// after insertion; the tree owns inserted items.
class COptionTreeItem {
public:
  COptionTreeItem() = default;
  virtual ~COptionTreeItem() = default;
  COptionTreeItem(const COptionTreeItem &) = delete;
  COptionTreeItem &operator=(const COptionTreeItem &) = delete;

  void SetLabelText(const QString &text);
  QString GetLabelText() const { return m_strLabel; }
  void SetInfoText(const QString &text);
  QString GetInfoText() const { return m_strInfo; }
  void SetCtrlID(int id) { m_nCtrlID = id; }
  int GetCtrlID() const { return m_nCtrlID; }
  void SetLabelBackgroundColor(COLORREF color);
  bool HasLabelBackgroundColor() const { return m_bHasLabelColor; }
  COLORREF GetLabelBackgroundColor() const { return m_labelColor; }
  void ReadOnly(bool bReadOnly = true);
  bool IsReadOnly() const { return m_bReadOnly; }

  // The row that shows this item once inserted (owned by the tree widget).
  QTreeWidgetItem *GetTreeItem() const { return m_pTreeItem; }

protected:
  friend class COptionTree;
  // Writes the attributes into the row, without notifying.
  virtual void Apply();
  // The user changed the value column; true when the item takes the change.
  virtual bool TakeUserChange() { return false; }

  COptionTree *m_pTree = nullptr;         // not owned
  QTreeWidgetItem *m_pTreeItem = nullptr; // owned by the tree widget
  QString m_strLabel;
  QString m_strInfo;
  int m_nCtrlID = 0;
  COLORREF m_labelColor = 0;
  bool m_bHasLabelColor = false;
  bool m_bReadOnly = false;
};

// A label without a value; used for the headings of branches.
class COptionTreeItemStatic : public COptionTreeItem {};

// An item whose value column is a line of text the user edits in place.
class COptionTreeItemEdit : public COptionTreeItem {
public:
  enum : unsigned { OT_EDIT_NUMERICAL = 0x200 };

  // Makes the value editable; options 0x200 marks a number.
  bool CreateEditItem(unsigned options, unsigned addStyle);
  void SetWindowText(const QString &text);
  QString GetWindowText() const { return m_strText; }
  // The whole text as a number (blanks at either end aside); false, and the
  // result untouched, when it does not read as one.
  bool GetEditInt(int &value) const;
  bool GetEditDouble(double &value) const;
  unsigned GetOptions() const { return m_options; }

protected:
  void Apply() override;
  bool TakeUserChange() override;

private:
  QString m_strText;
  unsigned m_options = 0;
  bool m_bCreated = false;
};

// An item whose value column is a tick box with a text for each state.
class COptionTreeItemCheckBox : public COptionTreeItem {
public:
  enum : unsigned { OT_CHECKBOX_SHOWCHECK = 0x40000 };

  bool CreateCheckBoxItem(int check, unsigned options);
  void SetCheckText(const QString &checked, const QString &unchecked);
  bool GetCheck() const { return m_bCheck; }
  void SetCheck(bool bCheck);

protected:
  void Apply() override;
  bool TakeUserChange() override;

private:
  QString m_strChecked;
  QString m_strUnchecked;
  bool m_bCheck = false;
  bool m_bCreated = false;
};

// A two-column property tree. Items are inserted under a parent or at the top
// level and owned by the tree; a value the user changes is notified with
// OnItemChanged once notification is on. GUI thread only.
class COptionTree : public QTreeWidget {
  Q_OBJECT
public:
  // The tree's notification code for a changed item.
  static constexpr int OT_NOTIFY_ITEMCHANGED = -1105;

  explicit COptionTree(QWidget *parent = nullptr);
  ~COptionTree() override;

  // Places the tree in the parent; false without a parent.
  bool Create(bool bVisible, const QRect &rect, QWidget *pParent, unsigned treeOptions, int id);
  void SetNotify(bool bNotify, QWidget *pNotifyWnd);
  // Width of the label column in pixels.
  void SetColumn(int width);
  // Takes ownership of the item and adds it under pParent (null: top level);
  // returns it, or null when the parent is not an item of this tree.
  COptionTreeItem *InsertItem(COptionTreeItem *pItem, COptionTreeItem *pParent = nullptr);
  template <typename T> T *InsertItem(T *pItem, COptionTreeItem *pParent = nullptr)
  {
    return static_cast<T *>(InsertItem(static_cast<COptionTreeItem *>(pItem), pParent));
  }
  void ExpandAllItems();

  int GetID() const { return m_nID; }
  unsigned GetTreeOptions() const { return m_treeOptions; }
  int GetItemCount() const { return static_cast<int>(m_items.size()); }
  COptionTreeItem *FindItemByCtrlID(int id) const;

Q_SIGNALS:
  // Sent with code OT_NOTIFY_ITEMCHANGED to the notified window.
  void OnItemChanged(int code, COptionTreeItem *pItem);

protected:
  bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;

private:
  friend class COptionTreeItem;
  friend class COptionTreeItemEdit;
  friend class COptionTreeItemCheckBox;
  void OnRowChanged(QTreeWidgetItem *row, int column);
  COptionTreeItem *ItemOf(QTreeWidgetItem *row) const;

  std::vector<std::unique_ptr<COptionTreeItem>> m_items;
  QWidget *m_pNotifyWnd = nullptr; // not owned
  bool m_bNotify = false;
  int m_nApplying = 0; // own writes into rows are not user changes
  int m_nID = 0;
  unsigned m_treeOptions = 0;
};
