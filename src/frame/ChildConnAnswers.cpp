#include "frame/ChildConn.h"

#include "frame/FrameCodes.h"

#include "model/DescLine.h"
#include "model/PacketFactory.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "modbus/RequestPacket.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <algorithm>
#include <span>
#include <utility>

// The connection's answers: each kind stored into the document, and the end
// of the read all or write all whose last block it was.

namespace {

// The bit of "is_sw_set" that asks the board for its reset.
constexpr std::uint16_t kSwSetResetBit = 0x1000;
// Answer kinds no request of this program makes: taken without a step.
enum : std::uint16_t { kForeignKind3 = 3, kForeignKind4 = 4, kForeignKind5 = 5 };

int s_lastChangeWord = -1;

std::vector<std::uint16_t> StoredIndexes(const std::vector<CQelDocContainer::ParWordChange> &stored)
{
  std::vector<std::uint16_t> pars;
  pars.reserve(stored.size());
  for (const CQelDocContainer::ParWordChange &par : stored)
    pars.push_back(par.index);
  return pars;
}

} // namespace

void CChildConn::ResetLastChangeWord()
{
  s_lastChangeWord = -1;
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

std::span<const std::uint16_t> CChildConn::AnsweredWords(const CRequestPacket &pkt, int count)
{
  if (static_cast<int>(pkt.wAnsData.size()) < count || count == 0) {
    ShortAnswer(pkt, count);
    return {};
  }
  return std::span(pkt.wAnsData).first(static_cast<std::size_t>(count));
}

void CChildConn::ShortAnswer(const CRequestPacket &pkt, int expected)
{
  qCWarning(lcFrame, "short answer: kind %d, %d of %d registers", pkt.message, int(pkt.wAnsData.size()), expected);
  // Shown before going offline, ahead of the box of a write all it stops.
  SetStatus(LoadStrFormat(IDS_SHORT_ANSWER, int(pkt.wAnsData.size()), expected));
  RequestGoOffline();
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
    break;
  case REQ_WRITE_ONE:
    if (pkt.PktType.par.keep_written != 0)
      KeepConfirmedWrite(pkt);
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
  const auto words = AnsweredWords(pkt, count);
  if (words.empty())
    return;
  bool refresh = false;
  if (pkt.message == REQ_READ_ONE && !AnswerResetStep(pkt, &refresh))
    return;
  qCDebug(lcFrame, "READALL: step=%02d start=%04d len=%04d", m_nStep, pkt.PktType.par.first_par, count);

  const int commandPar = GetCommandParIndex();
  const auto each = [&](const CQelDocContainer::ParWordChange &par) {
    // A value kept from offline: what was read is the board's, its old value.
    if (pkt.PktType.par.step == 0)
      ShowReadValue(par.index, doc.GetPar(par.index).IsOfflineChange() ? Parametri::SEL_OLD : Parametri::SEL_VALUE);
    // The trace manager works with what the board holds.
    if (SetSpecialParValue(par.index, SaturateToLong(par.board)))
      refresh = true;
    if (par.index == commandPar && m_nCmdState == BoardStep::Busy)
      m_nCmdState = BoardStep::Done;
  };
  const std::vector<std::uint16_t> pars = StoredIndexes(
      doc.ApplyParameterWords(pkt.PktType.par.first_par, words, pkt.track != 0, each, pkt.PktType.par.refresh != 0));
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

void CChildConn::KeepConfirmedWrite(const CRequestPacket &pkt)
{
  // Only the values: the command state, the status text and the editor wait
  // for the read-back, which has the last word on what the board holds.
  CQelDoc &doc = *m_pDoc;
  const auto count = std::min(static_cast<std::size_t>(pkt.PktType.par.num_par), pkt.wData.size());
  bool refresh = false;
  const auto each = [&](const CQelDocContainer::ParWordChange &par) {
    if (SetSpecialParValue(par.index, SaturateToLong(par.board)))
      refresh = true;
  };
  RefillParRows(StoredIndexes(
      doc.ApplyParameterWords(pkt.PktType.par.first_par, std::span(pkt.wData).first(count), pkt.track != 0, each)));
  doc.UpdateAllViews(nullptr, FrameHint::Values);
  if (refresh)
    ShowStatusText();
}

void CChildConn::AnswerWriteRegisters(const CRequestPacket &pkt)
{
  if (pkt.PktType.par.keep_written != 0) {
    KeepConfirmedWrite(pkt);
    return;
  }
  m_pDoc->ConfirmParameterWrite(pkt.PktType.par.first_par, pkt.PktType.par.num_par);
  const bool refresh = TakeWrittenTraceSettings(pkt);
  if (pkt.PktType.par.step != 0 && BlockAnswered(true, pkt.PktType.par.step)) {
    m_nStep = 0;
    SetStatus(LoadStr(IDS_WRITE_ALL_PARAM_DONE)); // reports the settings too
  } else if (refresh) {
    ShowStatusText();
  }
}

bool CChildConn::TakeWrittenTraceSettings(const CRequestPacket &pkt)
{
  // The block's words, not the document's values: those may have been
  // edited since the write was made, and the trace manager's times must be
  // the board's.
  CQelDoc &doc = *m_pDoc;
  const int first = pkt.PktType.par.first_par;
  const int count = std::min(static_cast<int>(pkt.PktType.par.num_par), static_cast<int>(pkt.wData.size()));
  bool taken = false;
  for (std::int16_t p : {doc.GetDiagnTsPar(), doc.GetTrigPosPar(), doc.GetTrigNegPar(), doc.GetTrigDelayPar()}) {
    if (p < 0 || p >= doc.GetParCount())
      continue;
    const Parametri &par = doc.GetPar(p);
    const int at = par.GetAddress() - first;
    if (at < 0 || at + (par.IsShort() ? 1 : 2) > count)
      continue;
    const auto word = [&pkt, at](int k) { return pkt.wData[static_cast<std::size_t>(at + k)]; };
    const double value = par.WordsValue(word(0), par.IsShort() ? 0 : word(1));
    taken = SetSpecialParValue(p, SaturateToLong(value)) || taken;
  }
  return taken;
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
  const auto words = AnsweredWords(pkt, pkt.PktType.var.num_var);
  if (words.empty())
    return;
  const auto traceSlots = [&doc] {
    return std::pair(doc.GetTraceValue(CQelDocContainer::TRACE_SAMPLING_TIME),
                     doc.GetTraceValue(CQelDocContainer::TRACE_BUF_LENGTH));
  };
  const auto traceBefore = traceSlots();
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
  // Handed on only when they move: a sampling time shown in the list is
  // polled all the time, and each report refills the manager's edits under
  // the user's typing.
  if (traceSlots() != traceBefore)
    ShowStatusText();
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

TraceItems CChildConn::GetTraceItems() const
{
  TraceItems items;
  items.fill({-1, 0.0f});
  if (!m_pDoc)
    return items;
  const CQelDoc &doc = *m_pDoc;
  // In the order of the document's trace slots.
  const std::int16_t indexes[] = {doc.GetSamplingTimeVar(), doc.GetBufLengthVar(), doc.GetDiagnTsPar(),
                                  doc.GetTrigPosPar(),      doc.GetTrigNegPar(),   doc.GetTrigDelayPar()};
  static_assert(std::size(indexes) == CQelDocContainer::TRACE_SLOTS &&
                std::tuple_size_v<TraceItems> == std::size(indexes));
  for (int slot = 0; slot < CQelDocContainer::TRACE_SLOTS; ++slot)
    items[static_cast<std::size_t>(slot)] = {indexes[slot], doc.GetTraceValue(slot)};
  return items;
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
  // watch-row line: the rows start empty. Its own last line is read as it
  // came, so a text cut short is still seen as cut.
  CDocArchive ar = CDocArchive::FromText(pkt.strVersion, u"L = 0;0;0;0;0;0;");
  const QString identity = doc.GetVersion();
  const QString unused = doc.TakeUnusedCopy();
  doc.DeleteContents();
  // The window keeps the address it reached the board on: the description's
  // own "MODBUS" line may name another board on the line.
  doc.SetTakeSlaveAddress(false);
  doc.ReadDocument(ar);
  doc.SetTakeSlaveAddress(true);
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
  // A complete upload replaces the library copy that Initialize put aside.
  if (doc.GetVersion() == identity)
    doc.SaveDescriptionCopy(unused);
  else
    qCWarning(lcFrame, "no library copy: the board answered \"%s\" but described \"%s\"", qUtf8Printable(identity),
              qUtf8Printable(doc.GetVersion()));
}

void CChildConn::ShowReadValue(int p, int selector)
{
  CQelDoc &doc = *m_pDoc;
  const Parametri &par = doc.GetPar(p);
  QString text;
  if (par.GetAttributes() & ATTR_VAR_LINK) {
    text = LoadStrFormat(IDS_READ_VALUE, par.GetNameText(), doc.GetParText(p, selector, false));
  } else if (par.GetAttributes() & ATTR_PAR_LINK) {
    text = LoadStrFormat(IDS_READ_VALUE, par.GetNameText(), doc.GetParTextParLink(p, selector, false));
  } else {
    text = LoadStrFormat(IDS_READ_VALUE_SI_UI, par.GetNameText(), doc.GetLinkSiText(p, selector),
                         doc.GetLinkText(p, selector));
  }
  SetStatus(text);
}
