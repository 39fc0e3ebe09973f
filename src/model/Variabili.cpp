#include "Variabili.h"

#include "platform/Format.h"
#include "platform/Trace.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

// Shift exponents above this read their exponent from the K table.
constexpr int ShiftFromTable = 16;
constexpr int MaxExponent = 4096;

QChar VariableLetter(std::uint32_t type)
{
  switch (type) {
  case VAR_SHORT:
    return u'v';
  case VAR_LONG:
    return u'w';
  case VAR_FLOAT:
    return u'y';
  }
  VTX_ASSERT(!"storage type");
  return u'v';
}

} // namespace

Variabili::Variabili(ItemFields f, std::uint32_t storageType)
    : m_a(f.a), m_pK(std::move(f.kTable)), m_k(f.k), m_pN(std::move(f.nTable)), m_n(f.n), m_s(f.s), m_type(storageType),
      m_v(f.v), m_b(f.b), m_blockBase(f.blockBase), m_p(f.p), m_numberInKind(f.numberInKind),
      m_u(f.u), m_names{std::move(f.name)}
{
  VTX_ASSERT(f.index >= 0 && f.index < MaxIndex);
  m_index = static_cast<std::uint16_t>(std::clamp(f.index, 0, MaxIndex - 1));
  const int address = int(m_blockBase) * 10 + int(m_p);
  VTX_ASSERT(address < 10000);
  m_address = static_cast<std::uint16_t>(std::min(address, 0xFFFF));
  VTX_ASSERT(m_k < 0 || m_pK);
  VTX_ASSERT(m_n < 0 || m_pN);
}

Variabili::Variabili(int index, const QString &name, KTablePtr kTable, int k, NTablePtr nTable, int n, int s,
                     std::uint16_t a, std::uint16_t v, std::uint16_t b, std::uint16_t blockBase, std::uint16_t p,
                     std::uint16_t numberInKind, std::int16_t u, std::uint32_t storageType)
    : Variabili(
          Fields(index, name, std::move(kTable), k, std::move(nTable), n, s, a, v, b, blockBase, p, numberInKind, u),
          storageType)
{
}

ItemFields Variabili::Fields(int index, const QString &name, KTablePtr kTable, int k, NTablePtr nTable, int n, int s,
                             std::uint16_t a, std::uint16_t v, std::uint16_t b, std::uint16_t blockBase,
                             std::uint16_t p, std::uint16_t numberInKind, std::int16_t u)
{
  return {.index = index,
          .name = name,
          .kTable = std::move(kTable),
          .k = k,
          .nTable = std::move(nTable),
          .n = n,
          .s = s,
          .a = a,
          .v = v,
          .b = b,
          .blockBase = blockBase,
          .p = p,
          .numberInKind = numberInKind,
          .u = u};
}

void Variabili::SetName(const QString &name)
{
  m_names.append(name);
}

std::int16_t Variabili::SetNamePos(int pos)
{
  if (pos < 0 || pos >= m_names.size() || pos >= MaxLanguages) {
    qCDebug(lcModel, "SetNamePos %d: %s has %d names", pos, qUtf8Printable(GetName()), int(m_names.size()));
    m_namePos = 0;
    return 0;
  }
  m_namePos = static_cast<std::int16_t>(pos);
  return m_namePos;
}

const QString &Variabili::GetNameText() const
{
  if (m_namePos > 0 && m_namePos < m_names.size())
    return m_names[m_namePos];
  return m_names.front();
}

QString Variabili::GetAddressKey() const
{
  return QString::number(m_blockBase) + u'_' + QString::number(m_p);
}

QString Variabili::Describe() const
{
  QString line;
  line.reserve(64 + GetName().size());
  line += VariableLetter(m_type);
  line += QString::number(m_index);
  line += u' ';
  line += GetName();
  AppendScaleKeys(line);
  AppendPlaceKeys(line);
  return line;
}

void Variabili::AppendScaleKeys(QString &line) const
{
  line += QStringLiteral("; k=") + QString::number(m_k);
  line += QStringLiteral("; n=") + QString::number(m_n);
  line += QStringLiteral("; s=") + QString::number(m_s);
}

void Variabili::AppendPlaceKeys(QString &line) const
{
  line += QStringLiteral("; b=") + QString::number(m_b);
  line += QStringLiteral("; p=") + QString::number(m_p);
  line += QStringLiteral("; v=") + QString::number(m_v);
  line += QStringLiteral("; a=") + QString::number(m_a);
  line += QStringLiteral("; u=") + QString::number(m_u);
  line += u';';
}

bool Variabili::Parse(QStringView) const
{
  return false;
}

bool Variabili::KScaling(double *factor, int *exponent) const
{
  if (m_k < 0)
    return false;
  if (!m_pK || m_k >= static_cast<int>(m_pK->size())) {
    qCWarning(lcModel, "%s: K[%d] does not exist", qUtf8Printable(GetName()), m_k);
    return false;
  }
  *factor = (*m_pK)[m_k];
  int e = m_s;
  if (m_s > ShiftFromTable) {
    const int at = m_s - ShiftFromTable;
    if (at < static_cast<int>(m_pK->size())) {
      e = (*m_pK)[at];
    } else {
      qCWarning(lcModel, "%s: shift K[%d] does not exist, exponent 0", qUtf8Printable(GetName()), at);
      e = 0;
    }
  }
  // Beyond this a power of two is 0 or infinite in a double anyway; the
  // bound keeps the exponent's negation defined.
  *exponent = std::clamp(e, -MaxExponent, MaxExponent);
  return true;
}

bool Variabili::NScaling(double *factor) const
{
  if (m_n < 0)
    return false;
  if (!m_pN || m_n >= static_cast<int>(m_pN->size())) {
    qCWarning(lcModel, "%s: N[%d] does not exist", qUtf8Printable(GetName()), m_n);
    return false;
  }
  *factor = (*m_pN)[m_n];
  // A board can send any 32 bits as an entry; a factor that is not a number
  // or infinite scales nothing.
  return std::isfinite(*factor);
}

float Variabili::Scale(double raw) const
{
  double si = raw;
  double factor = 1;
  int exponent = 0;
  if (m_k >= 0) {
    if (KScaling(&factor, &exponent))
      si = std::ldexp(raw * factor, -exponent);
  } else if (NScaling(&factor)) {
    si = raw * factor;
  }
  if (std::isnan(si))
    return 0.0f;
  // "+ 0.0" makes the -0 of a negative raw value times a factor of 0 a plain 0.
  return static_cast<float>(std::clamp(si, -double(FLT_MAX), double(FLT_MAX)) + 0.0);
}

float Variabili::FromRaw16(std::int16_t raw) const
{
  VTX_ASSERT(IsShort());
  return Scale(raw);
}

float Variabili::FromRaw32(std::int32_t raw) const
{
  VTX_ASSERT(IsLong());
  return Scale(raw);
}

double Variabili::FromRaw(double raw) const
{
  if (std::isnan(raw))
    return 0;
  switch (m_type) {
  case VAR_SHORT:
    return Scale(std::trunc(std::clamp(raw, -32768.0, 32767.0)));
  case VAR_LONG:
    return Scale(std::trunc(std::clamp(raw, double(INT_MIN), double(INT_MAX))));
  case VAR_FLOAT:
    return std::clamp(raw, -double(FLT_MAX), double(FLT_MAX));
  }
  VTX_ASSERT(!"storage type");
  return 0;
}

double Variabili::GetScaleFactor() const
{
  if (IsFloat())
    return 1.0;
  double factor = 1;
  int exponent = 0;
  if (m_k >= 0)
    return KScaling(&factor, &exponent) ? std::ldexp(factor, -exponent) : 1.0;
  if (NScaling(&factor))
    return factor;
  return 1.0;
}

QString Variabili::FormatValue(double x) const
{
  int d = m_decimals;
  if (d == -1) {
    if (x == 0 || !std::isfinite(x)) {
      d = 99;
    } else {
      const double l = std::log10(std::fabs(x));
      if (l <= -4) {
        d = 0;
      } else {
        d = 3 - static_cast<int>(std::floor(l));
        if (d < 1)
          d = 0;
      }
      if (d > 0) {
        // The fewest decimals that show x within 0.01 %.
        const int limit = std::min(d, 5);
        d = limit;
        for (int t = 0; t < limit; ++t) {
          const double r = std::floor(x * std::pow(10.0, t) + 0.5) * std::pow(0.1, t);
          if (std::fabs((x - r) / x) < 0.0001) {
            d = t;
            break;
          }
        }
      }
    }
  }
  if (d == 0)
    return QStringLiteral("%1.f");
  if (d >= 1 && d <= 9)
    return QStringLiteral("%.") + QChar(u'0' + d) + u'f';
  return QStringLiteral("%g");
}

QString Variabili::FloatBitsText(float value)
{
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return vtx::Format(u"%08Xhex", bits);
}
