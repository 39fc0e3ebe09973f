#pragma once

#include "model/DocViewLinks.h"
#include "model/QelDocFind.h"
#include "platform/DocView.h"

#include <QIcon>
#include <QPoint>
#include <QSet>
#include <QTreeWidget>

#include <array>
#include <cstdint>

class CQelDoc;

// What the parameter tree and the variable tree share: the groups of the
// board built from the document's tree table, visibility by level, the
// selection that tells the document which group a list shows, the help
// topic of a click and F1. GUI thread only.
class CBlockTreeView : public QTreeWidget, public CView, public IDocTree {
  Q_OBJECT
public:
  // Images of the tree.
  enum {
    IMG_GROUP = 0,
    IMG_GROUP_SELECTED = 1,
    IMG_VAR_ERROR = 2,
    IMG_GROUP_ERROR = 5,
    IMG_SHORT = 8,
    IMG_LONG = 9,
    IMG_FLOAT = 10
  };
  // Item data: the image shown and the node key.
  static constexpr int ImageRole = Qt::UserRole;
  static constexpr int KeyRole = Qt::UserRole + 1;

  explicit CBlockTreeView(QWidget *parent = nullptr);
  ~CBlockTreeView() override;

  CQelDoc *GetDocument() const;

  void OnInitialUpdate() override;
  void OnUpdate(CView *pSender, long lHint, QObject *pHint) override;
  void BuildTree();
  bool SelectTreeItem(void *item) override;

  // Handlers, public so that the frame and tests can drive them.
  void OnSelChanged(QTreeWidgetItem *item);
  void OnLButtonDown(QPoint ptClient);
  void OnKeyDown(int nChar);

  QTreeWidgetItem *GetClickedItem() const { return m_hItemClicked; }
  // How many times the tree was built since the view was made.
  int GetBuildCount() const { return m_nBuilds; }
  bool IsDragging() const { return m_bDragging; }
  // The item of a node key, or null.
  QTreeWidgetItem *ItemOfKey(int key) const;

protected:
  virtual bool IsVariableTree() const = 0;
  // The tree's hint bit.
  virtual long OwnHint() const = 0;
  virtual bool RebuildFlag() const = 0;
  virtual void ClearRebuildFlag() = 0;
  virtual void Register(IDocTree *tree) = 0;
  // The group a selection names (1..255).
  virtual void ApplySelection(int block) = 0;

  void mousePressEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;

  QTreeWidgetItem *m_hItemClicked = nullptr; // not owned
  bool m_bDragging = false;
  QPoint m_ptPress; // where the left button went down

private:
  QTreeWidgetItem *NewItem(QTreeWidgetItem *parent, const QString &text, int image, int key);
  CQelDocFind::TreeMap &Table();
  void GroupPass(int level, const QString &remembered, QTreeWidgetItem **select);
  void VariablePass(int level);

  QSet<void *> m_Items; // every item of the last build
  std::array<QIcon, IMG_FLOAT + 1> m_Icons;
  int m_nBuilds = 0;
};

// The function blocks that hold parameters visible at the level; selecting
// one makes the parameter list show it.
class CParTreeView : public CBlockTreeView {
  Q_OBJECT
public:
  explicit CParTreeView(QWidget *parent = nullptr);
  ~CParTreeView() override;

protected:
  bool IsVariableTree() const override { return false; }
  long OwnHint() const override;
  bool RebuildFlag() const override;
  void ClearRebuildFlag() override;
  void Register(IDocTree *tree) override;
  void ApplySelection(int block) override;
};
