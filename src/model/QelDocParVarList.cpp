#include "QelDocParVarList.h"

#include "DescLine.h"
#include "generali.h"

#include "platform/Format.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstring>
#include <utility>

namespace {

// A number of a parameter or variable line as its 16-bit field holds it:
// the low 16 bits in two's complement, so 40000 is the register 0x9C40
// (-25536) and "-1" and "65535" both give 0xFFFF. The reader has already
// saturated the number at the int range.
std::int16_t KeyToShort(int x)
{
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(x));
}

// The block an item line names, as its 16-bit field holds it; 0 for none.
int BlockKey(const CDescLine &d)
{
  return KeyToShort(d.KeyInt(u'b', 0));
}

bool IsParameterKind(QChar kind)
{
  return QStringView(u"plf").contains(kind);
}

std::uint16_t KeyToWord(int x)
{
  return static_cast<std::uint16_t>(x);
}

// A block line's base number: an unsigned 16-bit field, saturated.
std::uint16_t BaseToWord(int x)
{
  return static_cast<std::uint16_t>(std::clamp(x, -32768, 65535));
}

std::uint8_t KeyToByte(int x)
{
  return static_cast<std::uint8_t>(std::clamp(x, -128, 255));
}

std::uint32_t StorageTypeOf(QChar kind)
{
  switch (kind.unicode()) {
  case 'p':
  case 'v':
    return VAR_SHORT;
  case 'l':
  case 'w':
    return VAR_LONG;
  case 'f':
  case 'y':
    return VAR_FLOAT;
  }
  return UINT32_MAX;
}

bool TargetFits(const Parametri &link, const Variabili &target)
{
  if (link.IsFloatLink())
    return target.IsFloat();
  if (link.IsLongLink())
    return target.IsLong();
  return target.IsShort();
}

// Display decimals from the unit: one for "rpm", "V" and "A", automatic for
// other units, four for a "u" key that names no unit, the general format for
// a line without one.
std::int16_t DecimalsOf(const CDescLine &d, const QStringList &units, int u)
{
  if (!d.HasKey(u'u'))
    return 88;
  if (u < 0)
    return 4;
  const QString &unit = units[u];
  return unit == u"rpm" || unit == u"V" || unit == u"A" ? 1 : -1;
}

// The value, limits and default of a parameter line in its storage type.
Parametri::Values<std::int16_t> ShortValues(const CDescLine &d)
{
  Parametri::Values<std::int16_t> x;
  x.min = KeyToShort(d.KeyInt(u'm', 0));
  x.max = KeyToShort(d.KeyInt(u'M', 0));
  x.def = KeyToShort(d.KeyInt(u'd', 0));
  x.value = KeyToShort(CDescLine::ReadInt(d.Rest()));
  return x;
}

Parametri::Values<std::int32_t> LongValues(const CDescLine &d)
{
  Parametri::Values<std::int32_t> x;
  x.min = d.KeyInt(u'm', 0);
  x.max = d.KeyInt(u'M', 0);
  x.def = d.KeyInt(u'd', 0);
  x.value = CDescLine::ReadInt(d.Rest());
  return x;
}

Parametri::Values<float> FloatValues(const CDescLine &d)
{
  Parametri::Values<float> x;
  x.min = SaturateToFloat(d.KeyDouble(u'm', 0));
  x.max = SaturateToFloat(d.KeyDouble(u'M', 0));
  x.def = SaturateToFloat(d.KeyDouble(u'd', 0));
  x.value = SaturateToFloat(CDescLine::ReadDouble(d.Rest()));
  return x;
}

// Blanks are spaces: a tab stays where it stands.
QString WithoutBlanks(QStringView line)
{
  QString out;
  out.reserve(line.size());
  for (QChar c : line) {
    if (c != u' ')
      out += c;
  }
  return out;
}

} // namespace

CQelDocParVarList::CQelDocParVarList(QObject *parent)
    : CQelDocLanguage(parent), m_pKTable(std::make_shared<KTable>()), m_pNTable(std::make_shared<NTable>())
{
  m_VarMap.fill(NoItem);
  m_ParMap.fill(NoItem);
}

void CQelDocParVarList::DeleteContents()
{
  CQelDocLanguage::DeleteContents();
  m_Parametri.clear();
  m_Variabili.clear();
  m_Blocchi.clear();
  m_pKTable->clear();
  m_pNTable->clear();
  m_VarMap.fill(NoItem);
  m_ParMap.fill(NoItem);
  m_bTables = m_bBlocks = m_bParameters = m_bVariables = false;
  m_nParFloat = m_nParLong = m_nParShort = 0;
  m_nVarFloat = m_nVarLong = m_nVarShort = 0;
}

bool CQelDocParVarList::ParseKTable(QStringView line)
{
  if (!CDescLine::ReadKTable(line, m_pKTable.get())) {
    qCWarning(lcModel, "K table line without '=' refused");
    return false;
  }
  m_bTables = true;
  return true;
}

bool CQelDocParVarList::ParseNTable(QStringView line)
{
  if (!CDescLine::ReadNTable(line, m_pNTable.get())) {
    qCWarning(lcModel, "N table line without '=' refused");
    return false;
  }
  m_bTables = true;
  return true;
}

bool CQelDocParVarList::ParseUnits(QStringView line)
{
  if (!CDescLine::ReadUnits(line, &m_Units)) {
    qCWarning(lcModel, "unit line without '=' refused");
    return false;
  }
  return true;
}

bool CQelDocParVarList::ParseBlockLine(QStringView line, QString *name, std::uint8_t *number, std::uint8_t *parent,
                                       std::uint8_t *attribute)
{
  CDescLine d;
  if (!d.Split(line, CDescLine::BlockKeys))
    return false;
  const int num = d.Index();
  const int expected = m_Blocchi.empty() ? 1 : GetBlockCount();
  if (num < 1 || num > 255 || num != expected) {
    qCWarning(lcModel, "block line %d refused: block %d expected", num, expected);
    return false;
  }
  int up = CDescLine::ReadInt(d.Rest());
  if (up < 0 || up >= num)
    up = 0;
  const std::uint16_t base = BaseToWord(d.KeyInt(u'b', 0));
  const std::uint8_t a = KeyToByte(d.KeyInt(u'a', 0));
  Blocchi block(num, d.Name().toString(), up, base, a);
  if (m_Blocchi.empty())
    m_Blocchi.push_back(block); // entry 0: no block
  m_Blocchi.push_back(std::move(block));
  m_bBlocks = true;
  if (name)
    *name = m_Blocchi.back().GetName();
  if (number)
    *number = static_cast<std::uint8_t>(num);
  if (parent)
    *parent = static_cast<std::uint8_t>(up);
  if (attribute)
    *attribute = a;
  return true;
}

bool CQelDocParVarList::ParseParameterLine(QStringView line, QString *name, BlockRule rule)
{
  CDescLine d;
  std::uint32_t type = VAR_SHORT;
  ItemFields f;
  if (!ReadItemLine(line, true, rule, d, type, f))
    return false;
  const std::int16_t decimals = DecimalsOf(d, m_Units, f.u);
  if (name)
    *name = f.name;
  switch (type) {
  case VAR_SHORT:
    m_Parametri.emplace_back(f, ShortValues(d));
    break;
  case VAR_LONG:
    m_Parametri.emplace_back(f, LongValues(d));
    break;
  default:
    m_Parametri.emplace_back(f, FloatValues(d));
    break;
  }
  m_Parametri.back().SetNumDecimals(decimals);
  m_bParameters = true;
  EnterItem(true, type, f);
  return true;
}

bool CQelDocParVarList::ParseVariableLine(QStringView line, int *index, QString *name, int *block, BlockRule rule)
{
  CDescLine d;
  std::uint32_t type = VAR_SHORT;
  ItemFields f;
  if (!ReadItemLine(line, false, rule, d, type, f))
    return false;
  if (name)
    *name = f.name;
  if (index)
    *index = f.index;
  if (block)
    *block = f.b;
  m_Variabili.emplace_back(f, type);
  m_Variabili.back().SetNumDecimals(DecimalsOf(d, m_Units, f.u));
  EnterItem(false, type, f);
  return true;
}

// The checks a parameter or variable line passes before it makes a record,
// and its fields: the line's kind must fit, the tables and a block must be
// known, the index must be the next one of its list, and under
// RefuseUnloaded its block must be loaded.
bool CQelDocParVarList::ReadItemLine(QStringView line, bool parameter, BlockRule rule, CDescLine &d,
                                     std::uint32_t &type, ItemFields &f)
{
  if (line.isEmpty())
    return false;
  type = StorageTypeOf(line[0]);
  const bool kindFits = parameter == IsParameterKind(line[0]);
  if (!kindFits || type == UINT32_MAX)
    return false;
  if (!m_bTables || m_Blocchi.empty())
    return false;
  if (!parameter)
    m_bVariables = true;

  if (!d.Split(line, parameter ? CDescLine::ParameterKeys : CDescLine::VariableKeys))
    return false;
  const int count = parameter ? GetParCount() : GetVarCount();
  if (d.Index() != count || count >= Variabili::MaxIndex) {
    qCWarning(lcModel, "line of index %d refused: %d expected", d.Index(), count);
    return false;
  }
  // The number as written: its 16-bit field would turn 65535 into -1 (block
  // 1) and 65542 into 6. Zero or negative stands for block 1, loaded or not.
  const int b = d.KeyInt(u'b', 0);
  if (rule == BlockRule::RefuseUnloaded && ((b > 0 && b >= GetBlockCount()) || b < -32768)) {
    qCWarning(lcModel, "line of index %d refused: block %d not loaded", count, b);
    return false;
  }
  f.index = count;
  f.name = d.Name().toString();
  if (!ReadItemKeys(d, parameter && type == VAR_FLOAT, type, f))
    return false;

  // Floats are numbered first, then 32-bit items, then 16-bit items.
  const int nFloat = parameter ? m_nParFloat : m_nVarFloat;
  const int nLong = parameter ? m_nParLong : m_nVarLong;
  int numberInKind = count;
  if (type == VAR_LONG)
    numberInKind = count - nFloat;
  else if (type == VAR_SHORT)
    numberInKind = count - nFloat - nLong;
  f.numberInKind = static_cast<std::uint16_t>(std::max(numberInKind, 0));
  return true;
}

// The scaling and place keys; false when the item's registers would lie
// outside the address range. A float parameter takes no scaling.
bool CQelDocParVarList::ReadItemKeys(const CDescLine &d, bool floatParameter, std::uint32_t type, ItemFields &f) const
{
  f.kTable = m_pKTable;
  f.k = KeyToShort(d.KeyInt(u'k', -1));
  if (f.k < 0 || f.k >= static_cast<int>(m_pKTable->size()) || floatParameter)
    f.k = -1;
  f.nTable = m_pNTable;
  f.n = KeyToShort(d.KeyInt(u'n', -1));
  if (f.n < 0 || f.n >= static_cast<int>(m_pNTable->size()) || floatParameter)
    f.n = -1;
  f.s = floatParameter ? -1 : KeyToShort(d.KeyInt(u's', 0));
  int b = BlockKey(d);
  if (b <= 0 || b >= GetBlockCount())
    b = 1;
  f.b = static_cast<std::uint16_t>(b);
  f.v = KeyToWord(d.KeyInt(u'v', 0));
  f.a = KeyToWord(d.KeyInt(u'a', 0));
  int u = KeyToShort(d.KeyInt(u'u', -1));
  if (u < 0 || u >= GetUnitCount())
    u = -1;
  f.u = static_cast<std::int16_t>(u);

  // Check the whole register range in int before anything is narrowed.
  const int p = d.KeyInt(u'p', 0);
  f.blockBase = m_Blocchi[b].GetBase();
  const long long address = static_cast<long long>(f.blockBase) * 10 + p;
  const int registers = type == VAR_SHORT ? 1 : 2;
  if (p < 0 || address < 0 || address + registers > MaxAddress) {
    qCWarning(lcModel, "line of index %d refused: address %lld out of range", f.index, address);
    return false;
  }
  f.p = static_cast<std::uint16_t>(p);
  return true;
}

// The record just appended: its registers go into the list's address map,
// and its storage kind is counted.
void CQelDocParVarList::EnterItem(bool parameter, std::uint32_t type, const ItemFields &f)
{
  auto &map = parameter ? m_ParMap : m_VarMap;
  const int address = f.blockBase * 10 + f.p;
  map[address] = static_cast<std::uint16_t>(f.index);
  if (type != VAR_SHORT)
    map[address + 1] = static_cast<std::uint16_t>(f.index);
  std::uint16_t &nFloat = parameter ? m_nParFloat : m_nVarFloat;
  std::uint16_t &nLong = parameter ? m_nParLong : m_nVarLong;
  std::uint16_t &nShort = parameter ? m_nParShort : m_nVarShort;
  ++(type == VAR_FLOAT ? nFloat : type == VAR_LONG ? nLong : nShort);
}

bool CQelDocParVarList::ParseDescLine(QStringView line)
{
  if (line.isEmpty())
    return false;
  switch (line[0].unicode()) {
  case 'K':
    return ParseKTable(line);
  case 'N':
    return ParseNTable(WithoutBlanks(line));
  case 'U':
    return ParseUnits(WithoutBlanks(line));
  case 'b': {
    QString name;
    std::uint8_t number = 0;
    std::uint8_t parent = 0;
    if (!ParseBlockLine(line, &name, &number, &parent))
      return false;
    qCDebug(lcModel, "%s %s %d %d", qUtf8Printable(line.toString()), qUtf8Printable(name), number, parent);
    return true;
  }
  case 'p':
  case 'l':
  case 'f':
    return ParseParameterLine(line, nullptr, BlockRule::RefuseUnloaded);
  case 'v':
  case 'w':
  case 'y':
    return ParseVariableLine(line, nullptr, nullptr, nullptr, BlockRule::RefuseUnloaded);
  }
  return false;
}

void CQelDocParVarList::SerializeKTable(QString &out) const
{
  out += CDescLine::WriteKTable(*m_pKTable) + QStringLiteral("\r\n");
}

void CQelDocParVarList::SerializeNTable(QString &out) const
{
  out += CDescLine::WriteNTable(*m_pNTable) + QStringLiteral("\r\n");
}

void CQelDocParVarList::SerializeUnits(QString &out) const
{
  out += CDescLine::WriteUnits(m_Units) + QStringLiteral("\r\n");
}

void CQelDocParVarList::SerializeBlocks(QString &out) const
{
  for (std::size_t i = 1; i < m_Blocchi.size(); ++i)
    out += m_Blocchi[i].Describe() + QStringLiteral("\r\n");
}

void CQelDocParVarList::SerializeParameters(QString &out) const
{
  for (const Parametri &p : m_Parametri)
    out += p.Format() + QStringLiteral("\r\n");
}

void CQelDocParVarList::SerializeVariables(QString &out) const
{
  for (const Variabili &v : m_Variabili)
    out += v.Describe() + QStringLiteral("\r\n");
}

int CQelDocParVarList::GetParCountOfType(std::uint32_t storageType) const
{
  switch (storageType) {
  case VAR_SHORT:
    return m_nParShort;
  case VAR_LONG:
    return m_nParLong;
  case VAR_FLOAT:
    return m_nParFloat;
  }
  return 0;
}

int CQelDocParVarList::GetCommandParIndex() const
{
  const int index = m_nParFloat + m_nParLong;
  // Board commands are one register: anything else there is not par0.
  if (index >= GetParCount() || !m_Parametri[index].IsShort())
    return -1;
  return index;
}

int CQelDocParVarList::GetVarCountOfType(std::uint32_t storageType) const
{
  switch (storageType) {
  case VAR_SHORT:
    return m_nVarShort;
  case VAR_LONG:
    return m_nVarLong;
  case VAR_FLOAT:
    return m_nVarFloat;
  }
  return 0;
}

QString CQelDocParVarList::GetUnitName(int unit) const
{
  return IsUnitValid(unit) ? m_Units[unit] : QString();
}

void CQelDocParVarList::UpdateAllSiValues()
{
  for (Parametri &p : m_Parametri)
    p.UpdateSiValues();
}

void CQelDocParVarList::SetKEntry(int i, std::int16_t v)
{
  if (i < 0 || i >= static_cast<int>(m_pKTable->size())) {
    qCWarning(lcModel, "SetKEntry %d: the K table has %d entries", i, int(m_pKTable->size()));
    return;
  }
  (*m_pKTable)[i] = v;
}

void CQelDocParVarList::SetNEntry(int i, std::uint32_t bits)
{
  if (i < 0 || i >= static_cast<int>(m_pNTable->size())) {
    qCWarning(lcModel, "SetNEntry %d: the N table has %d entries", i, int(m_pNTable->size()));
    return;
  }
  float f = 0;
  std::memcpy(&f, &bits, sizeof f);
  (*m_pNTable)[i] = f;
}

std::int16_t CQelDocParVarList::VarIndexFromAddress(int address) const
{
  if (address < 0 || address >= MaxAddress)
    return -1;
  const std::uint16_t t = m_VarMap[address];
  return t == NoItem ? -1 : static_cast<std::int16_t>(t);
}

std::int16_t CQelDocParVarList::ParIndexFromAddress(int address) const
{
  if (address < 0 || address >= MaxAddress)
    return -1;
  const std::uint16_t t = m_ParMap[address];
  return t == NoItem ? -1 : static_cast<std::int16_t>(t);
}

bool CQelDocParVarList::AddressFromKeyText(QStringView text, int *address)
{
  const qsizetype at = text.indexOf(u'_');
  if (at < 1)
    return false;
  int base = 0;
  int position = 0;
  if (!vtx::ParseInt(text.left(at), &base) || !vtx::ParseInt(text.mid(at + 1), &position))
    return false;
  if (base < 0 || position < 0)
    return false;
  const long long a = static_cast<long long>(base) * 10 + position;
  if (a >= MaxAddress)
    return false;
  *address = static_cast<int>(a);
  return true;
}

bool CQelDocParVarList::VarIndexFromKeyText(const QString &text, std::int16_t &index) const
{
  int address = 0;
  if (!AddressFromKeyText(text, &address))
    return false;
  const std::int16_t t = VarIndexFromAddress(address);
  if (t < 0)
    return false;
  index = t;
  return true;
}

const Parametri *CQelDocParVarList::ParAt(int par) const
{
  if (!VTX_ASSERT(par >= 0 && par < GetParCount()))
    return nullptr;
  return &m_Parametri[par];
}

int CQelDocParVarList::SelectedAddress(const Parametri &p, int selector) const
{
  const double v = p.GetValue(selector);
  if (!std::isfinite(v))
    return -1;
  return static_cast<int>(std::trunc(std::clamp(v, double(INT_MIN), double(INT_MAX))));
}

std::int16_t CQelDocParVarList::GetLinkedVarIndex(int par, int selector) const
{
  const Parametri *p = ParAt(par);
  if (!p)
    return -1;
  VTX_ASSERT(p->IsVarLink());
  return VarIndexFromAddress(SelectedAddress(*p, selector));
}

std::int16_t CQelDocParVarList::GetLinkedParIndex(int par, int selector) const
{
  const Parametri *p = ParAt(par);
  if (!p)
    return -1;
  VTX_ASSERT(p->IsParLink());
  return ParIndexFromAddress(SelectedAddress(*p, selector));
}

bool CQelDocParVarList::CheckLinkTarget(int par, int address, bool strict) const
{
  const Parametri *p = ParAt(par);
  if (!p || address < 0 || address >= MaxAddress)
    return false;
  if (p->IsVarLink()) {
    const std::uint16_t t = m_VarMap[address];
    if (t >= m_Variabili.size())
      return false;
    const Variabili &target = m_Variabili[t];
    return TargetFits(*p, target) || (!strict && !target.IsShort());
  }
  if (p->IsParLink()) {
    const std::uint16_t t = m_ParMap[address];
    return t < m_Parametri.size() && TargetFits(*p, m_Parametri[t]);
  }
  return false;
}

bool CQelDocParVarList::IsLinkValid(int par, int selector, bool strict) const
{
  const Parametri *p = ParAt(par);
  return p && CheckLinkTarget(par, SelectedAddress(*p, selector), strict);
}

QString CQelDocParVarList::GetParText(int par, int selector, bool useMessage) const
{
  const Parametri *p = ParAt(par);
  if (!p)
    return {};
  VTX_ASSERT(p->IsVarLink());
  const int address = SelectedAddress(*p, selector);
  // The validity may have been judged on the other map (both link bits, or
  // none): name only what this map holds.
  const std::int16_t t = VarIndexFromAddress(address);
  if (t >= 0 && IsLinkValid(par, selector, true))
    return m_Variabili[t].GetNameText();
  if (t >= 0 && IsLinkValid(par, selector, false)) {
    const Variabili &target = m_Variabili[t];
    if (target.IsShort())
      return target.GetNameText();
    // The low word sits in the variable's own register, the high word in the
    // next one, whatever the parity of the address.
    return target.GetNameText() + (address == target.GetAddress() ? QStringLiteral("_LO") : QStringLiteral("_HI"));
  }
  return useMessage ? LoadStr(IDS_INVALID_LINK) : QString::number(address);
}

QString CQelDocParVarList::GetParTextParLink(int par, int selector, bool useMessage) const
{
  const Parametri *p = ParAt(par);
  if (!p)
    return {};
  VTX_ASSERT(p->IsParLink());
  const int address = SelectedAddress(*p, selector);
  const std::int16_t t = ParIndexFromAddress(address);
  if (t >= 0 && IsLinkValid(par, selector, false))
    return m_Parametri[t].GetNameText();
  return useMessage ? LoadStr(IDS_XXX_E4) : QString::number(address);
}

QString CQelDocParVarList::GetVarTextAtAddress(int par, int address, bool useMessage) const
{
  const Parametri *p = ParAt(par);
  if (!p)
    return {};
  VTX_ASSERT(p->IsVarLink());
  const std::int16_t t = VarIndexFromAddress(address);
  if (t >= 0 && CheckLinkTarget(par, address, false))
    return m_Variabili[t].GetNameText();
  return useMessage ? LoadStr(IDS_XXX_E2) : QString::number(SelectedAddress(*p, Parametri::SEL_VALUE));
}

QString CQelDocParVarList::GetParTextAtAddress(int par, int address, bool useMessage) const
{
  const Parametri *p = ParAt(par);
  if (!p)
    return {};
  VTX_ASSERT(p->IsParLink());
  const std::int16_t t = ParIndexFromAddress(address);
  if (t >= 0 && CheckLinkTarget(par, address, false))
    return m_Parametri[t].GetNameText();
  return useMessage ? LoadStr(IDS_XXX_E3) : QString::number(SelectedAddress(*p, Parametri::SEL_VALUE));
}

QString CQelDocParVarList::GetLinkValueText(int par, bool useMessage, int selector) const
{
  const Parametri *p = ParAt(par);
  if (!p)
    return {};
  const int address = SelectedAddress(*p, selector);
  if (!p->IsLink())
    return useMessage ? LoadStr(IDS_XXX_E6) : QString::number(address);
  if (!IsLinkValid(par, selector, false))
    return useMessage ? LoadStr(IDS_XXX_E5) : QString::number(address);
  if (p->IsVarLink()) {
    const Variabili &target = m_Variabili[m_VarMap[address]];
    // A 16-bit link may name the second register of a wide variable.
    if (p->IsShortLink() && !target.IsShort() && address != target.GetAddress())
      return QString::number(target.GetBlockBase()) + u'_' + QString::number(target.GetPosition() + 1);
    return target.GetAddressKey();
  }
  return m_Parametri[m_ParMap[address]].GetAddressKey();
}

QString CQelDocParVarList::GetLinkText(int par, int selector) const
{
  const Parametri *p = ParAt(par);
  if (!p)
    return {};
  if (!p->IsLink())
    return p->GetValueString(selector);
  if (!IsLinkValid(par, selector, false))
    return QStringLiteral("p(") + p->GetValueString(selector) + u')';
  const int address = SelectedAddress(*p, selector);
  return p->IsVarLink() ? m_Variabili[m_VarMap[address]].GetAddressKey()
                        : m_Parametri[m_ParMap[address]].GetAddressKey();
}

QString CQelDocParVarList::GetLinkSiText(int par, int selector) const
{
  const Parametri *p = ParAt(par);
  if (!p)
    return {};
  if (!p->IsLink())
    return p->GetSiValueString(selector);
  if (!IsLinkValid(par, selector, false))
    return QStringLiteral("p(") + p->GetSiValueString(selector) + u')';
  const int address = SelectedAddress(*p, selector);
  return p->IsVarLink() ? m_Variabili[m_VarMap[address]].GetAddressKey()
                        : m_Parametri[m_ParMap[address]].GetAddressKey();
}

bool CQelDocParVarList::SetParFromText(int par, const QString &text, double *out) const
{
  const Parametri *p = ParAt(par);
  if (!p)
    return false;
  if (!p->IsLink()) {
    *out = vtx::AtofLike(text);
    return false;
  }
  int address = 0;
  if (!AddressFromKeyText(text, &address) || !CheckLinkTarget(par, address, false))
    return false;
  *out = address;
  return true;
}

void CQelDocParVarList::SortParIndexes(std::vector<std::uint16_t> &indexes, int lo, int hi, bool ascending) const
{
  if (lo < 0 || hi >= static_cast<int>(indexes.size()) || lo >= hi)
    return;
  for (int i = lo; i <= hi; ++i) {
    if (!VTX_ASSERT(indexes[i] < m_Parametri.size()))
      return;
  }
  SortRange(indexes, lo, hi, ascending);
}

void CQelDocParVarList::SortRange(std::vector<std::uint16_t> &indexes, int lo, int hi, bool ascending) const
{
  auto key = [&](int i) { return m_Parametri[indexes[i]].GetAddress(); };
  int i = lo;
  int j = hi;
  const std::uint16_t pivot = key((lo + hi) / 2);
  do {
    if (ascending) {
      while (key(i) < pivot)
        ++i;
      while (key(j) > pivot)
        --j;
    } else {
      while (key(i) > pivot)
        ++i;
      while (key(j) < pivot)
        --j;
    }
    if (i <= j) {
      if (i != j)
        std::swap(indexes[i], indexes[j]);
      ++i;
      --j;
    }
  } while (i <= j);
  if (lo < j)
    SortRange(indexes, lo, j, ascending);
  if (i < hi)
    SortRange(indexes, i, hi, ascending);
}

void CQelDocParVarList::Dump() const
{
  qCDebug(lcModel, "\n CDescMacchina::dump");
}
