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

constexpr int kWidthMin = 10;
constexpr int kWidthMax = 1000;
const QString kNoVersion = QStringLiteral("no version;");

} // namespace

// ---- codes --------------------------------------------------------------------

qintptr CMainFrame::SendCode(int code, qintptr lParam)
{
  COptions &o = *m_pOptions;
  auto *values = reinterpret_cast<int *>(lParam);
  switch (code) {
  case MainCode::TestpointQuery:
    return o.TP_Autofilling.Get() == 0 ? 1 : 0;
  case MainCode::ApplySerial:
    if (m_pSerManager)
      m_pSerManager->SetCommParam(static_cast<std::uint8_t>(o.com_port.Get()), o.com_speed.Get(), 2,
                                  o.com_timeout.Get(), o.com_silent.Get(), o.com_retry.Get(),
                                  o.Beep_on_error.Get() != 0 ? 1 : 0);
    return 0;
  case MainCode::Statistics:
    QueueStatistics(lParam);
    return 0;
  case MainCode::ResetStatistics: {
    auto *pkt = new CRequestPacket(WindowRegistry::Instance().IdOf(this), 0, REQ_RESET_STATISTICS);
    AddHeadRequest(pkt);
    return 0;
  }
  case MainCode::LoadPanes:
  case MainCode::StorePanes: {
    if (!values)
      return 0;
    const int number = values[4];
    if (number < 0 || 4 * number + 3 >= o.Panes_.GetCount())
      return 0;
    for (int i = 0; i < 4; ++i) {
      if (code == MainCode::LoadPanes)
        values[i] = o.Panes_.At(4 * number + i);
      else
        o.Panes_.SetAt(4 * number + i, values[i]);
    }
    return 0;
  }
  case MainCode::GetParWidths:
  case MainCode::SetParWidths:
  case MainCode::GetVarWidths:
  case MainCode::SetVarWidths: {
    if (!values)
      return 0;
    const bool par = code == MainCode::GetParWidths || code == MainCode::SetParWidths;
    COptionIntArray &widths = par ? o.ParWidth : o.VarWidth;
    const int count = par ? COptions::kParWidthCount : COptions::kVarWidthCount;
    for (int i = 0; i < count; ++i) {
      if (code == MainCode::GetParWidths || code == MainCode::GetVarWidths)
        values[i] = std::clamp(widths.At(i), kWidthMin, kWidthMax);
      else
        widths.SetAt(i, std::clamp(values[i], kWidthMin, kWidthMax));
    }
    return 0;
  }
  case MainCode::TimerAndTabs:
    StartTimer(o.Start_Timer.Get() != 0);
    RecreateMDITabs();
    return 0;
  default:
    qCWarning(lcFrame, "main frame: unknown code %d", code);
    return 0;
  }
}

void CMainFrame::QueueStatistics(qintptr record)
{
  // The answer goes to the page the record names and carries the figures by
  // value; nothing in the packet points into the page.
  const auto *stat = reinterpret_cast<const CSerStatRecord *>(record);
  if (!stat)
    return;
  auto *pkt = new CRequestPacket(WindowRegistry::Instance().IdOf(this));
  pkt->message = REQ_STATISTICS;
  pkt->hWnd = stat->hWnd;
  pkt->stat_mode = 10;
  AddHeadRequest(pkt);
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
      SendToChild(child, ChildCode::Answer, reinterpret_cast<qintptr>(&packet));
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
    const bool connected = QueryChild(packet.hWnd, 0xC);
    if (CheckBoardVersion(packet.hWnd, packet.strVersion)) {
      packet.strVersion = vtx::Format(u"Wrong online version: %s", packet.strVersion);
      packet.error = 99;
      NotifyAnswerError(packet, activeChild);
      // The check took a connected board offline itself, so the error step
      // found it offline and left "Online" showing.
      if (connected)
        ShowAnswerText(packet, activeChild);
      return true;
    }
    return false;
  }
  case 14:
  case REQ_RESET_STATISTICS:
    return true;
  case ANS_READ_TRACE: {
    const WindowId child = packet.hWnd;
    SendToChild(child, ChildCode::ClearBufferRead);
    QString header;
    SendToChild(child, ChildCode::GetBufferName, reinterpret_cast<qintptr>(&header));
    std::array<QString, 6> labels;
    std::array<double, 6> scales{};
    for (int t = 0; t < 6; ++t) {
      scales[t] = 1.0;
      SendToChild(child, ChildCode::TrackScaleFirst + t, reinterpret_cast<qintptr>(&scales[t]));
      SendToChild(child, ChildCode::TrackLabelFirst + t, reinterpret_cast<qintptr>(&labels[t]));
    }
    if (m_pGenMemBuff) {
      m_pGenMemBuff->AddBufferWindow(header, labels, scales, packet);
      m_pGenMemBuff->SetState(1);
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
  const qintptr was = SendToChild(packet.hWnd, ChildCode::GoOffline);
  if (was != 0 && packet.error != 12)
    ShowAnswerText(packet, activeChild);
}

void CMainFrame::ShowAnswerText(CRequestPacket &packet, bool activeChild)
{
  SendToChild(packet.hWnd, ChildCode::ShowError, reinterpret_cast<qintptr>(&packet.strVersion));
  if (activeChild)
    SetMessageText(packet.strVersion);
}

bool CMainFrame::CheckBoardVersion(WindowId child, const QString &boardVersion)
{
  if (!QueryChild(child, 0xC))
    return true;
  QString docVersion;
  SendToChild(child, ChildCode::GetVersion, reinterpret_cast<qintptr>(&docVersion));
  QString board = boardVersion;
  board.replace(u'\n', u' ');
  if (docVersion == kNoVersion || docVersion == board)
    return false;
  const QString text = LoadStr(IDS_INCOMPATIBILITY_WARNING) + LoadStr(IDS_OFFLINE_VERSION) + docVersion +
                       LoadStr(IDS_ONLINE_VERSION) + board;
  Prompter::Instance().MessageBox(text, LoadStr(IDS_GENERATOR), MB_OK | MB_ICONERROR, this);
  SendToChild(child, ChildCode::GoOffline);
  return true;
}
