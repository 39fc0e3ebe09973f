// The main frame's side of the trace-buffer manager: making it, putting it
// on a board and handing it that board's trace settings.

#include "frame/MainFrm.h"

#include "frame/FrameCodes.h"

#include "model/QelDocContainer.h"
#include "modbus/RequestPacket.h"
#include "platform/Trace.h"

#include <tuple>

namespace {

CMainFrame::TraceManagerFactory &TraceFactory()
{
  static CMainFrame::TraceManagerFactory factory;
  return factory;
}

} // namespace

void CMainFrame::SetTraceManagerFactory(TraceManagerFactory factory)
{
  TraceFactory() = std::move(factory);
}

void CMainFrame::CreateGenMemBuff()
{
  m_pGenMemBuff.reset();
  if (TraceFactory())
    m_pGenMemBuff = TraceFactory()(*this);
  if (m_pGenMemBuff && !m_pGenMemBuff->Window())
    m_pGenMemBuff.reset(); // a window that failed is never used
  if (!m_pGenMemBuff)
    qCDebug(lcFrame, "Failed to create m_wndGenMemBuff class");
}

void CMainFrame::RecreateGenMemBuff()
{
  std::unique_ptr<ITraceManager> previous = std::move(m_pGenMemBuff);
  const bool shown = previous && previous->Window()->isVisible();
  CreateGenMemBuff();
  if (!previous)
    return;
  if (!m_pGenMemBuff) {
    m_pGenMemBuff = std::move(previous); // no new window: the old one stays, buffers and all
    return;
  }
  m_pGenMemBuff->TakeOver(*previous);
  previous.reset();
  if (shown)
    OnReadBuffer();
}

void CMainFrame::AttachTraceManager(WindowId child)
{
  m_pGenMemBuff->SetAddress(child, ChildAddress(child) & kAddressByte);
  // The board's settings as they are now; later ones come with its status
  // reports.
  if (const IBoardWindow *board = Child(child))
    HandTraceItems(board->GetTraceItems());
}

void CMainFrame::HandTraceItems(const TraceItems &items)
{
  ITraceManager &m = *m_pGenMemBuff;
  using Doc = CQelDocContainer;
  static_assert(std::tuple_size_v<TraceItems> == Doc::TRACE_SLOTS);
  const auto &[samplingTime, bufLength, diagnTs, trigPos, trigNeg, trigDelay] = items;
  if (samplingTime.first >= 0 && samplingTime.second >= 0)
    m.SetSamplingTime(samplingTime.second);
  if (bufLength.first >= 0 && bufLength.second >= 0)
    m.SetBufLength(static_cast<std::int16_t>(bufLength.second));
  if (diagnTs.first >= 0 && diagnTs.second >= 0)
    m.SetDiagnTs(diagnTs.first, static_cast<std::int16_t>(diagnTs.second));
  if (trigPos.first >= 0)
    m.SetTrigLevPos(trigPos.first, static_cast<std::int16_t>(trigPos.second));
  if (trigNeg.first >= 0)
    m.SetTrigLevNeg(trigNeg.first, static_cast<std::int16_t>(trigNeg.second));
  if (trigDelay.first >= 0 && trigDelay.second >= 0)
    m.SetTrigDelay(trigDelay.first, static_cast<std::int16_t>(trigDelay.second));
  m.UpdateFields();
}

void CMainFrame::RefreshGenMemBuff(WindowId child)
{
  // Offline ends the board's download: no further page is asked for, and
  // nothing of it becomes a buffer.
  CancelRequests(child, REQ_READ_TRACE);
  if (!m_pGenMemBuff)
    return;
  const WindowId download = m_pGenMemBuff->GetDownloadBoard();
  const bool shown = m_pGenMemBuff->GetBoardWindow() == child;
  if (shown)
    m_pGenMemBuff->SetMode(ITraceManager::ModeManual);
  // Setting the state ends the running download, so only its own board's
  // offline may; the manager may show another board by now.
  if (download == child)
    m_pGenMemBuff->SetState(shown ? ITraceManager::StateOffline : ITraceManager::StateReady);
  else if (shown && download == kNoWindow)
    m_pGenMemBuff->SetState(ITraceManager::StateOffline);
}
