#include "DescLine.h"

#include "platform/Format.h"
#include "platform/Trace.h"

#include <QStringList>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int MaxTableEntries = 100;

bool IsIndexStart(QChar c)
{
  const char16_t u = c.unicode();
  return (u >= '0' && u <= '9') || u == '+' || u == '-';
}

// Letters as the C locale sees them.
bool IsAsciiLetter(QChar c)
{
  const char16_t u = c.unicode();
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

bool IsNameEnd(QChar c)
{
  return c == u'#' || c == u'=' || c == u';';
}

bool IsBlank(QChar c)
{
  const char16_t u = c.unicode();
  return u == ' ' || (u >= '\t' && u <= '\r');
}

bool OnlyBlanks(QStringView text)
{
  return std::all_of(text.begin(), text.end(), IsBlank);
}

// Reads "X[] = a; b; c" into the table with read(); at most maxEntries, and
// an empty list reads as the one entry 1.
template <typename T, typename Read> bool ReadTable(QStringView line, std::vector<T> *table, int maxEntries, Read read)
{
  const qsizetype eq = line.indexOf(u'=');
  if (eq < 0)
    return false;
  table->clear();
  qsizetype pos = eq + 1;
  while (static_cast<int>(table->size()) < maxEntries) {
    const QStringView here = line.mid(pos);
    if (OnlyBlanks(here))
      break;
    table->push_back(read(here));
    const qsizetype semi = line.indexOf(u';', pos);
    if (semi < 0)
      break;
    pos = semi + 1;
  }
  if (table->empty())
    table->push_back(T(1));
  return true;
}

} // namespace

bool CDescLine::Split(QStringView line, QStringView keyLetters)
{
  *this = CDescLine();
  m_letters = keyLetters.left(MaxKeys);

  // Every complete line ends with ';': one without was cut short, and its
  // missing keys must not take their defaults (a block of 1, a position of 0
  // would place the item on another item's registers).
  while (!line.isEmpty() && IsBlank(line.back()))
    line.chop(1);
  if (!line.endsWith(u';'))
    return false;

  qsizetype i = 0;
  while (i < line.size() && !IsIndexStart(line[i]))
    ++i;
  if (i == line.size())
    return false;
  const QStringView cut = line.mid(i);
  m_index = ReadInt(cut);

  qsizetype start = 0;
  while (start < cut.size() && !IsAsciiLetter(cut[start]))
    ++start;
  if (start == cut.size())
    return false;
  qsizetype end = start;
  while (end < cut.size() && !IsNameEnd(cut[end]))
    ++end;
  m_name = cut.mid(start, end - start);
  m_rest = end + 1 < cut.size() ? cut.mid(end + 1) : QStringView();

  // Each key counts once, at its first occurrence.
  bool taken[MaxKeys] = {};
  QStringView rest = m_rest;
  while (!rest.isEmpty()) {
    int which = -1;
    qsizetype at = 0;
    for (; at < rest.size() && which < 0; ++at) {
      const qsizetype k = m_letters.indexOf(rest[at]);
      if (k >= 0 && !taken[k])
        which = static_cast<int>(k);
    }
    if (which < 0)
      break;
    taken[which] = true;
    // 'at' is past the letter; skip the '=' too. A key with nothing after it
    // is a cut line as well.
    rest = at + 1 < rest.size() ? rest.mid(at + 1) : QStringView();
    if (rest.isEmpty())
      return false;
    m_keys[which] = rest;
    m_found[which] = true;
  }
  return true;
}

bool CDescLine::HasKey(QChar letter) const
{
  const qsizetype k = m_letters.indexOf(letter);
  return k >= 0 && m_found[k];
}

int CDescLine::KeyInt(QChar letter, int def) const
{
  const qsizetype k = m_letters.indexOf(letter);
  return k >= 0 && m_found[k] ? ReadInt(m_keys[k]) : def;
}

double CDescLine::KeyDouble(QChar letter, double def) const
{
  const qsizetype k = m_letters.indexOf(letter);
  return k >= 0 && m_found[k] ? ReadDouble(m_keys[k]) : def;
}

int CDescLine::ReadInt(QStringView text)
{
  return vtx::AtoiLike(text);
}

double CDescLine::ReadDouble(QStringView text)
{
  return vtx::AtofLike(text);
}

bool CDescLine::ReadKTable(QStringView line, std::vector<std::int32_t> *table)
{
  return ReadTable(line, table, MaxTableEntries, [](QStringView v) { return std::int32_t(ReadInt(v)); });
}

bool CDescLine::ReadNTable(QStringView line, std::vector<float> *table)
{
  return ReadTable(line, table, MaxTableEntries, [](QStringView v) { return SaturateToFloat(ReadDouble(v)); });
}

bool CDescLine::ReadUnits(QStringView line, QStringList *units)
{
  const qsizetype eq = line.indexOf(u'=');
  if (eq < 0)
    return false;
  units->clear();
  QStringView rest = line.mid(eq + 1);
  while (rest.size() >= 2 && units->size() < MaxTableEntries) {
    // An entry holds at least one character, so the ';' that ends it is
    // looked for from the second character on.
    const qsizetype semi = rest.indexOf(u';', 1);
    if (semi >= 1) {
      units->append(rest.left(semi).toString());
      rest = rest.mid(semi + 1);
    } else {
      // No ';' after a first character: all but the line's last character.
      units->append(rest.left(rest.size() - 1).toString());
      rest = QStringView();
    }
    qCDebug(lcModel, "UM[%d]=%s", int(units->size() - 1), qUtf8Printable(units->last()));
  }
  return true;
}

QString CDescLine::WriteKTable(const std::vector<std::int32_t> &table)
{
  QString line = QStringLiteral("K[] = ");
  for (std::int32_t k : table) {
    line += QString::number(k);
    line += u';';
  }
  return line;
}

QString CDescLine::WriteNTable(const std::vector<float> &table)
{
  QString line = QStringLiteral("N[] = ");
  for (float n : table) {
    line += vtx::Format(u"%g", n);
    line += u';';
  }
  return line;
}

QString CDescLine::WriteUnits(const QStringList &units)
{
  QString line = QStringLiteral("U[] = ");
  for (const QString &unit : units) {
    line += unit;
    line += u';';
  }
  return line;
}

std::int16_t SaturateToShort(double x)
{
  if (std::isnan(x))
    return 0;
  return static_cast<std::int16_t>(std::clamp(x, -32768.0, 32767.0));
}

std::int32_t SaturateToLong(double x)
{
  if (std::isnan(x))
    return 0;
  return static_cast<std::int32_t>(std::clamp(x, double(INT_MIN), double(INT_MAX)));
}

float SaturateToFloat(double x)
{
  if (std::isnan(x))
    return 0.0f;
  return static_cast<float>(std::clamp(x, -double(FLT_MAX), double(FLT_MAX)));
}
