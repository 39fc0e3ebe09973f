#include "frame/AnswerRouter.h"

#include "frame/FrameCodes.h"

#include "model/MainWindowLink.h"
#include "model/generali.h"
#include "modbus/GenericServer.h"
#include "modbus/RequestPacket.h"
#include "modbus/SerCodes.h"
#include "platform/Format.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "platform/Trace.h"

#include <algorithm>

namespace {

constexpr int kTraceTracks = 6;
// A connection query's mask is one word.
constexpr int kMaskWord = 0xFFFF;
// A failed answer with this error takes its board offline without a word.
constexpr int kErrorQuiet = 12;
const QString kNoVersion = QStringLiteral("no version;");
// A board may send megabytes as its identity: what is shown is cut here.
constexpr qsizetype kShownVersion = 200;

QString ShownVersion(const QString &version)
{
  return version.size() > kShownVersion ? version.left(kShownVersion) + QStringLiteral("...") : version;
}

} // namespace

bool BoardInState(const IBoardRegistry &boards, WindowId child, int mask)
{
  const IBoardWindow *board = boards.Child(child);
  return board && (board->QueryState() & (mask & kMaskWord)) != 0;
}

CAnswerRouter::CAnswerRouter(IBoardRegistry &boards, IAnswerDisplay &display) : m_boards(boards), m_display(display) {}

void CAnswerRouter::OnServerAnswer(unsigned code, long argument)
{
  switch (code) {
  case kSerProgressStart:
  case kSerTraceStart:
    m_display.ProgressStart(std::max<long>(argument, 0));
    break;
  case kSerProgressStep:
  case kSerTraceStep:
    m_display.ProgressStep(argument);
    break;
  case kSerProgressDone:
  case kSerProgressFailed:
  case kSerTraceDone:
  case kSerTraceFailed:
    m_display.ProgressEnd();
    break;
  default:
    break;
  }
  if (code == kSerBeep)
    m_display.Beep();
  DrainAnswers();
}

void CAnswerRouter::DrainAnswers()
{
  ++m_nDrainDepth;
  while (std::unique_ptr<CRequestPacket> pkt = TakeAnswer())
    RouteAnswer(*pkt);
  if (--m_nDrainDepth == 0)
    for (auto &[context, call] : std::exchange(m_afterAnswers, {}))
      if (context)
        call();
  m_display.AnswersRouted();
}

void CAnswerRouter::AfterAnswers(QObject *context, std::function<void()> call)
{
  if (m_nDrainDepth == 0)
    call();
  else
    m_afterAnswers.emplace_back(context, std::move(call));
}

std::unique_ptr<CRequestPacket> CAnswerRouter::TakeAnswer()
{
  if (m_pSource)
    return std::unique_ptr<CRequestPacket>(m_pSource->GetAnsPktListSize() != 0 ? m_pSource->GetAnsware() : nullptr);
  if (m_pServer && m_pServer->GetAnsPktListSize() != 0)
    return std::unique_ptr<CRequestPacket>(m_pServer->GetAnsware());
  return nullptr;
}

void CAnswerRouter::RouteAnswer(CRequestPacket &packet)
{
  if (packet.error != 0)
    m_display.ProgressAbort();
  if (ProcessAnswer(packet, packet.hWnd == m_boards.GetActiveChild()))
    return;
  const std::vector<WindowId> &children = m_boards.GetChildren();
  if (std::find(children.begin(), children.end(), packet.hWnd) != children.end())
    if (IBoardWindow *board = m_boards.Child(packet.hWnd))
      board->ProcessAnswer(packet);
}

bool CAnswerRouter::ProcessAnswer(CRequestPacket &packet, bool activeChild)
{
  if (packet.error != 0) {
    NotifyAnswerError(packet, activeChild);
    return true;
  }
  switch (packet.message) {
  case REQ_GO_ONLINE: {
    const bool connected = BoardInState(m_boards, packet.hWnd, BoardState::Connected);
    if (CheckBoardVersion(packet.hWnd, packet.strVersion)) {
      packet.strVersion = vtx::Format(u"Wrong online version: %s", ShownVersion(packet.strVersion));
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
  case ANS_READ_TRACE:
    AddTraceBuffer(packet);
    return true;
  case REQ_STATISTICS:
    m_display.DeliverStatistics(packet.hWnd, packet.stat_record);
    return true;
  default:
    return false;
  }
}

void CAnswerRouter::AddTraceBuffer(const CRequestPacket &packet)
{
  IBoardWindow *board = m_boards.Child(packet.hWnd);
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
  ITraceManager *manager = m_boards.GetTraceManager();
  // Only the running download's board gives a buffer: the answer of a board
  // that went offline or was closed meanwhile is no one's.
  if (!manager || packet.hWnd == kNoWindow || manager->GetDownloadBoard() != packet.hWnd) {
    qCDebug(lcFrame, "trace buffer of window %u dropped: no download of it runs", static_cast<unsigned>(packet.hWnd));
    return;
  }
  manager->AddBufferWindow(header, labels, scales, packet);
  manager->SetState(ITraceManager::StateReady);
}

void CAnswerRouter::NotifyAnswerError(CRequestPacket &packet, bool activeChild)
{
  if (packet.message == REQ_READ_BLOCK)
    qCDebug(lcFrame, "message=%d->PktType.par.first_par=%d", packet.message, packet.PktType.par.first_par);
  else if (packet.message == REQ_READ_VARS)
    qCDebug(lcFrame, "message=%d->PktType.var.first_var=%d", packet.message, packet.PktType.var.first_var);
  // Only a board window goes offline: a failed answer of the frame's own
  // idle request or of a preferences page has no board to take offline.
  const std::vector<WindowId> &children = m_boards.GetChildren();
  if (std::find(children.begin(), children.end(), packet.hWnd) == children.end())
    return;
  IBoardWindow *board = m_boards.Child(packet.hWnd);
  // Going offline forgets what the board was doing: ask first.
  const QString cutShort = board ? board->CutShortText(packet) : QString();
  // The failure's own box tells of a write all it ends.
  const int was = board ? board->GoOfflineSilently() : 0;
  if (was != 0 && packet.error != kErrorQuiet)
    ShowAnswerText(packet, activeChild);
  // After going offline, so the polls its event loop runs leave this board alone.
  if (!cutShort.isEmpty())
    Prompter::Instance().MessageBox(cutShort, LoadStr(IDS_GENERATOR), MB_OK | MB_ICONWARNING, m_display.BoxParent());
}

void CAnswerRouter::ShowAnswerText(const CRequestPacket &packet, bool activeChild)
{
  if (IBoardWindow *board = m_boards.Child(packet.hWnd))
    board->ShowError(packet.strVersion);
  if (activeChild)
    m_display.SetMessageText(packet.strVersion);
}

bool CAnswerRouter::CheckBoardVersion(WindowId child, const QString &boardVersion)
{
  if (!BoardInState(m_boards, child, BoardState::Connected))
    return true;
  const IBoardWindow *window = m_boards.Child(child);
  const QString docVersion = window ? window->GetVersion() : QString();
  QString board = boardVersion;
  board.replace(u'\n', u' ');
  if (docVersion == kNoVersion || docVersion == board)
    return false;
  const QString text = LoadStr(IDS_INCOMPATIBILITY_WARNING) + LoadStr(IDS_OFFLINE_VERSION) + ShownVersion(docVersion) +
                       LoadStr(IDS_ONLINE_VERSION) + ShownVersion(board);
  Prompter::Instance().MessageBox(text, LoadStr(IDS_GENERATOR), MB_OK | MB_ICONERROR, m_display.BoxParent());
  // The box ran its own event loop: the window may be gone.
  if (IBoardWindow *still = m_boards.Child(child))
    still->GoOffline();
  return true;
}
