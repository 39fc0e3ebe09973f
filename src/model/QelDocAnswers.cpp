// The document's side of the board's answers: register words decoded into
// parameters, variable rows, status words and the scaling tables.

#include "QelDocContainer.h"

#include "DescLine.h"
#include "FormatBinary16.h"

#include "modbus/BoardProtocol.h"
#include "modbus/RequestPacket.h"
#include "platform/Format.h"

#include <cmath>
#include <cstring>

namespace {

// Row texts hold at most 19 characters.
constexpr int kRowTextMax = 19;
// The bits of the status flag word that say the drive is stopped, running.
constexpr std::uint16_t kStatusStopBit = 0x400, kStatusRunBit = 0x200;
// A row's refresh counter goes round this many values.
constexpr int kRefreshCycle = 10;

QString RowText(const QString &text)
{
  return text.left(kRowTextMax);
}

// A number never cut to another one: one too long for a row goes short.
QString NumberText(const Variabili &var, double si)
{
  const QString text = vtx::Format(var.FormatValue(si), si);
  return text.size() > kRowTextMax ? vtx::Format(u"%.7g", si) : text;
}

} // namespace

std::vector<CQelDocContainer::ParWordChange>
CQelDocContainer::ApplyParameterWords(int first, std::span<const std::uint16_t> words, bool track,
                                      const std::function<void(const ParWordChange &)> &each, bool refresh)
{
  std::vector<ParWordChange> stored;
  const int count = static_cast<int>(words.size());
  const int commandPar = GetCommandParIndex();
  for (int i = 0; i < count; ++i) {
    const int address = first + i;
    const int p = ParIndexFromAddress(address);
    // The second register of a pair alone has nothing to set.
    if (p < 0 || GetPar(p).GetAddress() != address)
      continue;
    Parametri &par = GetPar(p);
    ParWordChange change;
    change.index = static_cast<std::uint16_t>(p);
    change.old = par.GetValue(0);
    // Both registers of a pair come in one answer.
    if (!par.IsShort() && i + 1 >= count)
      break;
    const double boardValue = par.WordsValue(words[i], par.IsShort() ? 0 : words[i + 1]);
    if (!par.IsShort())
      ++i;
    if (refresh && par.IsOfflineChange()) {
      // Kept for the next write all, shown as changed against the board.
      par.SetOldRawValue(boardValue);
      change.board = par.GetValue(Parametri::SEL_OLD);
    } else {
      par.SetRawValue(boardValue);
      par.SetOfflineChange(false);
      change.board = par.GetValue(Parametri::SEL_VALUE);
    }
    change.now = par.GetValue(0);
    change.changed = change.now != change.old && !(std::isnan(change.now) && std::isnan(change.old));
    if (change.changed)
      SetModifiedFlag(true);
    // A typed command gets its step whatever the board reads back, so that
    // Ctrl+Z takes back the command (which it cannot send again) and not the
    // edit before it; the steps keep the order of the writes.
    if (track && p == commandPar)
      m_UndoList.push_back({change.index, change.old, true});
    else if (track && change.changed)
      PushUndo(change.index, change.old);
    stored.push_back(change);
    if (each)
      each(change);
  }
  return stored;
}

int CQelDocContainer::ApplyVariableWords(int first, std::span<const std::uint16_t> words,
                                         const std::function<void(const VarWordValue &)> &each)
{
  const bool statusBlock = first == BoardProtocol::kStatusBlock;
  const int count = static_cast<int>(words.size());
  auto &status = m_StatusWords;
  int change = 0;
  std::size_t j = 0;
  for (int i = 0; i < count; ++i) {
    const std::uint16_t word = words[i];
    int v = -1;
    if (!statusBlock) {
      v = VarIndexFromAddress(first + i);
      if (v >= 0 && GetVar(v).GetAddress() != first + i)
        continue;
    } else {
      const int slot = static_cast<int>(j);
      if (slot == m_nErrorFlagSlot) {
        change |= status[STATUS_ERROR] ^ word;
        status[STATUS_ERROR] = word != 0;
      }
      if (slot == m_nWarningFlagSlot) {
        change |= status[STATUS_WARNING] ^ word;
        status[STATUS_WARNING] = word != 0;
      }
      if (slot == m_nStatusFlagSlot) {
        change |= status[STATUS_STOP] ^ (word & kStatusStopBit);
        change |= status[STATUS_RUN] ^ (word & kStatusRunBit);
        status[STATUS_STOP] = word & kStatusStopBit;
        status[STATUS_RUN] = word & kStatusRunBit;
      }
      if (j >= m_StdVariables.size())
        break; // registers beyond the list are not the board's standard variables
      v = m_StdVariables[j++];
    }
    if (v < 0 || v >= GetVarCount())
      continue;
    const Variabili &var = GetVar(v);
    VarWordValue value;
    value.index = static_cast<std::int16_t>(v);
    if (var.IsShort()) {
      value.raw = static_cast<std::int16_t>(word);
      value.si = var.FromRaw(value.raw);
    } else {
      if (i + 1 >= count)
        break;
      const std::uint16_t high = words[i + 1];
      if (var.IsLong()) {
        value.raw = WordsToLong(high, word);
        value.si = var.FromRaw(value.raw);
      } else {
        value.raw = WordsToFloat(high, word);
        value.si = value.raw;
      }
      ++i;
    }
    for (std::size_t r = 0; r < m_VarRows.size(); ++r) {
      VarRowRecord &row = m_VarRows[r];
      if (row.index != v)
        continue;
      row.hasValue = 1;
      row.refresh = static_cast<std::uint8_t>((row.refresh + 1) % kRefreshCycle);
      row.raw = value.raw;
      row.value = value.si;
      FormatVarRow(row, var);
      value.rows.push_back(static_cast<int>(r));
    }
    if (each)
      each(value);
  }
  return change;
}

void CQelDocContainer::FormatVarRow(VarRowRecord &row, const Variabili &var) const
{
  const double si = row.value;
  const double raw = row.raw;
  if (var.IsFloat())
    row.uiText = RowText(Variabili::FloatBitsText(static_cast<float>(si)));
  else if (var.IsLong())
    row.uiText = RowText(vtx::Format(u"%d", SaturateToLong(raw)));
  else
    row.uiText = RowText(vtx::Format(u"%g", raw));
  if (var.HasFlag4Only())
    row.siText = RowText(FormatBinary16(static_cast<std::uint16_t>(SaturateToLong(raw))));
  else if (var.HasFlag8Only())
    row.siText = RowText(Translate(vtx::Format(u"%s#%d", var.GetNameText(), SaturateToLong(raw)), QString()));
  else
    row.siText = NumberText(var, si);
}

void CQelDocContainer::ConfirmParameterWrite(int first, int count)
{
  for (int address = first; address < first + count; ++address) {
    const int p = ParIndexFromAddress(address);
    if (p >= 0 && GetPar(p).GetAddress() == address)
      GetPar(p).SetOfflineChange(false);
  }
}

void CQelDocContainer::ApplyKTable(std::span<const std::uint16_t> k, std::span<const float> n)
{
  for (std::size_t i = 0; i < k.size(); ++i)
    SetKEntry(static_cast<int>(i), static_cast<std::int16_t>(k[i]));
  for (std::size_t i = 0; i < n.size(); ++i) {
    std::uint32_t bits = 0;
    const float value = n[i];
    std::memcpy(&bits, &value, sizeof bits);
    SetNEntry(static_cast<int>(i), bits);
  }
  UpdateAllSiValues();
}
