#include "frame/ChildConn.h"

#include "frame/BlockPlan.h"
#include "frame/FrameCodes.h"

#include "model/PacketFactory.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "modbus/BoardProtocol.h"
#include "modbus/RequestPacket.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <algorithm>

// The connection's requests: the read all, the write all, single writes and
// the polls, built from the block plans.

namespace {

constexpr int kMaxAddress = BoardProtocol::kRegisterLimit;
using BoardProtocol::kStatusBlock;
// What is read of the status block while the board has no descriptions.
constexpr std::uint16_t kStatusWordsBeforeDescriptions = 2;

// The parameter map as the block plans read it, one cell per register.
std::vector<blockplan::Cell> ParameterCells(const CQelDoc &doc)
{
  using blockplan::Cell;
  std::vector<Cell> cells(kMaxAddress, Cell::Empty);
  for (int address = 0; address < kMaxAddress; ++address) {
    const int p = doc.ParIndexFromAddress(address);
    if (p < 0)
      continue;
    const Parametri &par = doc.GetPar(p);
    cells[address] = par.GetAddress() != address ? Cell::Tail : par.IsShort() ? Cell::Short : Cell::Pair;
  }
  return cells;
}

// The words of a write-all run: each parameter starting in it, a pair low
// word first.
std::vector<std::uint16_t> RunWords(const CQelDoc &doc, const blockplan::Run &run)
{
  std::vector<std::uint16_t> words;
  words.reserve(std::size_t(run.count));
  for (int address = run.first; address < kMaxAddress && words.size() < std::size_t(run.count); ++address) {
    const int p = doc.ParIndexFromAddress(address);
    if (p < 0 || doc.GetPar(p).GetAddress() != address)
      continue;
    const Parametri &par = doc.GetPar(p);
    const double value = par.GetValue(0);
    if (par.IsLong()) {
      words.push_back(LongLowWord(value));
      words.push_back(LongHighWord(value));
      ++address;
    } else if (par.IsFloat()) {
      words.push_back(FloatLowWord(value));
      words.push_back(FloatHighWord(value));
      ++address;
    } else {
      words.push_back(ShortWord(value));
    }
  }
  return words;
}

} // namespace

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
  // Handed over whole, as the write all's blocks.
  std::vector<CRequestPacket *> packets{kTable};
  ++m_nStep;
  m_runs.push_back({.kTable = true});
  BlockRun &readAll = m_runs.back();

  for (const blockplan::Run &run : blockplan::ReadAllRuns(ParameterCells(doc))) {
    auto *pkt = NewPacket(REQ_READ_BLOCK);
    if (!pkt) {
      readAll.broken = true;
      break;
    }
    pkt->PktType.par.first_par = static_cast<std::uint16_t>(run.first);
    pkt->PktType.par.num_par = static_cast<std::uint16_t>(run.count);
    pkt->PktType.par.step = static_cast<std::uint16_t>(m_nStep);
    pkt->wData.assign(pkt->PktType.par.num_par, 0);
    qCDebug(lcFrame, "READALL PAR: step=%02d start=%04d len=%04d", m_nStep, run.first, run.count);
    readAll.steps.push_back(pkt->PktType.par.step);
    packets.push_back(pkt);
    ++m_nStep;
  }
  const bool broken = readAll.broken;
  QueueAll(packets);
  if (broken)
    ReadAllFailed();
  // With no block queued the K-table answer ends the read all.
}

void CChildConn::ReadAllFailed()
{
  PacketFactory::SayNoMemory();
  // Values missing from the read all: a waiting backup must not save them.
  m_nReadState = BoardStep::Failed;
}

void CChildConn::WriteAllParameters()
{
  if (!m_pDoc || !m_pDoc->IsOnline())
    return;
  CQelDoc &doc = *m_pDoc;
  m_nStep = 1;
  SetStatus(LoadStr(IDS_WRITE_ALL_PARAM));
  m_runs.push_back({.write = true});
  BlockRun &writeAll = m_runs.back();

  // par0 keeps the last command sent: nothing is written on its register,
  // whichever parameter a description also placed there.
  const int commandPar = GetCommandParIndex();
  const int commandAddress = commandPar >= 0 ? doc.GetPar(commandPar).GetAddress() : -1;
  // Every block is built before any goes out: a failed block then finds all
  // those after it still waiting, and they are dropped with it.
  std::vector<CRequestPacket *> blocks;
  for (const blockplan::Run &run : blockplan::WriteAllRuns(ParameterCells(doc), commandAddress)) {
    auto *pkt = NewPacket(REQ_WRITE_BLOCK);
    if (!pkt) {
      writeAll.broken = true;
      break;
    }
    pkt->PktType.par.first_par = static_cast<std::uint16_t>(run.first);
    pkt->PktType.par.step = static_cast<std::uint16_t>(m_nStep++);
    pkt->wData = RunWords(doc, run);
    pkt->PktType.par.num_par = static_cast<std::uint16_t>(pkt->wData.size());
    qCDebug(lcFrame, "WRITEALL PAR: step=%02d start=%04d len=%04d", pkt->PktType.par.step, pkt->PktType.par.first_par,
            pkt->PktType.par.num_par);
    writeAll.steps.push_back(pkt->PktType.par.step);
    ++writeAll.queued;
    blocks.push_back(pkt);
  }
  const bool broken = writeAll.broken;
  const bool none = writeAll.steps.empty();
  if (none)
    m_runs.pop_back(); // nothing to wait for
  QueueAll(blocks);
  if (broken) {
    PacketFactory::SayNoMemory();
    return;
  }
  if (none) {
    // No parameter.
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
  write->PktType.par.keep_written = 1;
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
    // The write's answer takes the undo step: a typed command keeps one, and
    // a value the board limits one back to the value before the write.
    readBack->track = 0;
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
  std::vector<blockplan::Run> regs;
  regs.reserve(items.size());
  for (std::uint16_t i : items) {
    const Variabili &v = parameters ? static_cast<const Variabili &>(m_pDoc->GetPar(i)) : m_pDoc->GetVar(i);
    regs.push_back({v.GetAddress(), v.IsShort() ? 1 : 2});
  }
  for (const blockplan::Run &run : blockplan::PollRuns(std::move(regs), kMaxAddress)) {
    // A poll that cannot be made is skipped: the next one comes soon.
    auto *pkt = NewPacket(parameters ? REQ_READ_BLOCK : REQ_READ_VARS);
    if (!pkt)
      continue;
    const auto first = static_cast<std::uint16_t>(run.first);
    const auto count = static_cast<std::uint16_t>(run.count);
    if (parameters) {
      pkt->PktType.par.first_par = first;
      pkt->PktType.par.num_par = count;
      pkt->PktType.par.refresh = 1;
      qCDebug(lcFrame, "AddRequest(pPkt) parametri");
    } else {
      pkt->PktType.var.first_var = first;
      pkt->PktType.var.num_var = count;
    }
    Queue(pkt);
  }
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
      pkt->PktType.var.num_var = std::min<std::uint16_t>(doc.GetStdVarRegisters(), blockplan::kMaxBlock);
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
