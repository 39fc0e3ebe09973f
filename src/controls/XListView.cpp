#include "XListView.h"

#include "XListCtrl.h"

#include "platform/Trace.h"

#include <QResizeEvent>

CXListView::CXListView(QWidget *parent) : QWidget(parent), m_pList(new CXListCtrl(this))
{
  m_pList->setObjectName(QStringLiteral("CXListCtrl%1").arg(kListId));
  m_pList->setFont(font());
  m_pList->ModifyStyle(0, xl::LVS_REPORT | xl::LVS_SINGLESEL | xl::LVS_SHOWSELALWAYS);
  m_pList->SetExtendedStyle(xl::LVS_EX_FULLROWSELECT); // the in-cell editors need it
  m_pList->setGeometry(0, 0, 100, 100);
  setFocusProxy(m_pList);
}

CXListView::~CXListView()
{
  delete m_pList;
  m_pList = nullptr;
}

CXListCtrl *CXListView::GetListCtrl() const
{
  VTX_ASSERT(m_pList != nullptr);
  return m_pList;
}

void CXListView::OnInitialUpdate()
{
  CView::OnInitialUpdate();
  InitListCtrl(m_pList);
  update();
}

void CXListView::InitListCtrl(CXListCtrl *) {}

void CXListView::resizeEvent(QResizeEvent *e)
{
  QWidget::resizeEvent(e);
  if (m_pList)
    m_pList->setGeometry(0, 0, e->size().width(), e->size().height());
}
