#include "frame/ChildConn.h"

#include "frame/CommandTable.h"
#include "frame/FrameCodes.h"

#include "model/BoundedFile.h"
#include "model/DescLine.h"
#include "model/PacketFactory.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "modbus/BoardProtocol.h"
#include "modbus/RequestPacket.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

WindowId g_hInitFrame = kNoWindow;

namespace {

constexpr int kMaxBlock = 120;
constexpr int kMaxAddress = BoardProtocol::kRegisterLimit;
using BoardProtocol::kStatusBlock;
// What is read of the status block while the board has no descriptions.
constexpr std::uint16_t kStatusWordsBeforeDescriptions = 2;
// The bit of "is_sw_set" that asks the board for its reset.
constexpr std::uint16_t kSwSetResetBit = 0x1000;
// Answer kinds no request of this program makes: taken without a step.
enum : std::uint16_t { kForeignKind3 = 3, kForeignKind4 = 4, kForeignKind5 = 5 };
// The default sets a document can name ("DefaultCombo#n").
constexpr int kMaxDefaultSets = 100;
// A win_cmd value this far from 0 is a command to the program, not a message.
constexpr int kFirstWinCmdCommand = 10000;

int s_lastChangeWord = -1;

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

void CChildConn::ResetLastChangeWord()
{
  s_lastChangeWord = -1;
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

void CChildConn::RequestGoOffline()
{
  if (!m_pDoc)
    return;
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
}

void CChildConn::OnOnLine()
{
  if (!m_pDoc)
    return;
  if (ConnectionBits() == 0) {
    RequestGoOnline();
  } else {
    RequestGoOffline();
    m_pDoc->SetStatusText(LoadStr(IDS_OFFLINE));
  }
  RecolorParList();
  InvalidateVarList(-1);
}

// ---- what the main frame asks ---------------------------------------------------

int CChildConn::GoOffline()
{
  if (!m_pDoc)
    return 0;
  const int bits = ConnectionBits();
  RequestGoOffline();
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

void CChildConn::ReadBuffer()
{
  if (m_pDoc)
    RequestBufferRead();
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

// ---- requests -----------------------------------------------------------------

CRequestPacket *CChildConn::NewKTable(std::uint16_t step) const
{
  auto *pkt = NewPacket(REQ_K_TABLE);
  if (!pkt)
    return nullptr;
  pkt->num_k = static_cast<std::int16_t>(GetNTableSize());
  pkt->k_mode = pkt->num_k != 0 ? KTableMode::WithN : KTableMode::KOnly;
  pkt->PktType.par.step = step;
  return pkt;
}

void CChildConn::ReadAllParameters()
{
  if (!m_pDoc || !m_pDoc->IsOnline())
    return;
  CQelDoc &doc = *m_pDoc;
  if (!doc.AreDescriptionsLoaded()) {
    // Nothing to read into: say so, and let a waiting backup see a failure.
    m_nReadState = BoardStep::Failed;
    SetStatus(LoadStr(IDS_READ_ALL_REFUSED));
    return;
  }
  m_nStep = 0;
  SetStatus(LoadStr(IDS_READ_ALL_PARAM));
  for (Parametri &p : doc.GetParameters())
    p.AcceptValue();
  CRequestPacket *kTable = NewKTable(static_cast<std::uint16_t>(m_nStep));
  if (!kTable) {
    ReadAllFailed();
    return;
  }
  Queue(kTable);
  ++m_nStep;
  m_runs.push_back({false, true, false, {}});

  for (int start = 0; start < kMaxAddress; ++start) {
    if (doc.ParIndexFromAddress(start) < 0)
      continue;
    int end = std::min(start + kMaxBlock - 1, kMaxAddress - 1);
    for (;;) {
      while (end > start && doc.ParIndexFromAddress(end) < 0)
        --end;
      const int last = doc.ParIndexFromAddress(end);
      // A short, or the second register of a pair: the block ends whole.
      if (last < 0 || doc.GetPar(last).IsShort() || doc.GetPar(last).GetAddress() != end)
        break;
      // A pair is read whole from one answer: take its second register, or
      // leave the pair to the next block.
      if (end + 1 - start + 1 <= kMaxBlock && end + 1 < kMaxAddress) {
        ++end;
        break;
      }
      if (end == start)
        break;
      --end;
    }
    auto *pkt = NewPacket(REQ_READ_BLOCK);
    if (!pkt) {
      m_runs.back().broken = true;
      ReadAllFailed();
      return;
    }
    pkt->PktType.par.first_par = static_cast<std::uint16_t>(start);
    pkt->PktType.par.num_par = static_cast<std::uint16_t>(end - start + 1);
    pkt->PktType.par.step = static_cast<std::uint16_t>(m_nStep);
    pkt->wData.assign(pkt->PktType.par.num_par, 0);
    qCDebug(lcFrame, "READALL PAR: step=%02d start=%04d len=%04d", m_nStep, start, end - start + 1);
    m_runs.back().steps.push_back(pkt->PktType.par.step);
    Queue(pkt);
    ++m_nStep;
    start = end;
  }
  // With no block queued the K-table answer ends the read all.
}

void CChildConn::ReadAllFailed()
{
  PacketFactory::SayNoMemory();
  // Values missing from the read all: a waiting backup must not save them.
  m_nReadState = BoardStep::Failed;
}

void CChildConn::FinishReadAll()
{
  m_nStep = 0;
  SetStatus(LoadStr(IDS_READ_ALL_PARAM_DONE));
  m_nReadState = BoardStep::Done;
}

bool CChildConn::BlockAnswered(bool write, std::uint16_t step)
{
  // Blocks are answered in the order they were queued, so an answer belongs
  // to the oldest run still waiting for its step.
  for (auto run = m_runs.begin(); run != m_runs.end(); ++run) {
    if (run->write != write)
      continue;
    const auto it = std::find(run->steps.begin(), run->steps.end(), step);
    if (it == run->steps.end())
      continue;
    run->steps.erase(it);
    return run->steps.empty() && EndRun(run);
  }
  return false;
}

bool CChildConn::EndRun(std::deque<BlockRun>::iterator run)
{
  // Only the newest run of its kind reports; an earlier one just ends.
  const bool write = run->write;
  const bool newest =
      std::none_of(std::next(run), m_runs.end(), [write](const BlockRun &r) { return r.write == write; });
  const bool complete = newest && !run->broken;
  m_runs.erase(run);
  return complete;
}

void CChildConn::WriteAllParameters()
{
  if (!m_pDoc || !m_pDoc->IsOnline())
    return;
  CQelDoc &doc = *m_pDoc;
  m_nStep = 1;
  SetStatus(LoadStr(IDS_WRITE_ALL_PARAM));
  m_runs.push_back({true, false, false, {}});

  // par0 keeps the last command sent, which no write all may send again.
  const int commandPar = GetCommandParIndex();
  CRequestPacket *pkt = nullptr;
  auto flush = [&] {
    pkt->PktType.par.num_par = static_cast<std::uint16_t>(pkt->wData.size());
    qCDebug(lcFrame, "WRITEALL PAR: step=%02d start=%04d len=%04d", pkt->PktType.par.step, pkt->PktType.par.first_par,
            pkt->PktType.par.num_par);
    m_runs.back().steps.push_back(pkt->PktType.par.step);
    Queue(pkt);
  };
  for (int address = 0; address < kMaxAddress; ++address) {
    int p = doc.ParIndexFromAddress(address);
    if (p >= 0 && p == commandPar)
      p = -1; // a gap: the blocks either side leave it out
    bool pair = false;
    if (p >= 0 && doc.GetPar(p).GetAddress() == address) {
      const Parametri &par = doc.GetPar(p);
      pair = !par.IsShort();
      if (pkt && pair && pkt->wData.size() + 2 > std::size_t(kMaxBlock))
        flush();
      if (!pkt) {
        pkt = NewPacket(REQ_WRITE_BLOCK);
        if (!pkt) {
          PacketFactory::SayNoMemory();
          m_runs.back().broken = true;
          if (m_runs.back().steps.empty())
            m_runs.pop_back();
          return;
        }
        pkt->PktType.par.first_par = static_cast<std::uint16_t>(address);
        pkt->PktType.par.step = static_cast<std::uint16_t>(m_nStep++);
        pkt->wData.reserve(kMaxBlock);
      }
      const double value = par.GetValue(0);
      if (par.IsLong()) {
        pkt->wData.push_back(LongLowWord(value));
        pkt->wData.push_back(LongHighWord(value));
        ++address;
      } else if (par.IsFloat()) {
        pkt->wData.push_back(FloatLowWord(value));
        pkt->wData.push_back(FloatHighWord(value));
        ++address;
      } else {
        pkt->wData.push_back(ShortWord(value));
      }
    }
    // A run ends at a gap, after a pair
    // and at 120 registers.
    if (pkt && (pair || p < 0 || pkt->wData.size() >= std::size_t(kMaxBlock)))
      flush();
  }
  if (pkt)
    flush();
  if (m_runs.back().steps.empty()) {
    // No parameter: nothing to wait for.
    m_runs.pop_back();
    m_nStep = 0;
    SetStatus(LoadStr(IDS_WRITE_ALL_PARAM_DONE));
  }
}

bool CChildConn::WriteParameter(std::uint16_t index, double value, int track, int mark)
{
  if (!m_pDoc || index >= m_pDoc->GetParCount())
    return false;
  CQelDoc &doc = *m_pDoc;
  const Parametri &par = doc.GetPar(index);
  value = par.Clamp(value);
  const std::uint16_t address = par.GetAddress();
  if (address >= kMaxAddress || (!par.IsShort() && address + 1 >= kMaxAddress))
    return false;

  auto *write = NewPacket(par.IsShort() ? REQ_WRITE_ONE : REQ_WRITE_BLOCK);
  if (!write) {
    PacketFactory::SayNoMemory();
    return false;
  }
  write->PktType.par.first_par = address;
  write->PktType.par.mark = mark != 0 ? 1 : 0;
  write->track = track;
  if (par.IsShort())
    write->wData = {ShortWord(value)};
  else if (par.IsLong())
    write->wData = {LongLowWord(value), LongHighWord(value)};
  else
    write->wData = {FloatLowWord(value), FloatHighWord(value)};
  write->PktType.par.num_par = static_cast<std::uint16_t>(write->wData.size());
  const std::uint8_t marked = write->PktType.par.mark;
  Queue(write);

  // The write goes out even when its read-back cannot.
  auto *readBack = NewPacket(par.IsShort() ? REQ_READ_ONE : REQ_READ_BLOCK);
  const bool withReadBack = readBack != nullptr;
  if (readBack) {
    readBack->PktType.par.first_par = address;
    readBack->PktType.par.num_par = par.IsShort() ? 1 : 2;
    readBack->PktType.par.mark = marked;
    readBack->track = track;
    Queue(readBack);
  } else {
    PacketFactory::SayNoMemory();
  }

  if (static_cast<int>(index) == GetCommandParIndex())
    SetStatus(LoadStr(IDS_COMMAND_SENT));
  else
    SetStatus(LoadStrFormat(IDS_WRITE_VALUE, par.GetNameText(), value));
  return withReadBack;
}

bool CChildConn::WriteCommand(int value)
{
  if (!m_pDoc || !m_pDoc->IsOnline())
    return false;
  const int par0 = GetCommandParIndex();
  if (par0 < 0) {
    SetStatus(LoadStr(IDS_NO_COMMAND_PAR));
    return false;
  }
  return WriteParameter(static_cast<std::uint16_t>(par0), value, 0, 0);
}

void CChildConn::QueueBlocks(const std::vector<std::uint16_t> &items, bool parameters)
{
  struct Item {
    int first;
    int last;
  };
  std::vector<Item> regs;
  regs.reserve(items.size());
  for (std::uint16_t i : items) {
    const Variabili &v = parameters ? static_cast<const Variabili &>(m_pDoc->GetPar(i)) : m_pDoc->GetVar(i);
    const int first = v.GetAddress();
    const int last = first + (v.IsShort() ? 0 : 1);
    if (last < kMaxAddress)
      regs.push_back({first, last});
  }
  std::sort(regs.begin(), regs.end(), [](const Item &a, const Item &b) { return a.first < b.first; });

  auto send = [&](int first, int last) {
    // A poll that cannot be made is skipped: the next one comes soon.
    auto *pkt = NewPacket(parameters ? REQ_READ_BLOCK : REQ_READ_VARS);
    if (!pkt)
      return;
    const auto count = static_cast<std::uint16_t>(last - first + 1);
    if (parameters) {
      pkt->PktType.par.first_par = static_cast<std::uint16_t>(first);
      pkt->PktType.par.num_par = count;
      qCDebug(lcFrame, "AddRequest(pPkt) parametri");
    } else {
      pkt->PktType.var.first_var = static_cast<std::uint16_t>(first);
      pkt->PktType.var.num_var = count;
    }
    Queue(pkt);
  };
  int first = -1;
  int last = -1;
  for (const Item &item : regs) {
    if (first < 0) {
      first = item.first;
      last = item.last;
      continue;
    }
    if (item.last - first + 1 > kMaxBlock) {
      send(first, last);
      first = item.first;
      last = item.last;
    } else {
      last = std::max(last, item.last);
    }
  }
  if (first >= 0)
    send(first, last);
}

void CChildConn::RefreshDisplayedItems()
{
  if (!m_pDoc || !m_pDoc->IsOnline())
    return;
  CQelDoc &doc = *m_pDoc;
  if (!doc.AreDescriptionsLoaded()) {
    if (auto *pkt = NewPacket(REQ_READ_VARS)) {
      pkt->PktType.var.first_var = kStatusBlock;
      pkt->PktType.var.num_var = kStatusWordsBeforeDescriptions;
      Queue(pkt);
    }
    return;
  }
  if (doc.IsTraceReadPending())
    return;

  std::vector<std::uint16_t> vars;
  auto &rows = doc.GetVarRows();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    rows[r].pollMark = 0;
    if (doc.IsVarRowValid(r))
      vars.push_back(static_cast<std::uint16_t>(rows[r].index));
  }
  for (std::uint16_t v : doc.GetExtraPollVars())
    if (v < doc.GetVarCount())
      vars.push_back(v);
  std::sort(vars.begin(), vars.end());
  vars.erase(std::unique(vars.begin(), vars.end()), vars.end());
  const auto &std = doc.GetStdVariables();
  vars.erase(std::remove_if(vars.begin(), vars.end(),
                            [&](std::uint16_t v) { return std::find(std.begin(), std.end(), v) != std.end(); }),
             vars.end());

  // The status block: the standard variables as the board lays them out.
  if (doc.GetStdVarRegisters() != 0) {
    if (auto *pkt = NewPacket(REQ_READ_VARS)) {
      pkt->PktType.var.first_var = kStatusBlock;
      pkt->PktType.var.num_var = std::min<std::uint16_t>(doc.GetStdVarRegisters(), kMaxBlock);
      Queue(pkt);
    }
  }
  std::vector<std::uint16_t> pars;
  for (std::uint16_t p : doc.GetExtraPollPars())
    if (p < doc.GetParCount())
      pars.push_back(p);
  doc.ClearExtraPollPars();
  qCDebug(lcFrame, "start parametri");
  QueueBlocks(pars, true);
  QueueBlocks(vars, false);
  doc.ClearExtraPollVars();
}

void CChildConn::RequestBufferRead()
{
  if (!m_pDoc || !m_pDoc->IsOnline() || !m_pDoc->AreDescriptionsLoaded())
    return;
  CQelDoc &doc = *m_pDoc;
  if (doc.GetBufWidthVar() <= 0 || doc.GetBufLengthVar() <= 0)
    return;
  auto *pkt = NewPacket(REQ_READ_TRACE);
  if (!pkt) {
    // Pending without a request would stop the polls for good.
    PacketFactory::SayNoMemory();
    return;
  }
  doc.MarkTraceReadPending();
  pkt->trace_width_reg = doc.GetVar(doc.GetBufWidthVar()).GetAddress();
  pkt->trace_length_reg = doc.GetVar(doc.GetBufLengthVar()).GetAddress();
  qCDebug(lcFrame, "Invio MSG Read_buff_MSG");
  Queue(pkt);
}

// ---- answers ------------------------------------------------------------------

void CChildConn::ShortAnswer(const CRequestPacket &pkt, int expected)
{
  qCWarning(lcFrame, "short answer: kind %d, %d of %d registers", pkt.message, int(pkt.wAnsData.size()), expected);
  const QString text = LoadStrFormat(IDS_SHORT_ANSWER, int(pkt.wAnsData.size()), expected);
  RequestGoOffline();
  SetStatus(text);
}

void CChildConn::ProcessAnswer(const CRequestPacket &pkt)
{
  if (!m_pDoc || ConnectionBits() == 0)
    return;
  switch (pkt.message) {
  case ANS_DESCRIPTION:
    AnswerDescription(pkt);
    m_pDoc->SetModifiedFlag(true);
    break;
  case kForeignKind3:
  case kForeignKind4:
  case kForeignKind5:
  case REQ_WRITE_ONE:
    break;
  case REQ_READ_ONE:
  case REQ_READ_BLOCK:
    AnswerReadRegisters(pkt);
    break;
  case REQ_WRITE_BLOCK:
    AnswerWriteRegisters(pkt);
    break;
  case REQ_K_TABLE:
    AnswerKTable(pkt);
    break;
  case REQ_READ_VARS:
    AnswerVariables(pkt);
    break;
  case REQ_GO_ONLINE:
    AnswerGoOnline(pkt);
    break;
  case REQ_IDLE:
    RequestGoOffline();
    break;
  case REQ_GO_OFFLINE:
    // The answer to an earlier go-offline, come after the next go-online.
    break;
  default:
    qCWarning(lcFrame, "child frame: unexpected answer kind %d", pkt.message);
    break;
  }
}

bool CChildConn::AnswerResetStep(const CRequestPacket &pkt, bool *refresh)
{
  CQelDoc &doc = *m_pDoc;
  const int p = doc.ParIndexFromAddress(pkt.PktType.par.first_par);
  if (p < 0)
    return true;
  const std::uint16_t word = pkt.wAnsData[0];
  // Whoever asked for the reset (the frame's command, the variable list),
  // the first read of "is_sw_set" while it is pending turns into the write.
  if (doc.IsResetPending() && p == doc.GetSwSetPar()) {
    doc.ClearResetPending();
    auto *write = NewPacket(REQ_WRITE_ONE);
    if (!write) {
      PacketFactory::SayNoMemory();
      return false;
    }
    write->PktType.par.first_par = doc.GetPar(p).GetAddress();
    write->PktType.par.num_par = 1;
    write->wData = {static_cast<std::uint16_t>(word | kSwSetResetBit)};
    write->track = 0;
    Queue(write, true);
  }
  if (SetSpecialParValue(p, static_cast<std::int16_t>(word)))
    *refresh = true;
  return true;
}

void CChildConn::AnswerReadRegisters(const CRequestPacket &pkt)
{
  CQelDoc &doc = *m_pDoc;
  const int count = pkt.PktType.par.num_par;
  if (static_cast<int>(pkt.wAnsData.size()) < count || count == 0) {
    ShortAnswer(pkt, count);
    return;
  }
  bool refresh = false;
  if (pkt.message == REQ_READ_ONE && !AnswerResetStep(pkt, &refresh))
    return;
  qCDebug(lcFrame, "READALL: step=%02d start=%04d len=%04d", m_nStep, pkt.PktType.par.first_par, count);

  const int commandPar = GetCommandParIndex();
  const auto words = std::span(pkt.wAnsData).first(static_cast<std::size_t>(count));
  const auto stored = doc.ApplyParameterWords(pkt.PktType.par.first_par, words, pkt.track != 0,
                                              [&](const CQelDocContainer::ParWordChange &par) {
                                                if (pkt.PktType.par.step == 0)
                                                  ShowReadValue(par.index);
                                                if (SetSpecialParValue(par.index, SaturateToLong(par.now)))
                                                  refresh = true;
                                                if (par.index == commandPar && m_nCmdState == BoardStep::Busy)
                                                  m_nCmdState = BoardStep::Done;
                                              });
  std::vector<std::uint16_t> pars;
  pars.reserve(stored.size());
  for (const CQelDocContainer::ParWordChange &par : stored)
    pars.push_back(par.index);
  if (pkt.PktType.par.mark != 0)
    doc.RequestEditorReopen();
  if (pkt.PktType.par.step != 0 && BlockAnswered(false, pkt.PktType.par.step))
    FinishReadAll();
  // A read-back's row is rewritten before the update that may reopen its editor.
  if (pkt.PktType.par.step != 0)
    RefillParRowsAfterAnswers(pars);
  else
    RefillParRows(pars);
  doc.UpdateAllViews(nullptr, FrameHint::Values);
  if (refresh)
    ShowStatusText();
}

void CChildConn::RefillParRowsAfterAnswers(const std::vector<std::uint16_t> &pars)
{
  m_vStoredPars.insert(m_vStoredPars.end(), pars.begin(), pars.end());
  if (std::exchange(m_bRefillWaiting, true))
    return;
  m_pHooks->AfterAnswers([this] {
    m_bRefillWaiting = false;
    RefillParRows(std::exchange(m_vStoredPars, {}));
  });
}

void CChildConn::AnswerWriteRegisters(const CRequestPacket &pkt)
{
  if (pkt.PktType.par.step != 0 && BlockAnswered(true, pkt.PktType.par.step)) {
    m_nStep = 0;
    SetStatus(LoadStr(IDS_WRITE_ALL_PARAM_DONE));
  }
}

void CChildConn::AnswerKTable(const CRequestPacket &pkt)
{
  m_pDoc->ApplyKTable(pkt.wAnsData, pkt.fAnsNTable);
  FillParList();
  // Answers come in the order asked: the oldest read all still waiting for
  // its K table owns this one, and shows its own texts.
  const auto run = std::find_if(m_runs.begin(), m_runs.end(), [](const BlockRun &r) { return r.kTable; });
  if (run == m_runs.end()) {
    SetStatus(LoadStr(IDS_K_TABLE_READ));
  } else {
    run->kTable = false;
    // A read all of a board without parameters ends with its K table.
    if (run->steps.empty() && EndRun(run))
      FinishReadAll();
  }
  qCDebug(lcFrame, "LOAD K TABLE");
}

void CChildConn::AnswerVariables(const CRequestPacket &pkt)
{
  CQelDoc &doc = *m_pDoc;
  const int count = pkt.PktType.var.num_var;
  if (static_cast<int>(pkt.wAnsData.size()) < count || count == 0) {
    ShortAnswer(pkt, count);
    return;
  }
  const auto words = std::span(pkt.wAnsData).first(static_cast<std::size_t>(count));
  const int change =
      doc.ApplyVariableWords(pkt.PktType.var.first_var, words, [this](const CQelDocContainer::VarWordValue &var) {
        for (int row : var.rows)
          InvalidateVarList(row);
        OnSpecialVariable(var.index, static_cast<std::int16_t>(SaturateToLong(var.raw)));
      });
  const int change16 = static_cast<std::int16_t>(change);
  if (change16 != s_lastChangeWord) {
    s_lastChangeWord = change16;
    SetStateIcon(StateIconId());
  }
}

int CChildConn::OnSpecialVariable(int v, std::int16_t value)
{
  CQelDoc &doc = *m_pDoc;
  if (v == doc.GetWinCmdVar()) {
    const auto previous = static_cast<std::int16_t>(doc.GetPrevWinCmdValue());
    doc.SetWinCmdValue(static_cast<std::uint16_t>(value));
    if (value == BoardCommand::ReadKTable && previous != BoardCommand::ReadKTable)
      if (CRequestPacket *pkt = NewKTable(0))
        Queue(pkt);
    if (value == BoardCommand::ReadAll && previous != BoardCommand::ReadAll)
      OnReadAll();
    UpdateWinCmdText();
    doc.SetPrevWinCmdValue(doc.GetWinCmdValue());
    return 0;
  }
  if (v == doc.GetSamplingTimeVar()) {
    doc.SetTraceValue(CQelDocContainer::TRACE_SAMPLING_TIME, value / 1000.0f);
    return 1;
  }
  if (v == doc.GetBufLengthVar()) {
    doc.SetTraceValue(CQelDocContainer::TRACE_BUF_LENGTH, value);
    return 1;
  }
  return 0;
}

bool CChildConn::SetSpecialParValue(int index, int value)
{
  if (!m_pDoc || index < 0)
    return false;
  CQelDoc &doc = *m_pDoc;
  const float v = static_cast<std::int16_t>(value & 0xFFFF);
  if (index == doc.GetDiagnTsPar())
    doc.SetTraceValue(CQelDocContainer::TRACE_DIAGN_TS, v);
  else if (index == doc.GetTrigPosPar())
    doc.SetTraceValue(CQelDocContainer::TRACE_TRIG_POS, v);
  else if (index == doc.GetTrigNegPar())
    doc.SetTraceValue(CQelDocContainer::TRACE_TRIG_NEG, v);
  else if (index == doc.GetTrigDelayPar())
    doc.SetTraceValue(CQelDocContainer::TRACE_TRIG_DELAY, v);
  else
    return false;
  return true;
}

void CChildConn::AnswerGoOnline(const CRequestPacket &pkt)
{
  CQelDoc &doc = *m_pDoc;
  doc.MarkOnline();
  RecolorParList();
  InvalidateVarList(-1);
  m_nReadState = BoardStep::Ready;
  m_nCmdState = BoardStep::Ready;
  if (!doc.AreDescriptionsLoaded()) {
    QString version = pkt.strVersion;
    version.replace(u'\n', u' ');
    doc.SetVersion(version);
    doc.SplitLanguageList(pkt.strLanguages);
    ShowStatusText();
  }
  AddSpecialVarsToList();
  s_lastChangeWord = -1;
  SetStateIcon(StateIconId());
}

void CChildConn::AddSpecialVarsToList()
{
  CQelDoc &doc = *m_pDoc;
  const std::int16_t pars[] = {doc.GetDiagnTsPar(), doc.GetTrigDelayPar(), doc.GetTrigPosPar(), doc.GetTrigNegPar()};
  const std::int16_t vars[] = {doc.GetSamplingTimeVar(), doc.GetBufLengthVar()};
  for (std::span<const std::int16_t> items : {std::span<const std::int16_t>(pars), std::span<const std::int16_t>(vars)})
    for (std::int16_t i : items)
      if (i < 0)
        return;
  for (std::int16_t i : pars)
    doc.AddExtraPollPar(static_cast<std::uint16_t>(i));
  for (std::int16_t i : vars)
    doc.AddExtraPollVar(static_cast<std::uint16_t>(i));
}

void CChildConn::AnswerDescription(const CRequestPacket &pkt)
{
  CQelDoc &doc = *m_pDoc;
  if (!doc.IsOnline())
    return;
  // The board sends the description without the document's header and
  // watch-row line: the rows start empty.
  CDocArchive ar = CDocArchive::FromText(pkt.strVersion + QStringLiteral("\nL = 0;0;0;0;0;0;"));
  const QString identity = doc.GetVersion();
  doc.DeleteContents();
  doc.ReadDocument(ar);
  doc.RequestParTreeRebuild();
  doc.RequestVarTreeRebuild();
  doc.RequestVarListRefill();
  doc.UpdateAllViews(nullptr, FrameHint::All);
  if (g_hInitFrame == m_hWndAnswer)
    g_hInitFrame = kNoWindow;
  doc.EndDescriptionDownload();
  // The copy is named from the uploaded version line: a description naming
  // another board than the one that answered would be stored under that
  // board's name and loaded for it ever after.
  if (doc.GetVersion() == identity)
    doc.SaveDescriptionCopy();
  else
    qCWarning(lcFrame, "no library copy: the board answered \"%s\" but described \"%s\"", qUtf8Printable(identity),
              qUtf8Printable(doc.GetVersion()));
  doc.ReportRefusedLines();
}

void CChildConn::ShowReadValue(int p)
{
  CQelDoc &doc = *m_pDoc;
  const Parametri &par = doc.GetPar(p);
  QString text;
  if (par.GetAttributes() & ATTR_VAR_LINK) {
    text = LoadStrFormat(IDS_READ_VALUE, par.GetNameText(), doc.GetParText(p, 0, false));
  } else if (par.GetAttributes() & ATTR_PAR_LINK) {
    text = LoadStrFormat(IDS_READ_VALUE, par.GetNameText(), doc.GetParTextParLink(p, 0, false));
  } else {
    text = LoadStrFormat(IDS_READ_VALUE_SI_UI, par.GetNameText(), doc.GetLinkSiText(p, 0), doc.GetLinkText(p, 0));
  }
  SetStatus(text);
}

// ---- commands -----------------------------------------------------------------

void CChildConn::OnUndo()
{
  if (!m_pDoc)
    return;
  CQelDoc &doc = *m_pDoc;
  CQelDocContainer::UndoRecord r;
  if (!doc.PopUndo(r) || r.index >= doc.GetParCount())
    return;
  if (doc.IsOnline()) {
    // par0 keeps the last board command: writing it back sends that again.
    if (static_cast<int>(r.index) != GetCommandParIndex())
      WriteParameter(r.index, r.previous, 0, 0);
  } else {
    doc.RestoreUndoValue(r);
  }
}

void CChildConn::OnReadAll()
{
  ReadAllParameters();
}

void CChildConn::OnWriteAll()
{
  if (!m_pDoc)
    return;
  if (Prompter::Instance().MessageBox(LoadStr(IDS_ASK_WRITE_ALL), QString(), MB_OKCANCEL) == IDOK)
    WriteAllParameters();
}

void CChildConn::AskAndWrite(unsigned question, int value)
{
  if (!m_pDoc)
    return;
  if (Prompter::Instance().MessageBox(LoadStr(question), QString(), MB_OKCANCEL) == IDOK)
    WriteCommand(value);
}

void CChildConn::OnEepSave1()
{
  AskAndWrite(IDS_ASK_SAVE_EEP1, BoardCommand::EepromSave1);
}

void CChildConn::OnEepSave2()
{
  AskAndWrite(IDS_ASK_SAVE_EEP2, BoardCommand::EepromSave2);
}

void CChildConn::OnEepLoad1()
{
  AskAndWrite(IDS_ASK_LOAD_EEP1, BoardCommand::EepromLoad1);
}

void CChildConn::OnEepLoad2()
{
  AskAndWrite(IDS_ASK_LOAD_EEP2, BoardCommand::EepromLoad2);
}

QStringList CChildConn::DefaultSetNames() const
{
  QStringList names;
  if (!m_pDoc)
    return names;
  for (int n = 0; n < kMaxDefaultSets; ++n) {
    const QString text = m_pDoc->Translate(vtx::Format(u"DefaultCombo#%d", n), QString());
    if (text.isEmpty())
      break;
    names << text;
  }
  return names;
}

void CChildConn::OnDefLoad()
{
  if (!m_pDoc)
    return;
  const QStringList names = DefaultSetNames();
  if (names.isEmpty()) {
    Prompter::Instance().MessageBox(LoadStr(IDS_DEFAULTS_HINT), QString(), MB_OK);
    return;
  }
  const int chosen = ChooseDefaultSet(names);
  if (chosen >= 0 && chosen < names.size())
    WriteCommand(BoardCommand::DefaultBase + chosen);
}

void CChildConn::OnInitDescriptions()
{
  if (!m_pDoc || !m_pDoc->IsOnline())
    return;
  CQelDoc &doc = *m_pDoc;
  doc.SelectLanguage(InitializeLanguage());
  StoreInitializeLanguage(doc.GetLanguageName());

  const QString library = doc.FindDescriptionCopy(doc.GetVersion());
  if (!library.isEmpty()) {
    doc.SetTakeSlaveAddress(false);
    doc.OnOpenDocument(library);
    doc.SetTakeSlaveAddress(true);
    doc.RequestParTreeRebuild();
    doc.RequestVarTreeRebuild();
    doc.RequestVarListRefill();
    doc.UpdateAllViews(nullptr, FrameHint::All);
    OnReadAll();
    doc.SetModifiedFlag(true);
    return;
  }
  if (g_hInitFrame != kNoWindow)
    return;
  auto *pkt = NewPacket(REQ_DESCRIPTION);
  if (!pkt) {
    // Nothing is on its way: no board's initialization may wait for it.
    PacketFactory::SayNoMemory();
    return;
  }
  g_hInitFrame = m_hWndAnswer;
  doc.BeginDescriptionDownload();
  pkt->language = static_cast<std::uint16_t>(doc.GetLanguageIndex());
  Queue(pkt);
}

void CChildConn::OnInitLanguage()
{
  if (!m_pDoc)
    return;
  const QString chosen = ChooseLanguage(m_pDoc->GetLanguageList(), InitializeLanguage());
  if (chosen.isEmpty())
    return;
  StoreInitializeLanguage(chosen);
  m_pDoc->SelectLanguage(chosen);
}

void CChildConn::OnReset()
{
  if (m_pDoc)
    m_pDoc->RequestSwSetRead();
}

void CChildConn::FindModified(bool first, bool down, unsigned notFound)
{
  if (!m_pDoc)
    return;
  if (first)
    m_wFindPos = 0;
  std::int16_t pos = static_cast<std::int16_t>(m_wFindPos);
  if (first)
    pos = -1;
  if (m_pDoc->FindParameter(QString(), pos, false, false, down, true, true))
    m_wFindPos = static_cast<std::uint16_t>(pos);
  else
    Prompter::Instance().MessageBox(LoadStr(notFound), QString(), MB_OK);
}

void CChildConn::OnFindFirstModified()
{
  FindModified(true, true, IDS_NO_MODIFIED_PARAMETERS);
}

void CChildConn::OnFindNextModified()
{
  FindModified(false, true, IDS_NO_MORE_MODIFIED);
}

void CChildConn::OnFindPrevModified()
{
  FindModified(false, false, IDS_NO_MORE_MODIFIED);
}

void CChildConn::OnToggleUnits()
{
  if (!m_pDoc)
    return;
  m_pDoc->ToggleInternalUnits();
  m_pDoc->RequestParListUpdate();
  m_pDoc->UpdateAllViews(nullptr, FrameHint::Units);
}

QString IConnHooks::AskImportFile()
{
  FileDialogRequest request;
  request.open = true;
  request.filter = LoadStr(IDS_FILTER);
  request.fileMustExist = true;
  return Prompter::Instance().FileDialog(request);
}

void CChildConn::ImportCompareFile(bool compare)
{
  if (!m_pDoc)
    return;
  const QString path = AskImportFile();
  if (path.isEmpty())
    return;
  // A FIFO, a device or an oversized file is refused before any read.
  QByteArray bytes;
  if (!vtx::ReadBoundedFile(path, &bytes)) {
    Prompter::Instance().MessageBox(LoadStrFormat(IDS_FILE_UNREADABLE, path), QString(), MB_OK | MB_ICONWARNING);
    return;
  }
  CDocArchive ar = CDocArchive::FromBytes(bytes);
  if (!compare) {
    RequestGoOffline();
    m_pDoc->ImportFile(ar, false, path);
    m_pDoc->UpdateAllViews(nullptr, FrameHint::All);
    Prompter::Instance().MessageBox(LoadStr(IDS_DATA_IMPORTED), QString(), MB_OK);
  } else {
    m_pDoc->ImportFile(ar, true, path);
  }
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

bool CChildConn::IsCommandEnabled(int id, bool *checked) const
{
  const commands::Row *row = commands::Find(id);
  if (!row || row->scope != commands::Scope::Board) {
    if (checked)
      *checked = false;
    return true;
  }
  return commands::IsEnabled(*row, {nullptr, this}, checked);
}
