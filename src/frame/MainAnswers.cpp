// What reaches the main frame from elsewhere: the serial worker's notes and
// the answers it leaves, routed to their board windows, and the codes other
// windows send the frame.

#include "frame/MainFrm.h"

#include "frame/FrameCodes.h"
#include "frame/PrefsPages.h"
#include "frame/StatusBarCtrls.h"

#include "model/generali.h"
#include "modbus/RequestPacket.h"
#include "modbus/SerCodes.h"
#include "modbus/SerManager.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "platform/Trace.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kTraceTracks = 6;
// A failed answer with this error takes its board offline without a word.
constexpr int kErrorQuiet = 12;
// The error a wrong board version is reported with.
constexpr int kErrorWrongVersion = 99;
// An answer kind that only the main frame sees: dropped.
constexpr unsigned kMainFrameOnlyKind = 14;
// The statistics request's mode.
constexpr std::uint8_t kStatisticsMode = 10;
const QString kNoVersion = QStringLiteral("no version;");

} // namespace

// ---- codes --------------------------------------------------------------------

int CMainFrame::TestpointQuery() const
{
  return m_pOptions->TP_Autofilling.Get() == 0 ? 1 : 0;
}

void CMainFrame::ApplySerialSettings()
{
  const COptions &o = *m_pOptions;
  if (m_pSerManager)
    m_pSerManager->SetCommParam(static_cast<std::uint8_t>(o.com_port.Get()), o.com_speed.Get(), 2, o.com_timeout.Get(),
                                o.com_silent.Get(), o.com_retry.Get(), o.Beep_on_error.Get() != 0 ? 1 : 0);
}

void CMainFrame::RequestStatistics(WindowId page)
{
  // The answer goes to the page the id names and carries the figures by
  // value; nothing in the packet points into the page.
  auto *pkt = new CRequestPacket(WindowRegistry::Instance().IdOf(this));
  pkt->message = REQ_STATISTICS;
  pkt->hWnd = page;
  pkt->stat_mode = kStatisticsMode;
  AddHeadRequest(pkt);
}

void CMainFrame::ResetStatistics()
{
  auto *pkt = new CRequestPacket(WindowRegistry::Instance().IdOf(this), 0, REQ_RESET_STATISTICS);
  AddHeadRequest(pkt);
}

void CMainFrame::ApplyTimerAndTabs()
{
  StartTimer(m_pOptions->Start_Timer.Get() != 0);
  RecreateMDITabs();
}

void CMainFrame::PaneLayout(int code, SplitterLayout &layout)
{
  COptions &o = *m_pOptions;
  const int number = layout.number;
  if (number < 0 || 4 * number + 3 >= o.Panes_.GetCount())
    return;
  std::int32_t *values[4] = {&layout.hiddenCol, &layout.size0, &layout.hiddenRow, &layout.size1};
  for (int i = 0; i < 4; ++i) {
    if (code == PaneCode::Load)
      *values[i] = o.Panes_.At(4 * number + i);
    else if (code == PaneCode::Store)
      o.Panes_.SetAt(4 * number + i, *values[i]);
  }
}

// ---- answers --------------------------------------------------------------------

void CMainFrame::OnServerAnswer(unsigned code, long argument)
{
  if (m_pProgress) {
    switch (code) {
    case kSerProgressStart:
    case kSerTraceStart:
      m_pProgress->setValue(0);
      m_pProgress->setRange(0, static_cast<int>(std::max<long>(argument, 0)));
      m_pProgress->Restart();
      break;
    case kSerProgressStep:
    case kSerTraceStep:
      m_pProgress->setValue(
          static_cast<int>(std::clamp<long>(argument, m_pProgress->minimum(), m_pProgress->maximum())));
      m_pProgress->repaint();
      break;
    case kSerProgressDone:
    case kSerProgressFailed:
    case kSerTraceDone:
    case kSerTraceFailed:
      m_pProgress->Restart();
      m_pProgress->setValue(0);
      break;
    default:
      break;
    }
  }
  if (code == kSerBeep && m_pOptions->Beep_on_error.Get() != 0)
    vtx::Beep(880, 120);
  DrainAnswers();
}

void CMainFrame::DrainAnswers()
{
  ++m_nDrainDepth;
  while (std::unique_ptr<CRequestPacket> pkt = TakeAnswer())
    RouteAnswer(*pkt);
  if (--m_nDrainDepth == 0)
    for (auto &[context, call] : std::exchange(m_afterAnswers, {}))
      if (context)
        call();
  UpdateCommandStates();
}

void CMainFrame::AfterAnswers(QObject *context, std::function<void()> call)
{
  if (m_nDrainDepth == 0)
    call();
  else
    m_afterAnswers.emplace_back(context, std::move(call));
}

std::unique_ptr<CRequestPacket> CMainFrame::TakeAnswer()
{
  if (m_pAnswers)
    return std::unique_ptr<CRequestPacket>(m_pAnswers->GetAnsPktListSize() != 0 ? m_pAnswers->GetAnsware() : nullptr);
  if (m_pSerManager && m_pSerManager->GetAnsPktListSize() != 0)
    return std::unique_ptr<CRequestPacket>(m_pSerManager->GetAnsware());
  return nullptr;
}

void CMainFrame::RouteAnswer(CRequestPacket &packet)
{
  if (packet.error != 0 && m_pProgress) {
    m_pProgress->setValue(0);
    m_pProgress->setRange(0, 1);
    m_pProgress->Restart();
  }
  if (ProcessAnswer(packet, packet.hWnd == m_hActiveChild))
    return;
  for (WindowId child : ChildrenCopy()) {
    if (child == packet.hWnd) {
      if (IBoardWindow *board = Child(child))
        board->ProcessAnswer(packet);
      break;
    }
  }
}

bool CMainFrame::ProcessAnswer(CRequestPacket &packet, bool activeChild)
{
  if (packet.error != 0) {
    NotifyAnswerError(packet, activeChild);
    return true;
  }
  switch (packet.message) {
  case REQ_GO_ONLINE: {
    const bool connected = QueryChild(packet.hWnd, BoardState::Connected);
    if (CheckBoardVersion(packet.hWnd, packet.strVersion)) {
      packet.strVersion = vtx::Format(u"Wrong online version: %s", packet.strVersion);
      packet.error = kErrorWrongVersion;
      NotifyAnswerError(packet, activeChild);
      // The check took a connected board offline itself, so the error step
      // found it offline and left "Online" showing.
      if (connected)
        ShowAnswerText(packet, activeChild);
      return true;
    }
    return false;
  }
  case kMainFrameOnlyKind:
  case REQ_RESET_STATISTICS:
    return true;
  case ANS_READ_TRACE: {
    IBoardWindow *board = Child(packet.hWnd);
    if (board)
      board->ClearBufferRead();
    const QString header = board ? board->GetBufferName() : QString();
    std::array<QString, kTraceTracks> labels;
    std::array<double, kTraceTracks> scales{};
    for (int t = 0; t < kTraceTracks; ++t) {
      scales[t] = board ? board->TrackScale(t) : 1.0;
      if (board)
        labels[t] = board->TrackLabel(t);
    }
    if (m_pGenMemBuff) {
      m_pGenMemBuff->AddBufferWindow(header, labels, scales, packet);
      m_pGenMemBuff->SetState(ITraceManager::StateReady);
    }
    return true;
  }
  case REQ_STATISTICS:
    CDiag1::DeliverStatistics(packet.hWnd, packet.stat_record);
    return true;
  default:
    return false;
  }
}

void CMainFrame::NotifyAnswerError(CRequestPacket &packet, bool activeChild)
{
  if (packet.message == REQ_READ_BLOCK)
    qCDebug(lcFrame, "message=%d->PktType.par.first_par=%d", packet.message, packet.PktType.par.first_par);
  else if (packet.message == REQ_READ_VARS)
    qCDebug(lcFrame, "message=%d->PktType.var.first_var=%d", packet.message, packet.PktType.var.first_var);
  // Only a board window goes offline: a failed answer of the frame's own
  // idle request or of a preferences page has no board to take offline.
  if (std::find(m_children.begin(), m_children.end(), packet.hWnd) == m_children.end())
    return;
  IBoardWindow *board = Child(packet.hWnd);
  const int was = board ? board->GoOffline() : 0;
  if (was != 0 && packet.error != kErrorQuiet)
    ShowAnswerText(packet, activeChild);
}

void CMainFrame::ShowAnswerText(CRequestPacket &packet, bool activeChild)
{
  if (IBoardWindow *board = Child(packet.hWnd))
    board->ShowError(packet.strVersion);
  if (activeChild)
    SetMessageText(packet.strVersion);
}

bool CMainFrame::CheckBoardVersion(WindowId child, const QString &boardVersion)
{
  if (!QueryChild(child, BoardState::Connected))
    return true;
  const IBoardWindow *window = Child(child);
  const QString docVersion = window ? window->GetVersion() : QString();
  QString board = boardVersion;
  board.replace(u'\n', u' ');
  if (docVersion == kNoVersion || docVersion == board)
    return false;
  const QString text = LoadStr(IDS_INCOMPATIBILITY_WARNING) + LoadStr(IDS_OFFLINE_VERSION) + docVersion +
                       LoadStr(IDS_ONLINE_VERSION) + board;
  Prompter::Instance().MessageBox(text, LoadStr(IDS_GENERATOR), MB_OK | MB_ICONERROR, this);
  // The box ran its own event loop: the window may be gone.
  if (IBoardWindow *still = Child(child))
    still->GoOffline();
  return true;
}
