#pragma once

#include "platform/DocView.h"

#include <QWidget>

class CXListCtrl;

// A document view whose whole client area is one CXListCtrl. A derived view
// sets the list up in InitListCtrl and handles the list's signals.
class CXListView : public QWidget, public CView {
  Q_OBJECT
public:
  static constexpr int kListId = 141;

  explicit CXListView(QWidget *parent = nullptr);
  ~CXListView() override;

  // The list; never null while the view lives.
  CXListCtrl *GetListCtrl() const;

  // Base update, then InitListCtrl, then a repaint.
  void OnInitialUpdate() override;

protected:
  // Hook: make the columns and set the list up; called once.
  virtual void InitListCtrl(CXListCtrl *pList);
  void resizeEvent(QResizeEvent *e) override;

private:
  CXListCtrl *m_pList; // owned (Qt child)
};
