#include "frame/ChildConn.h"

#include "frame/FrameCodes.h"

#include "model/PacketFactory.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "modbus/RequestPacket.h"
#include "modbus/SerCodes.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"

#include <algorithm>
#include <cmath>

// The connection's states and the board window's calls; its requests,
// answers and commands have files of their own.

WindowId g_hInitFrame = kNoWindow;

namespace {

// A win_cmd value this far from 0 is a command to the program, not a message.
constexpr int kFirstWinCmdCommand = 10000;

// Errors after which no board answered at all, as against one that answered
// wrongly or refused.
bool BoardLost(unsigned error)
{
  switch (error) {
  case kSerErrTimeout:
  case kSerErrPortMissing:
  case kSerErrPortBusy:
  case kSerErrPortOpen:
  case kSerErrLinkLost:
  case kSerErrStopped:
    return true;
  default:
    return false;
  }
}

} // namespace

CChildConn::CChildConn(WindowId answerWindow, IRequestSink *sink) : m_pSink(sink), m_hWndAnswer(answerWindow)
{
  SetHooks(nullptr);
}

CChildConn::~CChildConn()
{
  // A window that dies while waiting for its description must not keep
  // every other board from asking for theirs.
  if (g_hInitFrame != kNoWindow && g_hInitFrame == m_hWndAnswer)
    g_hInitFrame = kNoWindow;
}

CRequestPacket *CChildConn::NewPacket(std::uint16_t kind) const
{
  return PacketFactory::New(m_hWndAnswer, m_pDoc ? m_pDoc->GetSlaveAddress() : 0, kind);
}

void CChildConn::Queue(CRequestPacket *&pkt, bool head)
{
  if (!pkt)
    return;
  if (!m_pSink) {
    delete pkt;
    pkt = nullptr;
    return;
  }
  if (head)
    m_pSink->AddHeadRequest(pkt);
  else
    m_pSink->AddRequest(pkt);
  delete pkt; // null once the queue took it
  pkt = nullptr;
}

void CChildConn::QueueAll(std::vector<CRequestPacket *> &pkts)
{
  if (m_pSink)
    m_pSink->AddRequests(pkts);
  for (CRequestPacket *p : pkts)
    delete p; // none once the queue took them
  pkts.clear();
}

void CChildConn::SetStatus(const QString &text)
{
  if (!m_pDoc)
    return;
  m_pDoc->SetStatusText(text);
  ShowStatusText();
}

void IConnHooks::InvalidateVarList(CQelDoc &doc, int row)
{
  if (doc.GetVarListView())
    doc.GetVarListView()->InvalidateRow(row);
}

QString IConnHooks::InitializeLanguage(const CQelDoc &doc) const
{
  if (doc.GetHost())
    return doc.GetHost()->GetInitializeLanguage();
  return QStringLiteral("Std");
}

void CChildConn::SetHooks(IConnHooks *hooks)
{
  static IConnHooks s_defaults;
  m_pHooks = hooks ? hooks : &s_defaults;
}

void CChildConn::InvalidateVarList(int row)
{
  if (m_pDoc)
    m_pHooks->InvalidateVarList(*m_pDoc, row);
}

QString CChildConn::InitializeLanguage() const
{
  return m_pDoc ? m_pHooks->InitializeLanguage(*m_pDoc) : QStringLiteral("Std");
}

int CChildConn::ConnectionBits() const
{
  constexpr std::uint32_t kBits = CQelDocContainer::STATE_ONLINE | CQelDocContainer::STATE_CONNECTING;
  return m_pDoc ? static_cast<int>(m_pDoc->GetStateFlags() & kBits) : 0;
}

int CChildConn::GetNTableSize() const
{
  return m_pDoc ? static_cast<int>(m_pDoc->GetNTable().size()) : 0;
}

int CChildConn::GetCommandParIndex() const
{
  return m_pDoc ? m_pDoc->GetCommandParIndex() : -1;
}

// ---- states -------------------------------------------------------------------

int CChildConn::StateIconId() const
{
  if (!m_pDoc || !m_pDoc->IsOnline())
    return StateIcon::Offline;
  const auto &w = m_pDoc->GetStatusWords();
  const bool error = w[CQelDocContainer::STATUS_ERROR] != 0;
  const bool warning = w[CQelDocContainer::STATUS_WARNING] != 0;
  const bool stop = w[CQelDocContainer::STATUS_STOP] != 0;
  const bool run = w[CQelDocContainer::STATUS_RUN] != 0;
  if (error)
    return stop ? StateIcon::ErrorStop : run ? StateIcon::ErrorRun : StateIcon::Error;
  if (warning)
    return stop ? StateIcon::WarningStop : run ? StateIcon::WarningRun : StateIcon::Warning;
  return stop ? StateIcon::OkStop : run ? StateIcon::OkRun : StateIcon::Ok;
}

void CChildConn::RequestGoOnline()
{
  if (!m_pDoc)
    return;
  // Without its request the board would stay connecting for ever.
  auto *pkt = NewPacket(REQ_GO_ONLINE);
  if (!pkt) {
    PacketFactory::SayNoMemory();
    return;
  }
  m_nReadState = BoardStep::Connecting;
  m_nCmdState = BoardStep::Connecting;
  m_pDoc->MarkConnecting();
  SetStatus(LoadStr(IDS_ONLINE));
  Queue(pkt, true);
  SetStateIcon(StateIconId());
}

void CChildConn::RequestGoOffline(StopNotice notice)
{
  if (!m_pDoc)
    return;
  // Queued behind what the window asked before, the go-offline would wait
  // for every block of a write all: nothing of this window goes out after it.
  const QString stopped = StopWriteAll();
  m_pDoc->MarkOffline();
  m_pDoc->ClearTraceReadPending();
  m_pDoc->SetWinCmdValue(0);
  m_pDoc->SetPrevWinCmdValue(0);
  m_nWinCmdShown = 0;
  UpdateWinCmdText();
  RecolorParList();
  InvalidateVarList(-1);
  m_nReadState = BoardStep::Failed;
  m_nCmdState = BoardStep::Failed;
  m_runs.clear();
  // The reset waits for its read; once offline that read will not come, and
  // a later read of the parameter must not turn into a write.
  m_pDoc->ClearResetPending();
  OnWentOffline();
  if (g_hInitFrame == m_hWndAnswer)
    g_hInitFrame = kNoWindow;
  m_pDoc->EndDescriptionDownload();
  auto *pkt = NewPacket(REQ_GO_OFFLINE);
  Queue(pkt);
  SetStateIcon(StateIconId());
  // Once offline: the answers routed while the box is open find the board so.
  if (!stopped.isEmpty() && notice == StopNotice::Box)
    Prompter::Instance().MessageBox(stopped, LoadStr(IDS_GENERATOR), MB_OK | MB_ICONWARNING);
}

std::deque<CChildConn::BlockRun>::const_iterator CChildConn::RunningWriteAll() const
{
  return std::find_if(m_runs.begin(), m_runs.end(), [](const BlockRun &r) { return r.write && !r.steps.empty(); });
}

QString CChildConn::StopWriteAll()
{
  const std::vector<std::uint16_t> dropped =
      m_pSink ? m_pSink->RemoveRequests(m_hWndAnswer) : std::vector<std::uint16_t>{};
  const auto run = RunningWriteAll();
  if (run == m_runs.end())
    return {};
  // The queue holds the runs' blocks in the order they were built, so the
  // dropped ones are the newest: those of later runs first.
  int later = 0;
  for (auto r = std::next(run); r != m_runs.end(); ++r)
    if (r->write)
      later += static_cast<int>(r->steps.size());
  const int waiting = static_cast<int>(run->steps.size());
  const int droppedHere = std::clamp(static_cast<int>(dropped.size()) - later, 0, waiting);
  // Sent and neither answered nor dropped: on the line, or answered on the
  // way back here.
  const int unconfirmed = waiting - droppedHere;
  const int confirmed = run->queued - waiting;
  if (unconfirmed == 0)
    return LoadStrFormat(IDS_WRITE_ALL_STOPPED_NONE, confirmed, run->queued);
  return LoadStrFormat(IDS_WRITE_ALL_STOPPED, confirmed, run->queued, unconfirmed);
}

bool CChildConn::AskStopWriteAll()
{
  const auto run = RunningWriteAll();
  if (!m_pDoc || run == m_runs.end())
    return true;
  const int confirmed = run->queued - static_cast<int>(run->steps.size());
  const QString question = LoadStrFormat(IDS_ASK_STOP_WRITE_ALL, m_pDoc->GetTitle(),
                                         static_cast<int>(m_pDoc->GetSlaveAddress()), confirmed, run->queued);
  return Prompter::Instance().MessageBox(question, QString(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

QString CChildConn::CutShortText(const CRequestPacket &failed) const
{
  if (!m_pDoc || ConnectionBits() == 0)
    return {};
  // The write all the failed block belongs to; a failure of another request
  // ends the oldest one still waiting as well, since the board goes offline.
  const std::uint16_t step = failed.message == REQ_WRITE_BLOCK ? failed.PktType.par.step : 0;
  auto run = std::find_if(m_runs.begin(), m_runs.end(), [step](const BlockRun &r) {
    return r.write && step != 0 && std::find(r.steps.begin(), r.steps.end(), step) != r.steps.end();
  });
  const bool ownBlock = run != m_runs.end();
  if (!ownBlock)
    run = RunningWriteAll();
  if (run == m_runs.end())
    return {};
  const int confirmed = run->queued - static_cast<int>(run->steps.size());
  if (ownBlock && !BoardLost(failed.error)) {
    const int first = failed.PktType.par.first_par;
    return LoadStrFormat(IDS_WRITE_ALL_BLOCK_FAILED, int(step), run->queued, first,
                         first + std::max<int>(failed.PktType.par.num_par, 1) - 1, failed.strVersion, confirmed,
                         run->queued);
  }
  if (BoardLost(failed.error))
    return LoadStrFormat(IDS_WRITE_ALL_BOARD_LOST, confirmed, run->queued, failed.strVersion);
  // The board answered, refusing a request that was not the write all's.
  return LoadStrFormat(IDS_WRITE_ALL_OTHER_FAILED, confirmed, run->queued, failed.strVersion);
}

void CChildConn::OnOnLine()
{
  if (!m_pDoc)
    return;
  if (ConnectionBits() == 0) {
    RequestGoOnline();
  } else {
    // Shown at once, ahead of the box of a write all it stops.
    SetStatus(LoadStr(IDS_OFFLINE));
    RequestGoOffline();
  }
  RecolorParList();
  InvalidateVarList(-1);
}

// ---- what the main frame asks ---------------------------------------------------

int CChildConn::GoOffline()
{
  return GoOfflineWith(StopNotice::Box);
}

int CChildConn::GoOfflineSilently()
{
  return GoOfflineWith(StopNotice::None);
}

int CChildConn::GoOfflineWith(StopNotice notice)
{
  if (!m_pDoc)
    return 0;
  const int bits = ConnectionBits();
  // Whatever stops a run says so, ahead of the box of a write all it stops;
  // a window already offline keeps the text that says why.
  if (bits != 0)
    SetStatus(LoadStr(IDS_OFFLINE));
  RequestGoOffline(notice);
  return bits;
}

int CChildConn::GoOnline()
{
  if (!m_pDoc)
    return 0;
  const int bits = ConnectionBits();
  RequestGoOnline();
  return bits;
}

int CChildConn::QueryState() const
{
  return m_pDoc ? ConnectionBits() : 0;
}

void CChildConn::Poll()
{
  if (m_pDoc && !m_pDoc->IsDescriptionDownload())
    RefreshDisplayedItems();
}

int CChildConn::GetAddress() const
{
  return m_pDoc ? m_pDoc->GetSlaveAddress() : 0;
}

void CChildConn::SetAddress(int address)
{
  if (!m_pDoc)
    return;
  const auto slave = static_cast<std::uint8_t>(address); // the low byte
  if (slave != m_pDoc->GetSlaveAddress()) {
    m_pDoc->SetModifiedFlag(true);
    m_pDoc->SetSlaveAddress(slave);
  }
}

void CChildConn::SetTestpoints(bool on)
{
  if (!m_pDoc)
    return;
  m_pDoc->SetTestpoints(on ? 1 : 0);
  m_pDoc->RequestVarListRefill();
  m_pDoc->UpdateAllViews(nullptr, FrameHint::Testpoints);
}

void CChildConn::ShowError(const QString &text)
{
  if (m_pDoc)
    SetStatus(text);
}

QString CChildConn::GetVersion() const
{
  return m_pDoc ? m_pDoc->GetVersion() : QString();
}

void CChildConn::BackupReadAll()
{
  if (!m_pDoc)
    return;
  m_nReadState = BoardStep::Busy;
  ReadAllParameters();
}

void CChildConn::EepromSaveAll()
{
  if (!m_pDoc)
    return;
  m_nCmdState = BoardStep::Busy;
  // A command that did not go out (with its read-back) is never answered:
  // the waiting procedure must see the failure.
  if (!WriteCommand(BoardCommand::EepromSave1))
    m_nCmdState = BoardStep::Failed;
}

void CChildConn::LevelChanged(int level)
{
  // The views read the level from the settings as they rebuild.
  (void)level;
  if (!m_pDoc)
    return;
  m_pDoc->RequestParTreeRebuild();
  m_pDoc->RequestVarTreeRebuild();
  m_pDoc->UpdateAllViews(nullptr, FrameHint::All);
}

bool CChildConn::SaveAs()
{
  return m_pDoc && m_pDoc->DoSave(QString(), true);
}

bool CChildConn::SaveBackup(bool replace)
{
  return m_pDoc && m_pDoc->DoSave(QString(), replace);
}

void CChildConn::AnswerWinCmd(int button)
{
  // The board's question is answered only to a board that can hear it.
  if (!m_pDoc || !m_pDoc->IsOnline())
    return;
  const int w = static_cast<std::int16_t>(m_pDoc->GetWinCmdValue());
  if (button == WinCmdButton::Ok)
    WriteCommand(BoardCommand::MsgOk + w);
  else if (button == WinCmdButton::Cancel)
    WriteCommand(BoardCommand::MsgCancel + w);
  else if (button == WinCmdButton::Hide)
    WriteCommand(BoardCommand::MsgHide + w);
}

QString CChildConn::GetBufferName() const
{
  if (!m_pDoc)
    return {};
  const CQelDoc &doc = *m_pDoc;
  return doc.GetPathName().isEmpty() ? doc.GetTitle() : GetFileNameFromPath(doc.GetPathName(), false);
}

QString CChildConn::TrackLabel(int track) const
{
  if (!m_pDoc || !m_pDoc->AreDescriptionsLoaded())
    return {};
  CQelDoc &doc = *m_pDoc;
  std::int16_t p = -1;
  if (doc.FindParByName(p, TrackParName(track + 1)) && p >= 0) {
    const Parametri &par = doc.GetPar(p);
    if (par.IsVarLink())
      return doc.GetParText(p, 0, false);
    if (par.IsParLink())
      return doc.GetParTextParLink(p, 0, false);
  }
  return {};
}

double CChildConn::TrackScale(int track) const
{
  if (!m_pDoc || !m_pDoc->AreDescriptionsLoaded())
    return 1.0;
  CQelDoc &doc = *m_pDoc;
  std::int16_t p = -1;
  if (doc.FindParByName(p, TrackParName(track + 1)) && p >= 0) {
    const int v = doc.GetPar(p).GetShortValue();
    if (v >= 0 && v < doc.GetVarCount())
      return doc.GetVar(v).GetScaleFactor();
  }
  return 1.0;
}

bool CChildConn::ReadBuffer()
{
  if (!m_pDoc)
    return false;
  RequestBufferRead();
  // Pending only once the request is queued.
  return m_pDoc->IsTraceReadPending();
}

void CChildConn::ClearBufferRead()
{
  if (m_pDoc)
    m_pDoc->ClearTraceReadPending();
}

void CChildConn::WriteSetting(std::int16_t index, double value)
{
  if (m_pDoc && m_pDoc->IsOnline())
    WriteParameter(static_cast<std::uint16_t>(index), value, 1, 0);
}

QString CChildConn::TrackParName(int n) const
{
  const QString key = vtx::Format(u"c_diag_rec%d", n);
  return m_pDoc ? m_pDoc->Translate(key, key) : key;
}

int CChildConn::WinCmdAction()
{
  if (!m_pDoc)
    return WinCmdShow::Hide;
  const int w = static_cast<std::int16_t>(m_pDoc->GetWinCmdValue());
  if (w == 0 || std::abs(w) >= kFirstWinCmdCommand)
    return WinCmdShow::Hide;
  if (w != m_nWinCmdShown) {
    m_nWinCmdShown = static_cast<std::int16_t>(w);
    return WinCmdShow::ShowText;
  }
  return WinCmdShow::Show;
}
