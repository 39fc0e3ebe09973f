#include "frame/AppWiring.h"

#include "frame/ChildFrm.h"

#include "model/QelDoc.h"
#include "modbus/RequestPacket.h"
#include "platform/ScreenFit.h"
#include "trace/GenMemBuff.h"
#include "views/FindDialog.h"
#include "views/ListaPar.h"
#include "views/ParTreeView.h"
#include "views/VarListView.h"
#include "views/VarTreeView.h"

#include "controls/ACEditCtrl.h"

namespace {

// The find dialog as the main frame sees it: the candidate lists follow the
// active board's document.
class CFrameFindDialog : public CFindDialog, public IFindDialogLink {
public:
  explicit CFrameFindDialog(CMainFrame &frame) : CFindDialog(&frame)
  {
    QPointer<CMainFrame> guard(&frame);
    SetActiveDocumentGetter([guard]() -> CQelDoc * { return guard ? guard->GetActiveDocument() : nullptr; });
  }
  void SetDocumentLists(CQelDoc *doc) override
  {
    if (doc) {
      SetCandidateLists(*doc);
      return;
    }
    for (int i = 0; i < 4; ++i)
      GetEdit()->SetList(i, {});
  }
};

// A view added to the board's document and given its first update. The
// views register themselves with the document in that update.
template <class View> QWidget *AttachView(CQelDoc &doc)
{
  auto *view = new View;
  doc.AddView(view);
  view->OnInitialUpdate();
  return view;
}

} // namespace

void InstallViews()
{
  // The parameter list is made first (the frame asks for it first), so that
  // it is the document's first view, the one commands and printing go to.
  CChildFrame::SetPaneFactory(CChildFrame::ParList,
                              [](CQelDoc &doc, CChildFrame &) { return AttachView<CParListView>(doc); });
  CChildFrame::SetPaneFactory(CChildFrame::ParTree,
                              [](CQelDoc &doc, CChildFrame &) { return AttachView<CParTreeView>(doc); });
  CChildFrame::SetPaneFactory(CChildFrame::VarTree,
                              [](CQelDoc &doc, CChildFrame &) { return AttachView<CVarTreeView>(doc); });
  CChildFrame::SetPaneFactory(CChildFrame::VarList,
                              [](CQelDoc &doc, CChildFrame &) { return AttachView<CVarListView>(doc); });
  CMainFrame::SetFindDialogFactory([](CMainFrame &frame) -> QWidget * { return new CFrameFindDialog(frame); });
  CMainFrame::SetTraceManagerFactory([](CMainFrame &frame) -> std::unique_ptr<ITraceManager> {
    return std::make_unique<CTraceManagerAdapter>(frame);
  });
}

CTraceManagerAdapter::CTraceManagerAdapter(CMainFrame &frame) : m_pWnd(new CGenMemBuff(&frame))
{
  QPointer<CMainFrame> guard(&frame);
  m_pWnd->SetBoards(&frame); // its parent: the frame outlives it
  m_pWnd->SetSelectChildHook([guard](std::uint8_t address) {
    if (guard)
      guard->SelectChildByAddress(address);
  });
  m_pWnd->hide();
  vtx::KeepOnScreen(m_pWnd);
}

CTraceManagerAdapter::~CTraceManagerAdapter()
{
  delete m_pWnd.data();
}

QWidget *CTraceManagerAdapter::Window()
{
  return m_pWnd;
}

void CTraceManagerAdapter::SetAddress(WindowId board, int address)
{
  if (m_pWnd)
    m_pWnd->SetAddress(board, address);
}

WindowId CTraceManagerAdapter::GetBoardWindow() const
{
  return m_pWnd ? m_pWnd->m_hBoardWnd : kNoWindow;
}

WindowId CTraceManagerAdapter::GetDownloadBoard() const
{
  return m_pWnd ? m_pWnd->GetDownloadBoard() : kNoWindow;
}

int CTraceManagerAdapter::GetState() const
{
  return m_pWnd ? m_pWnd->GetState() : 0;
}

void CTraceManagerAdapter::SetState(int state)
{
  if (m_pWnd)
    m_pWnd->SetState(state);
}

int CTraceManagerAdapter::GetMode() const
{
  return m_pWnd ? m_pWnd->GetMode() : 0;
}

void CTraceManagerAdapter::SetMode(int mode)
{
  if (m_pWnd)
    m_pWnd->SetMode(mode);
}

int CTraceManagerAdapter::GetBufferCount() const
{
  return m_pWnd ? m_pWnd->GetBufferCount() : 0;
}

void CTraceManagerAdapter::ShowControls(bool show)
{
  if (m_pWnd)
    m_pWnd->ShowControls(show);
}

void CTraceManagerAdapter::UpdateFields()
{
  if (m_pWnd)
    m_pWnd->UpdateFields();
}

void CTraceManagerAdapter::SetSamplingTime(float value)
{
  if (m_pWnd)
    m_pWnd->m_fSamplingTime = value;
}

void CTraceManagerAdapter::SetBufLength(std::int16_t value)
{
  if (m_pWnd)
    m_pWnd->m_nBufLength = value;
}

void CTraceManagerAdapter::SetDiagnTs(std::int16_t index, std::int16_t value)
{
  if (!m_pWnd)
    return;
  m_pWnd->m_idxDiagnTs = index;
  m_pWnd->m_nDiagnTs = value;
}

void CTraceManagerAdapter::SetTrigLevPos(std::int16_t index, std::int16_t value)
{
  if (!m_pWnd)
    return;
  m_pWnd->m_idxTrigLevPos = index;
  m_pWnd->m_nTrigLevPos = value;
}

void CTraceManagerAdapter::SetTrigLevNeg(std::int16_t index, std::int16_t value)
{
  if (!m_pWnd)
    return;
  m_pWnd->m_idxTrigLevNeg = index;
  m_pWnd->m_nTrigLevNeg = value;
}

void CTraceManagerAdapter::SetTrigDelay(std::int16_t index, std::int16_t value)
{
  if (!m_pWnd)
    return;
  m_pWnd->m_idxTrigDelay = index;
  m_pWnd->m_nTrigDelay = value;
}

void CTraceManagerAdapter::AddBufferWindow(const QString &header, const std::array<QString, 6> &labels,
                                           const std::array<double, 6> &scales, const CRequestPacket &packet)
{
  if (!m_pWnd)
    return;
  QString name = header;
  m_pWnd->AddBufferWindow(name, labels, scales, packet);
}

void CTraceManagerAdapter::TakeOver(ITraceManager &previous)
{
  auto *old = dynamic_cast<CTraceManagerAdapter *>(&previous);
  if (old && old->m_pWnd && m_pWnd)
    m_pWnd->TakeBufferWindows(*old->m_pWnd);
}
