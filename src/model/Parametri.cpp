#include "Parametri.h"

#include "DescLine.h"
#include "FormatBinary16.h"

#include "modbus/RequestPacket.h"
#include "platform/Format.h"
#include "platform/Trace.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

template <typename T> void ClampLimits(T &min, T &max, T &def, T &value)
{
  if (max < min)
    min = max;
  if (def > max)
    def = max;
  if (def < min)
    def = min;
  if (value > max)
    value = max;
  if (value < min)
    value = min;
}

// Limits x to [min, max]; max wins when min exceeds it.
double Limit(double x, double min, double max)
{
  return std::min(max, std::max(x, min));
}

} // namespace

Parametri::Parametri(ItemFields fields, const Values<std::int16_t> &values) : Variabili(std::move(fields), VAR_SHORT)
{
  InitInteger(values.min, values.max, values.def, values.value);
}

Parametri::Parametri(ItemFields fields, const Values<std::int32_t> &values) : Variabili(std::move(fields), VAR_LONG)
{
  InitInteger(values.min, values.max, values.def, values.value);
}

void Parametri::InitInteger(std::int32_t min, std::int32_t max, std::int32_t def, std::int32_t value)
{
  ClampLimits(min, max, def, value);
  m_min = min;
  m_max = max;
  m_def = def;
  m_val = value;
  m_old = value;
  UpdateSiValues();
}

Parametri::Parametri(ItemFields fields, const Values<float> &values) : Variabili(std::move(fields), VAR_FLOAT)
{
  // A NaN would slip through every comparison below; an infinity is the
  // largest float, not 0.
  float min = SaturateToFloat(values.min);
  float max = SaturateToFloat(values.max);
  float def = SaturateToFloat(values.def);
  float value = SaturateToFloat(values.value);
  ClampLimits(min, max, def, value);
  m_minSi = min;
  m_maxSi = max;
  m_defSi = def;
  m_valSi = value;
  m_oldSi = value;
}

Parametri::Parametri(int index, const QString &name, KTablePtr kTable, int k, NTablePtr nTable, int n, int s,
                     std::uint16_t a, std::uint16_t v, std::uint16_t b, std::uint16_t blockBase, std::uint16_t p,
                     std::uint16_t numberInKind, std::int16_t u, std::int16_t min, std::int16_t max, std::int16_t def,
                     std::int16_t value)
    : Parametri(
          Fields(index, name, std::move(kTable), k, std::move(nTable), n, s, a, v, b, blockBase, p, numberInKind, u),
          Values<std::int16_t>{.min = min, .max = max, .def = def, .value = value})
{
}

Parametri::Parametri(int index, const QString &name, KTablePtr kTable, int k, NTablePtr nTable, int n, int s,
                     std::uint16_t a, std::uint16_t v, std::uint16_t b, std::uint16_t blockBase, std::uint16_t p,
                     std::uint16_t numberInKind, std::int16_t u, std::int32_t min, std::int32_t max, std::int32_t def,
                     std::int32_t value)
    : Parametri(
          Fields(index, name, std::move(kTable), k, std::move(nTable), n, s, a, v, b, blockBase, p, numberInKind, u),
          Values<std::int32_t>{.min = min, .max = max, .def = def, .value = value})
{
}

Parametri::Parametri(int index, const QString &name, KTablePtr kTable, int k, NTablePtr nTable, int n, int s,
                     std::uint16_t a, std::uint16_t v, std::uint16_t b, std::uint16_t blockBase, std::uint16_t p,
                     std::uint16_t numberInKind, std::int16_t u, float min, float max, float def, float value)
    : Parametri(
          Fields(index, name, std::move(kTable), k, std::move(nTable), n, s, a, v, b, blockBase, p, numberInKind, u),
          Values<float>{.min = min, .max = max, .def = def, .value = value})
{
}

bool Parametri::Parse(QStringView line) const
{
  CDescLine parsed;
  return parsed.Split(line, CDescLine::ParameterKeys);
}

QString Parametri::Format() const
{
  QString line;
  line.reserve(96 + GetName().size());
  if (IsFloat()) {
    line += u'f' + QString::number(m_index) + u' ' + GetName();
    line += u'=' + vtx::Format(u"%g", m_valSi);
    line += QStringLiteral("; m=") + vtx::Format(u"%g", m_minSi);
    line += QStringLiteral("; d=") + vtx::Format(u"%g", m_defSi);
    line += QStringLiteral("; M=") + vtx::Format(u"%g", m_maxSi);
    line += u"; k=0; n=0; s=0";
  } else {
    line += (IsLong() ? u'l' : u'p') + QString::number(m_index) + u' ' + GetName();
    line += u'=' + QString::number(m_val);
    line += QStringLiteral("; m=") + QString::number(m_min);
    line += QStringLiteral("; d=") + QString::number(m_def);
    line += QStringLiteral("; M=") + QString::number(m_max);
    AppendScaleKeys(line);
  }
  AppendPlaceKeys(line);
  return line;
}

float Parametri::SiOfSlot(std::int32_t slot) const
{
  if (IsShort())
    return FromRaw16(static_cast<std::int16_t>(slot));
  return FromRaw32(slot);
}

void Parametri::UpdateSiValues()
{
  if (IsFloat())
    return;
  m_minSi = SiOfSlot(m_min);
  m_maxSi = SiOfSlot(m_max);
  m_defSi = SiOfSlot(m_def);
  m_valSi = SiOfSlot(m_val);
  m_oldSi = SiOfSlot(m_old);
}

const std::int32_t &Parametri::Slot(int selector) const
{
  switch (selector) {
  case SEL_MIN:
    return m_min;
  case SEL_MAX:
    return m_max;
  case SEL_DEFAULT:
    return m_def;
  case SEL_OLD:
    return m_old;
  default:
    VTX_ASSERT(selector == SEL_VALUE || selector == SEL_GIVEN);
    return m_val;
  }
}

const float &Parametri::SiSlot(int selector) const
{
  switch (selector) {
  case SEL_MIN:
    return m_minSi;
  case SEL_MAX:
    return m_maxSi;
  case SEL_DEFAULT:
    return m_defSi;
  case SEL_OLD:
    return m_oldSi;
  default:
    VTX_ASSERT(selector == SEL_VALUE || selector == SEL_GIVEN);
    return m_valSi;
  }
}

double Parametri::GetValue(int selector) const
{
  return IsFloat() ? double(SiSlot(selector)) : double(Slot(selector));
}

std::int16_t Parametri::GetShortValue() const
{
  VTX_ASSERT(IsShort());
  return static_cast<std::int16_t>(m_val);
}

float Parametri::GetSiValue(int selector) const
{
  return SiSlot(selector);
}

void Parametri::SetValue16(std::int16_t v)
{
  VTX_ASSERT(IsShort());
  std::int32_t x = v;
  if (x > m_max)
    x = m_max;
  if (x < m_min)
    x = m_min;
  m_val = x;
  m_valSi = SiOfSlot(m_val);
}

void Parametri::SetValue32(std::int32_t v)
{
  VTX_ASSERT(IsLong());
  if (v > m_max)
    v = m_max;
  if (v < m_min)
    v = m_min;
  m_val = v;
  m_valSi = SiOfSlot(m_val);
}

void Parametri::SetValueFloat(float f)
{
  VTX_ASSERT(IsFloat());
  // An infinity goes to the limit below; only NaN has no place.
  if (std::isnan(f))
    return;
  if (f > m_maxSi)
    f = m_maxSi;
  if (f < m_minSi)
    f = m_minSi;
  m_valSi = f;
}

void Parametri::SetRawValue(double x)
{
  if (std::isnan(x))
    return;
  const double board = RegisterValue(x);
  if (IsShort())
    SetValue16(static_cast<std::int16_t>(board));
  else if (IsLong())
    SetValue32(static_cast<std::int32_t>(board));
  else
    SetValueFloat(static_cast<float>(board));
}

double Parametri::WordsValue(std::uint16_t low, std::uint16_t high) const
{
  if (IsShort())
    return static_cast<std::int16_t>(low);
  return IsLong() ? WordsToLong(high, low) : double(WordsToFloat(high, low));
}

double Parametri::RegisterValue(double x) const
{
  if (std::isnan(x))
    return x;
  if (IsShort()) {
    // The register holds the low 16 bits of the integer (40000 is -25536);
    // an infinity is no integer and goes to the limit.
    if (std::isinf(x))
      return x > 0 ? INT16_MAX : INT16_MIN;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(SaturateToLong(std::trunc(x))));
  }
  if (IsLong())
    return SaturateToLong(std::trunc(x));
  return SaturateToFloat(x);
}

void Parametri::SetVarLinkValue(std::int16_t v)
{
  VTX_ASSERT(IsVarLink());
  SetValue16(v);
}

void Parametri::SetParLinkValue(std::int16_t v)
{
  VTX_ASSERT(IsParLink());
  SetValue16(v);
}

double Parametri::SiToBoard(double si, double low, double high) const
{
  double x = 0;
  double factor = 1;
  int exponent = 0;
  bool scaled = false;
  const bool kScaled = m_k >= 0 && KScaling(&factor, &exponent);
  const bool nScaled = m_k < 0 && NScaling(&factor);
  if ((kScaled || nScaled) && factor == 0) {
    // Every board value reads as 0 in SI, so no board value answers si:
    // it goes through unscaled rather than divided by 0.
    qCWarning(lcModel, "%s: scale factor 0, the value is taken unscaled", qUtf8Printable(GetName()));
  } else if (kScaled) {
    const double p = std::ldexp(1.0, exponent);
    x = si * p / factor;
    const double b0 = x * factor / p;
    const double b1 = (x + 1) * factor / p;
    const double bm = (x - 1) * factor / p;
    if (std::fabs(si - b1) < std::fabs(si - b0))
      x += 1;
    else if (std::fabs(si - bm) < std::fabs(si - b0))
      x -= 1;
    scaled = true;
  } else if (nScaled) {
    x = si / factor;
    const double b0 = x * factor;
    const double b1 = (x + 1) * factor;
    const double bm = (x - 1) * factor;
    if (std::fabs(si - b1) < std::fabs(si - b0))
      x += 1;
    else if (std::fabs(si - bm) < std::fabs(si - b0))
      x -= 1;
    scaled = true;
  }
  if (!scaled)
    x = std::trunc(std::clamp(si, low, high));
  if (std::isnan(x))
    x = 0;
  x = Limit(x, m_min, m_max);
  return std::floor(x + 0.5);
}

std::int16_t Parametri::SiToShort(double si) const
{
  VTX_ASSERT(IsShort());
  if (std::isnan(si))
    return static_cast<std::int16_t>(m_val);
  return SaturateToShort(SiToBoard(si, -32768.0, 32767.0));
}

std::int32_t Parametri::SiToLong(double si) const
{
  VTX_ASSERT(IsLong());
  if (std::isnan(si))
    return m_val;
  return SaturateToLong(SiToBoard(si, double(INT_MIN), double(INT_MAX)));
}

double Parametri::QuantizeSi(double si) const
{
  if (std::isnan(si))
    return GetValue(SEL_VALUE);
  if (IsShort())
    return SiToShort(si);
  if (IsLong())
    return SiToLong(si);
  return Limit(si, m_minSi, m_maxSi);
}

double Parametri::Clamp(double x) const
{
  // An infinity goes to the limit; NaN has no place and keeps the value.
  if (std::isnan(x))
    return GetValue(SEL_VALUE);
  if (IsShort())
    return Limit(std::trunc(std::clamp(x, -32768.0, 32767.0)), m_min, m_max);
  if (IsLong())
    return Limit(std::trunc(std::clamp(x, double(INT_MIN), double(INT_MAX))), m_min, m_max);
  return Limit(std::clamp(x, -double(FLT_MAX), double(FLT_MAX)), m_minSi, m_maxSi);
}

QString Parametri::GetValueString(int selector, double given) const
{
  if (IsFloat()) {
    if (selector == SEL_GIVEN)
      return vtx::Format(u"%4g", SaturateToFloat(given));
    return FloatBitsText(SiSlot(selector));
  }
  if (selector == SEL_GIVEN) {
    if (!std::isfinite(given))
      given = 0;
    const std::int32_t whole = SaturateToLong(std::trunc(given));
    // A 16-bit item shows what its register would hold: 70000 gives 4464.
    return QString::number(IsShort() ? static_cast<std::int16_t>(static_cast<std::uint16_t>(whole)) : whole);
  }
  return QString::number(Slot(selector));
}

QString Parametri::GetSiValueString(int selector, double given) const
{
  if (selector == SEL_GIVEN)
    return vtx::Format(FormatValue(given), given);
  if (selector != SEL_MIN && selector != SEL_MAX && HasFlag4Only() && !IsFloat())
    return FormatBinary16(static_cast<std::uint16_t>(Slot(selector)));
  const double x = SiSlot(selector);
  return vtx::Format(FormatValue(x), x);
}

bool Parametri::IsChanged() const
{
  return IsFloat() ? m_valSi != m_oldSi : m_val != m_old;
}

bool Parametri::IsNotDefault() const
{
  return IsFloat() ? m_valSi != m_defSi : m_val != m_def;
}

bool Parametri::IsOldDefault() const
{
  return m_old == m_def && m_oldSi == m_defSi;
}

void Parametri::AcceptValue()
{
  m_old = m_val;
  m_oldSi = m_valSi;
}

void Parametri::SetOldRawValue(double x)
{
  if (std::isnan(x))
    return;
  const std::int32_t value = m_val;
  const float valueSi = m_valSi;
  SetRawValue(x);
  AcceptValue();
  m_val = value;
  m_valSi = valueSi;
}
