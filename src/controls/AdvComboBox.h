#pragma once

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>

class CDropListBox;
class CDropWnd;

// A drop-down-list combo box drawn by us, with its own item list and its own
// drop-down window (CDropWnd). Notifications (CBN_* codes of XListCommon.h)
// go out synchronously through notify(), in the platform's orders: a choice
// from the list gives CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE; a list closed
// without a choice gives CBN_SELENDCANCEL, CBN_CLOSEUP. Items are never sorted.
class CAdvComboBox : public QWidget {
  Q_OBJECT
public:
  // The flag has no effect; pNotifyWnd gives the font (the parent when null).
  explicit CAdvComboBox(bool bInstantUpdate = false, QWidget *pNotifyWnd = nullptr, QWidget *parent = nullptr);
  ~CAdvComboBox() override;

  int AddString(const QString &text);
  int GetCount() const { return static_cast<int>(m_list.size()); }
  // The item's length and text; CB_ERR (text emptied) when index is no item.
  int GetLBText(int index, QString &text) const;
  QString GetLBText(int index) const;
  int GetLBTextLen(int index) const;
  // The first item whose text is the shown text, or CB_ERR.
  int GetCurSel() const;
  // Returns index, or CB_ERR when it names no item (-1 clears the selection;
  // on an empty list a non-negative index is kept for later).
  int SetCurSel(int index);
  // Selects the first exact match from nStart; clears the selection and
  // returns CB_ERR when none.
  int SelectString(int nStart, const QString &text);
  // The first item from nStart (-1: from item 0) whose text equals text
  // exactly, without wrapping; CB_ERR when none.
  int FindStringExact(int nStart, const QString &text) const;
  void ResetContent();
  // Top row of the open list; CB_ERR while closed.
  int GetTopIndex() const;
  int SetTopIndex(int index);
  void SetVisibleItemCount(int n) { m_nDefVisItems = n; }
  int GetVisibleItemCount() const { return m_nDefVisItems; }
  int GetMinVisibleItems() const { return m_nMinVisItems; }
  virtual QFont GetComboFont() const { return font(); }

  // The shown text; the window text follows choices and page moves in the list.
  QString GetText() const { return m_strText; }
  QString GetWindowText() const { return m_strWindowText; }
  bool GetDroppedState() const { return m_bDropListVisible && m_pDropWnd; }
  CDropWnd *GetDropWnd() const { return m_pDropWnd; }
  QRect GetDropButtonRect() const { return m_rcDropButton; }

  // Opens a closed list, closes an open one (F4, Alt+Up/Down, a click).
  void OnToggleDropDown();
  // Applies row index of the open list; ignored once the list is closed.
  int OnSelectedItem(int index);
  // Closes the list (CBN_SELENDCANCEL unless a choice was applied, then
  // CBN_CLOSEUP); with no list open it calls OnComboComplete().
  void OnDestroyDropdownList();

  // Used by the drop-down's windows.
  void PostSelectedItem(int index);
  void PostDestroyDropdownList();
  bool HandleKey(QKeyEvent *e);
  void HandleWheel(int delta);
  void ForwardedButtonDown(const QPoint &pt);

Q_SIGNALS:
  void notify(int nCode);

protected:
  // Hooks: the choice was abandoned / is complete.
  virtual void OnEscapeKey() {}
  virtual void OnComboComplete() {}
  // True while the focus goes into this combo's own open drop-down.
  bool FocusGoesToOwnDropDown(QFocusEvent *e) const;

  bool event(QEvent *e) override;
  void paintEvent(QPaintEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void wheelEvent(QWheelEvent *e) override;
  void focusInEvent(QFocusEvent *e) override;
  void focusOutEvent(QFocusEvent *e) override;
  void changeEvent(QEvent *e) override;
  void enterEvent(QEnterEvent *e) override;
  void leaveEvent(QEvent *e) override;

private:
  void CreateDropWindow();
  void SelectPrevItem();
  void SelectNextItem();
  void SelectPrevItems(int n);
  void SelectNextItems(int n);
  void ApplyMove(int index);
  bool HandleClosedKey(int key);
  bool HandleListKey(CDropListBox *lb, int key);
  void HighlightInList(CDropListBox *lb, int index);
  static int PageDownTarget(CDropListBox *lb);
  static int PageUpTarget(CDropListBox *lb);
  bool IsItem(int index) const { return index >= 0 && index < GetCount(); }

  QPointer<QWidget> m_pNotifyWnd; // not owned
  int m_nCurSel = -1;
  QString m_strText;
  QString m_strWindowText;
  CDropWnd *m_pDropWnd = nullptr; // owned (Qt child), only while open
  QRect m_rcDropButton;
  bool m_bDropListVisible = false;
  QStringList m_list;
  int m_nWheelDelta = 0;
  bool m_bHasFocus = false;
  bool m_bSelChosen = false;
  int m_nMinVisItems = 5;
  bool m_bHot = false;
  int m_nDefVisItems = -1;
};
