// The 50 ms scheduler: the all-board procedures, the trace buffers'
// housekeeping, the round-robin poll, the idle request and the activity
// bitmap, one step each per tick.

#include "frame/MainFrm.h"

#include "frame/FrameCodes.h"
#include "frame/StatusBarCtrls.h"

#include "model/PacketFactory.h"
#include "model/generali.h"
#include "modbus/RequestPacket.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"

namespace {

constexpr int kPollGate = 5;

} // namespace

// One procedure over every open board: all go online, each gets the action
// once all are online, and all go offline at the end, whatever the outcome.
// Backup-all and EEPROM-all differ only in what their rows hold.
struct CMainFrame::AllBoards {
  int CMainFrame::*state;             // ProcedureState
  int (IBoardWindow::*query)() const; // the board's step (BoardStep): offline, online, action done
  void (IBoardWindow::*action)();
  unsigned nothingOpen, askStart, cantConnect, done, failed; // message ids
  bool askToSave;  // done: Yes/No, and every board saves on Yes; else an OK box
  bool stateFirst; // GoingOnline before the boards are sent online, else after
  bool stopsPolls; // no board is polled while it runs
};

const CMainFrame::AllBoards CMainFrame::kBackupAll{
    .state = &CMainFrame::m_nBackupState,
    .query = &IBoardWindow::GetReadState,
    .action = &IBoardWindow::BackupReadAll,
    .nothingOpen = IDS_NOTHING_TO_BACKUP,
    .askStart = IDS_ASK_BACKUP_ALL,
    .cantConnect = IDS_BACKUP_CANT_CONNECT,
    .done = IDS_ALL_BACKUP_DONE,
    .failed = IDS_BACKUP_ERROR,
    .askToSave = true,
    .stateFirst = true,
    .stopsPolls = true,
};

const CMainFrame::AllBoards CMainFrame::kEepromAll{
    .state = &CMainFrame::m_nEEPState,
    .query = &IBoardWindow::GetCmdState,
    .action = &IBoardWindow::EepromSaveAll,
    .nothingOpen = IDS_NOTHING_TO_EEP,
    .askStart = IDS_ASK_EEP_ALL,
    .cantConnect = IDS_EEP_CANT_CONNECT,
    .done = IDS_ALL_SAVED_TO_EEP,
    .failed = IDS_EEP_ERROR,
    .askToSave = false,
    .stateFirst = false,
    .stopsPolls = false,
};

void CMainFrame::OnSchedulerTick()
{
  RunBackupStateMachine();
  RunEEPStateMachine();
  CheckTraceBuffers();
  if (!IsPollSuspended())
    PollNextChild();
  if (IsActive()) {
    bool anyConnected = false;
    for (WindowId child : ChildrenCopy())
      anyConnected = anyConnected || QueryChild(child, BoardState::Connected);
    if (!anyConnected) {
      // The next tick asks again when it cannot be made.
      if (CRequestPacket *pkt = PacketFactory::New(WindowRegistry::Instance().IdOf(this), 0, REQ_IDLE))
        AddHeadRequest(pkt);
    }
  }
  const bool active = IsActive() != 0;
  if (m_pActivity) {
    if (active && m_nActivity == 0) {
      m_pActivity->ShowBitmap(CExtBitmap::kBitmapActive);
      m_nActivity = 1;
    } else if (!active && m_nActivity == 1) {
      m_pActivity->ShowBitmap(CExtBitmap::kBitmapIdle);
      m_nActivity = 0;
    }
  }
  UpdateCommandStates();
}

bool CMainFrame::IsProcedureRunning() const
{
  for (const AllBoards *p : {&kBackupAll, &kEepromAll})
    if (this->*p->state != ProcedureState::Idle)
      return true;
  return false;
}

bool CMainFrame::IsPollSuspended() const
{
  for (const AllBoards *p : {&kBackupAll, &kEepromAll})
    if (p->stopsPolls && this->*p->state != ProcedureState::Idle)
      return true;
  return false;
}

void CMainFrame::ResetAllProcedures()
{
  // Over before any board goes offline: a box shown meanwhile (a write all
  // it stops) runs the timer, whose tick must not find a board failed.
  for (const AllBoards *p : {&kBackupAll, &kEepromAll})
    this->*p->state = ProcedureState::Idle;
  for (WindowId child : ChildrenCopy())
    if (IBoardWindow *board = Child(child))
      board->GoOffline();
}

void CMainFrame::AbortOnTimerStopped()
{
  // Only the tick advances a procedure: one left waiting would go on
  // whenever the timer came back, at a moment nobody chose.
  std::vector<const AllBoards *> running;
  for (const AllBoards *p : {&kBackupAll, &kEepromAll})
    if (this->*p->state != ProcedureState::Idle)
      running.push_back(p);
  if (running.empty())
    return;
  ResetAllProcedures();
  for (const AllBoards *p : running)
    Prompter::Instance().MessageBox(LoadStr(p->failed), QString(), MB_OK | MB_ICONERROR, this);
}

void CMainFrame::OnBackupAll()
{
  StartAllBoards(kBackupAll);
}

void CMainFrame::OnMemorizeAllToEEP()
{
  StartAllBoards(kEepromAll);
}

void CMainFrame::RunBackupStateMachine()
{
  RunAllBoards(kBackupAll);
}

void CMainFrame::RunEEPStateMachine()
{
  RunAllBoards(kEepromAll);
}

void CMainFrame::StartAllBoards(const AllBoards &p)
{
  // One at a time: the one that ends takes every board offline.
  if (IsProcedureRunning())
    return;
  Prompter &prompter = Prompter::Instance();
  if (m_children.empty()) {
    prompter.MessageBox(LoadStr(p.nothingOpen), QString(), MB_OK, this);
    return;
  }
  if (!IsTimerRunning()) {
    prompter.MessageBox(LoadStr(IDS_PROCEDURE_NEEDS_TIMER), QString(), MB_OK | MB_ICONWARNING, this);
    return;
  }
  int &state = this->*p.state;
  if (prompter.MessageBox(LoadStr(p.askStart), QString(), MB_OKCANCEL | MB_ICONINFORMATION, this) != IDOK)
    return;
  if (p.stateFirst)
    state = ProcedureState::GoingOnline;
  for (WindowId child : ChildrenCopy())
    if (IBoardWindow *board = Child(child))
      board->GoOnline();
  if (!p.stateFirst)
    state = ProcedureState::GoingOnline;
}

void CMainFrame::RunAllBoards(const AllBoards &p)
{
  int &state = this->*p.state;
  if (state == ProcedureState::Idle)
    return;
  const std::vector<WindowId> children = ChildrenCopy();
  if (children.empty()) {
    // Every board window closed: nothing was done, nothing to say.
    state = ProcedureState::Idle;
    return;
  }
  bool anyFailed = false;
  bool allReady = true;
  bool allDone = true;
  for (WindowId child : children) {
    IBoardWindow *board = Child(child);
    const int s = board ? (board->*p.query)() : 0;
    anyFailed = anyFailed || s < BoardStep::Connecting;
    allReady = allReady && s == BoardStep::Ready;
    allDone = allDone && s == BoardStep::Done;
  }
  Prompter &prompter = Prompter::Instance();
  if (state == ProcedureState::GoingOnline) {
    if (anyFailed) {
      ResetAllProcedures();
      prompter.MessageBox(LoadStr(p.cantConnect), QString(), MB_OK | MB_ICONERROR, this);
    } else if (allReady) {
      for (WindowId child : children)
        if (IBoardWindow *board = Child(child))
          (board->*p.action)();
      state = ProcedureState::ActionSent;
    }
  } else if (state == ProcedureState::ActionSent) {
    if (allDone) {
      ResetAllProcedures();
      if (!p.askToSave)
        prompter.MessageBox(LoadStr(p.done), QString(), MB_OK, this);
      else if (prompter.MessageBox(LoadStr(p.done), QString(), MB_YESNO | MB_ICONQUESTION, this) == IDYES)
        for (WindowId child : ChildrenCopy())
          if (IBoardWindow *board = Child(child))
            board->SaveBackup(true);
    } else if (anyFailed) {
      ResetAllProcedures();
      prompter.MessageBox(LoadStr(p.failed), QString(), MB_OK | MB_ICONERROR, this);
    }
  }
}

void CMainFrame::CheckTraceBuffers()
{
  if (!m_pGenMemBuff || m_pGenMemBuff->GetBoardWindow() == kNoWindow)
    return;
  ITraceManager &m = *m_pGenMemBuff;
  if (m.GetState() == ITraceManager::StateReady && m.GetMode() == ITraceManager::ModeAutomatic &&
      m.GetBufferCount() > ITraceManager::kMaxAutoBuffers) {
    m.SetMode(ITraceManager::ModeManual);
    Prompter::Instance().MessageBox(LoadStr(IDS_TOO_MANY_BUFFERS), QString(), MB_OK, this);
  }
  // While a download runs, the state is its board's.
  const WindowId download = m.GetDownloadBoard();
  const WindowId shown = download != kNoWindow ? download : m.GetBoardWindow();
  if (m.GetState() != ITraceManager::StateOffline && !QueryChild(shown, BoardState::Online))
    m.SetState(ITraceManager::StateOffline);
}

void CMainFrame::PollNextChild()
{
  if (GetReqPktListSize() >= kPollGate)
    return;
  const std::vector<WindowId> children = ChildrenCopy();
  std::vector<WindowId> online;
  for (WindowId child : children)
    if (QueryChild(child, BoardState::Online))
      online.push_back(child);
  const int n = static_cast<int>(online.size());
  ++m_nRoundRobin;
  if (m_nRoundRobin >= n)
    m_nRoundRobin = 0;
  if (n == 0)
    return;
  if (IBoardWindow *board = Child(online[static_cast<std::size_t>(m_nRoundRobin)]))
    board->Poll();
}
