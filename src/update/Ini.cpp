#include "update/Ini.h"

#include "update/IniEngine.h"

#include "platform/Cp1252.h"
#include "platform/Format.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace {

bool Missing(const QString &section, const QString &key)
{
  return section.isEmpty() || key.isEmpty();
}

int CopyBounded(const QByteArray &bytes, char *buffer, int size)
{
  if (!buffer || size <= 0)
    return 0;
  const int n = int(std::min<qsizetype>(bytes.size(), size - 1));
  std::memcpy(buffer, bytes.constData(), size_t(n));
  buffer[n] = '\0';
  return n;
}

int DigitValue(QChar ch)
{
  const char16_t c = ch.unicode();
  if (c >= u'0' && c <= u'9')
    return c - u'0';
  if (c >= u'a' && c <= u'f')
    return c - u'a' + 10;
  if (c >= u'A' && c <= u'F')
    return c - u'A' + 10;
  return 99;
}

unsigned long long ParseUnsigned(const QString &text, int base)
{
  if (base != 2 && base != 8 && base != 16)
    base = 10;
  qsizetype i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
    negative = text[i++] == u'-';
  if (base == 16 && i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X'))
    i += 2;
  unsigned long long value = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i]);
    if (digit >= base)
      break;
    value = value * unsigned(base) + unsigned(digit);
    if (value > 0xFFFFFFFFull) { // strtoul saturates
      value = 0xFFFFFFFFull;
      negative = false;
      break;
    }
  }
  return negative ? (0x100000000ull - value) & 0xFFFFFFFFull : value;
}

QByteArray HexDecode(const QString &text, bool *ok)
{
  *ok = text.size() % 2 == 0;
  QByteArray bytes;
  for (qsizetype i = 0; *ok && i + 1 < text.size(); i += 2) {
    const int high = DigitValue(text[i]);
    const int low = DigitValue(text[i + 1]);
    if (high > 15 || low > 15)
      *ok = false;
    bytes.append(char(high * 16 + low));
  }
  if (!*ok)
    bytes.clear();
  return bytes;
}

QString HexEncode(const void *data, int size)
{
  if (!data || size <= 0)
    return QStringLiteral("");
  return QString::fromLatin1(QByteArray(static_cast<const char *>(data), size).toHex().toUpper());
}

} // namespace

int CIni::GetPathName(char *buffer, int size) const
{
  return CopyBounded(Cp1252::Encode(m_path), buffer, size);
}

QString CIni::GetString(const QString &section, const QString &key, const QString &def) const
{
  if (Missing(section, key))
    return def;
  return IniEngine::GetString(m_path, section, key, def);
}

int CIni::GetString(const QString &section, const QString &key, char *buffer, int size, const QString &def) const
{
  return CopyBounded(Cp1252::Encode(GetString(section, key, def)), buffer, size);
}

bool CIni::WriteString(const QString &section, const QString &key, const QString &value)
{
  if (Missing(section, key) || m_path.isEmpty())
    return false;
  return IniEngine::WriteString(m_path, section, key, value.isNull() ? QStringLiteral("") : value);
}

bool CIni::AppendString(const QString &section, const QString &key, const QString &text)
{
  if (Missing(section, key))
    return false;
  return WriteString(section, key, GetString(section, key) + text);
}

QStringList CIni::GetArray(const QString &section, const QString &key, const QString &delimiter, bool trim) const
{
  QStringList pieces;
  const QString value = GetString(section, key);
  if (value.isEmpty())
    return pieces;
  for (QString piece : value.split(delimiter.isEmpty() ? QStringLiteral(",") : delimiter)) {
    if (trim)
      piece = piece.trimmed();
    if (!piece.isEmpty())
      pieces << piece;
  }
  return pieces;
}

bool CIni::WriteArray(const QString &section, const QString &key, const QStringList &values, int count,
                      const QString &delimiter)
{
  const int n = count < 0 ? int(values.size()) : std::min<int>(count, int(values.size()));
  return WriteString(section, key, values.mid(0, n).join(delimiter.isEmpty() ? QStringLiteral(",") : delimiter));
}

int CIni::GetInt(const QString &section, const QString &key, int def, int base) const
{
  return int(GetUInt(section, key, unsigned(def), base));
}

unsigned CIni::GetUInt(const QString &section, const QString &key, unsigned def, int base) const
{
  const QString text = GetString(section, key).left(63);
  if (text.isEmpty())
    return def;
  return unsigned(ParseUnsigned(text, base));
}

QString CIni::NumberText(unsigned long long value, int base, bool negative)
{
  switch (base) {
  case 2: {
    QString bits;
    do {
      bits.prepend(QChar(u'0' + int(value & 1)));
      value >>= 1;
    } while (value && bits.size() < 64);
    return bits;
  }
  case 8:
    return vtx::Format(u"%o", value);
  case 16:
    return vtx::Format(u"%X", value);
  default:
    return negative ? vtx::Format(u"%d", static_cast<long long>(value) - (1ll << 32)) : vtx::Format(u"%u", value);
  }
}

bool CIni::WriteInt(const QString &section, const QString &key, int value, int base)
{
  if (base != 2 && base != 8 && base != 16)
    return WriteString(section, key, vtx::Format(u"%d", value));
  return WriteString(section, key, NumberText(unsigned(value), base, false));
}

bool CIni::WriteUInt(const QString &section, const QString &key, unsigned value, int base)
{
  return WriteString(section, key, NumberText(value, base, false));
}

bool CIni::IncreaseInt(const QString &section, const QString &key, int increase, int base)
{
  const unsigned sum = unsigned(GetInt(section, key, 0, base)) + unsigned(increase);
  return WriteInt(section, key, int(sum), base);
}

bool CIni::IncreaseUInt(const QString &section, const QString &key, unsigned increase, int base)
{
  return WriteUInt(section, key, GetUInt(section, key, 0, base) + increase, base);
}

bool CIni::GetBool(const QString &section, const QString &key, bool def) const
{
  const QString text = GetString(section, key);
  if (text.isEmpty())
    return def;
  if (text.compare(u"true", Qt::CaseInsensitive) == 0 || text.compare(u"yes", Qt::CaseInsensitive) == 0)
    return true;
  return vtx::AtoiLike(text) != 0;
}

bool CIni::WriteBool(const QString &section, const QString &key, bool value)
{
  return WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool CIni::InvertBool(const QString &section, const QString &key)
{
  return WriteBool(section, key, !GetBool(section, key, false));
}

double CIni::GetReal(const QString &section, const QString &key, double def) const
{
  const QString text = GetString(section, key);
  return text.isEmpty() ? def : vtx::AtofLike(text);
}

bool CIni::WriteReal(const QString &section, const QString &key, double value, int decimals)
{
  if (decimals <= 0)
    return WriteString(section, key, vtx::Format(u"%f", value));
  return WriteString(section, key, vtx::Format(vtx::Format(u"%%.%df", decimals), value));
}

bool CIni::IncreaseReal(const QString &section, const QString &key, double increase, int decimals)
{
  return WriteReal(section, key, GetReal(section, key, 0.0) + increase, decimals);
}

QChar CIni::GetChar(const QString &section, const QString &key, QChar def) const
{
  const QString text = GetString(section, key);
  return text.isEmpty() ? def : text.front();
}

bool CIni::WriteChar(const QString &section, const QString &key, QChar value)
{
  return WriteString(section, key, QString(value));
}

bool CIni::WriteBlock(const QString &section, const QString &key, const void *data, int size)
{
  return WriteString(section, key, HexEncode(data, size));
}

bool CIni::AppendBlock(const QString &section, const QString &key, const void *data, int size)
{
  return AppendString(section, key, HexEncode(data, size));
}

int CIni::GetBlock(const QString &section, const QString &key, void *buffer, int size, int offset) const
{
  bool ok = false;
  const QByteArray bytes = HexDecode(GetString(section, key), &ok);
  if (!ok || offset < 0 || offset >= bytes.size())
    return 0;
  const int available = int(bytes.size()) - offset;
  if (!buffer)
    return available;
  const int n = std::clamp(size, 0, available);
  std::memcpy(buffer, bytes.constData() + offset, size_t(n));
  return n;
}

QPoint CIni::GetPoint(const QString &section, const QString &key, QPoint def) const
{
  qint32 v[2];
  if (GetBlock(section, key, nullptr, 0) != int(sizeof v))
    return def;
  GetBlock(section, key, v, int(sizeof v));
  return QPoint(v[0], v[1]);
}

bool CIni::WritePoint(const QString &section, const QString &key, QPoint value)
{
  const qint32 v[2] = {value.x(), value.y()};
  return WriteBlock(section, key, v, int(sizeof v));
}

QRect CIni::GetRect(const QString &section, const QString &key, const QRect &def) const
{
  qint32 v[4]; // left, top, right, bottom (exclusive), as the platform's rectangles
  if (GetBlock(section, key, nullptr, 0) != int(sizeof v))
    return def;
  GetBlock(section, key, v, int(sizeof v));
  return QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
}

bool CIni::WriteRect(const QString &section, const QString &key, const QRect &value)
{
  const qint32 v[4] = {value.left(), value.top(), value.right() + 1, value.bottom() + 1};
  return WriteBlock(section, key, v, int(sizeof v));
}

QStringList CIni::GetSectionNames() const
{
  return IniEngine::GetSectionNames(m_path);
}

void CIni::GetSectionNames(QStringList *array) const
{
  if (array)
    *array = GetSectionNames();
}

void CIni::GetKeyNames(const QString &section, QStringList *array) const
{
  if (!array)
    return;
  array->clear();
  if (section.isEmpty())
    return;
  for (const QString &line : IniEngine::GetSection(m_path, section)) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0)
      continue;
    array->append(line.left(eq).trimmed());
  }
}

void CIni::GetKeyLines(const QString &section, QStringList *array) const
{
  if (!array)
    return;
  array->clear();
  if (!section.isEmpty())
    *array = IniEngine::GetSection(m_path, section);
}

bool CIni::IsSectionExist(const QString &section) const
{
  if (section.isEmpty())
    return false;
  const QStringList names = GetSectionNames();
  return std::any_of(names.begin(), names.end(),
                     [&](const QString &name) { return name.compare(section, Qt::CaseInsensitive) == 0; });
}

bool CIni::IsKeyExist(const QString &section, const QString &key) const
{
  static const QString kAbsent = QStringLiteral("{63788286-AE30-4D6B-95DF-3B451C1C79F9}");
  if (Missing(section, key))
    return false;
  return GetString(section, key, kAbsent) != kAbsent;
}

bool CIni::DeleteSection(const QString &section)
{
  if (section.isEmpty() || m_path.isEmpty())
    return false;
  return IniEngine::WriteString(m_path, section, QString(), QString());
}

bool CIni::DeleteKey(const QString &section, const QString &key)
{
  if (Missing(section, key) || m_path.isEmpty())
    return false;
  return IniEngine::WriteString(m_path, section, key, QString());
}

bool CIni::CopySection(const QString &source, const QString &target, bool failIfExist)
{
  if (source.isEmpty() || target.isEmpty() || m_path.isEmpty() || source.compare(target, Qt::CaseInsensitive) == 0 ||
      !IsSectionExist(source))
    return false;
  if (IsSectionExist(target)) {
    if (failIfExist || !DeleteSection(target))
      return false;
  }
  return IniEngine::WriteSection(m_path, target, IniEngine::GetSection(m_path, source));
}

bool CIni::MoveSection(const QString &source, const QString &target, bool failIfExist)
{
  return CopySection(source, target, failIfExist) && DeleteSection(source);
}

bool CIni::CopyKey(const QString &sourceSection, const QString &sourceKey, const QString &targetSection,
                   const QString &targetKey, bool failIfExist)
{
  if (Missing(sourceSection, sourceKey) || Missing(targetSection, targetKey) || !IsKeyExist(sourceSection, sourceKey))
    return false;
  if (sourceSection.compare(targetSection, Qt::CaseInsensitive) == 0 &&
      sourceKey.compare(targetKey, Qt::CaseInsensitive) == 0)
    return false;
  if (failIfExist && IsKeyExist(targetSection, targetKey))
    return false;
  return WriteString(targetSection, targetKey, GetString(sourceSection, sourceKey));
}

bool CIni::MoveKey(const QString &sourceSection, const QString &sourceKey, const QString &targetSection,
                   const QString &targetKey, bool failIfExist)
{
  return CopyKey(sourceSection, sourceKey, targetSection, targetKey, failIfExist) &&
         DeleteKey(sourceSection, sourceKey);
}
