// The main frame's side of what reaches it from elsewhere: the requests and
// settings other windows ask of it, and where the answer router shows
// progress, texts and statistics.

#include "frame/MainFrm.h"

#include "frame/FrameCodes.h"
#include "frame/PrefsPages.h"
#include "frame/StatusBarCtrls.h"

#include "model/PacketFactory.h"
#include "modbus/RequestPacket.h"
#include "modbus/SerCodes.h"
#include "modbus/SerManager.h"
#include "platform/StringTable.h"

#include <algorithm>
#include <limits>

namespace {

// The statistics request's mode.
constexpr std::uint8_t kStatisticsMode = 10;
// Modbus RTU without parity frames with two stop bits.
constexpr std::uint8_t kStopBits = 2;

} // namespace

// ---- what other windows ask of the frame ---------------------------------------

int CMainFrame::TestpointQuery() const
{
  return m_pOptions->TP_Autofilling.Get() == 0 ? 1 : 0;
}

void CMainFrame::ApplySerialSettings()
{
  const COptions &o = *m_pOptions;
  if (m_pSerManager)
    m_pSerManager->SetCommParam(static_cast<std::uint8_t>(o.com_port.Get()), o.com_speed.Get(), kStopBits,
                                o.com_timeout.Get(), o.com_silent.Get(), o.com_retry.Get(),
                                o.Beep_on_error.Get() != 0 ? 1 : 0);
}

void CMainFrame::RequestStatistics(WindowId page)
{
  // The answer goes to the page the id names and carries the figures by
  // value; nothing in the packet points into the page.
  CRequestPacket *pkt = PacketFactory::New(WindowRegistry::Instance().IdOf(this), 0, REQ_STATISTICS);
  if (!pkt) {
    PacketFactory::SayNoMemory(this);
    return;
  }
  pkt->hWnd = page;
  pkt->stat_mode = kStatisticsMode;
  AddHeadRequest(pkt);
}

void CMainFrame::ResetStatistics()
{
  // One that cannot be made is dropped without a word.
  if (CRequestPacket *pkt = PacketFactory::New(WindowRegistry::Instance().IdOf(this), 0, REQ_RESET_STATISTICS))
    AddHeadRequest(pkt);
}

void CMainFrame::ApplyTimerAndTabs()
{
  const bool wasRunning = IsTimerRunning();
  StartTimer(m_pOptions->Start_Timer.Get() != 0);
  RecreateMDITabs();
  // Here, not in StartTimer: the frame's destruction stops it without a word.
  if (wasRunning && !IsTimerRunning())
    AbortOnTimerStopped();
}

void CMainFrame::PaneLayout(int code, SplitterLayout &layout)
{
  COptions &o = *m_pOptions;
  // Each splitter keeps four values: hidden column, size 0, hidden row, size 1.
  std::int32_t *values[] = {&layout.hiddenCol, &layout.size0, &layout.hiddenRow, &layout.size1};
  constexpr int kValues = std::size(values);
  if (layout.number < 0 || layout.number >= o.Panes_.GetCount() / kValues)
    return;
  const int first = kValues * layout.number;
  for (int i = 0; i < kValues; ++i) {
    if (code == PaneCode::Load)
      *values[i] = o.Panes_.At(first + i);
    else if (code == PaneCode::Store)
      o.Panes_.SetAt(first + i, *values[i]);
  }
}

// ---- what answers show --------------------------------------------------------

void CMainFrame::ProgressStart(long steps)
{
  if (!m_pProgress)
    return;
  m_pProgress->setValue(0);
  m_pProgress->setRange(0, static_cast<int>(std::min<long>(steps, std::numeric_limits<int>::max())));
  m_pProgress->Restart();
}

void CMainFrame::ProgressStep(long step)
{
  if (!m_pProgress)
    return;
  m_pProgress->setValue(static_cast<int>(std::clamp<long>(step, m_pProgress->minimum(), m_pProgress->maximum())));
  m_pProgress->repaint();
}

void CMainFrame::ProgressEnd()
{
  if (!m_pProgress)
    return;
  m_pProgress->Restart();
  m_pProgress->setValue(0);
}

void CMainFrame::ProgressAbort()
{
  if (!m_pProgress)
    return;
  m_pProgress->setValue(0);
  m_pProgress->setRange(0, 1);
  m_pProgress->Restart();
}

void CMainFrame::Beep()
{
  if (m_pOptions->Beep_on_error.Get() != 0)
    vtx::Beep(880, 120);
}

void CMainFrame::DeliverStatistics(WindowId page, const CSerStatistics &stats)
{
  CDiag1::DeliverStatistics(page, stats);
}
