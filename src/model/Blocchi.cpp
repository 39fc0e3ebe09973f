#include "Blocchi.h"

#include "Variabili.h"

#include "platform/Trace.h"

#include <algorithm>

Blocchi::Blocchi(int number, const QString &name, int parent, std::uint16_t base, std::uint8_t a)
    : m_a(a), m_names{name}, m_base(base)
{
  VTX_ASSERT(number > 0 && number <= 255);
  m_number = static_cast<std::uint8_t>(std::clamp(number, 1, 255));
  // A parent must come before its child; anything else is the top level.
  m_parent = parent > 0 && parent < m_number ? static_cast<std::uint8_t>(parent) : 0;
}

void Blocchi::SetName(const QString &name)
{
  m_names.append(name);
}

std::int16_t Blocchi::SetNamePos(int pos)
{
  if (pos < 0 || pos >= m_names.size() || pos >= Variabili::MaxLanguages) {
    qCDebug(lcModel, "SetNamePos %d: block %s has %d names", pos, qUtf8Printable(GetName()), int(m_names.size()));
    m_selectedName = 0;
    return 0;
  }
  m_selectedName = static_cast<std::int16_t>(pos);
  return m_selectedName;
}

const QString &Blocchi::GetSelectedName() const
{
  if (m_selectedName > 0 && m_selectedName < m_names.size())
    return m_names[m_selectedName];
  return m_names.front();
}

QString Blocchi::Describe() const
{
  return u'b' + QString::number(m_number) + u' ' + GetName() + u'#' + QString::number(m_parent) +
         QStringLiteral("; b=") + QString::number(m_base) + QStringLiteral("; a=") + QString::number(m_a) + u';';
}

int Blocchi::CompareUShort(std::uint16_t a, std::uint16_t b)
{
  return a < b ? -1 : (a > b ? 1 : 0);
}
