#include "Format.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <vector>

namespace vtx {

namespace {

locale_t CLocale()
{
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

// Switches the calling thread to the C locale for one formatting call.
class CLocaleScope {
public:
  CLocaleScope() : m_previous(uselocale(CLocale())) {}
  ~CLocaleScope() { uselocale(m_previous); }
  CLocaleScope(const CLocaleScope &) = delete;
  CLocaleScope &operator=(const CLocaleScope &) = delete;

private:
  locale_t m_previous;
};

QString SnprintfC(const QByteArray &spec, auto value)
{
  char small[128];
  const int n = std::snprintf(small, sizeof small, spec.constData(), value);
  if (n < 0)
    return {};
  if (n < static_cast<int>(sizeof small))
    return QString::fromLatin1(small, n);
  std::vector<char> big(static_cast<std::size_t>(n) + 1);
  std::snprintf(big.data(), big.size(), spec.constData(), value);
  return QString::fromLatin1(big.data(), n);
}

bool IsBlank(QChar c)
{
  const char16_t u = c.unicode();
  return u == ' ' || u == '\t' || u == '\n' || u == '\v' || u == '\f' || u == '\r';
}

QStringView TrimBlanks(QStringView text)
{
  qsizetype b = 0, e = text.size();
  while (b < e && IsBlank(text[b]))
    ++b;
  while (e > b && IsBlank(text[e - 1]))
    --e;
  return text.mid(b, e - b);
}

// The text as ASCII bytes, or empty when it holds anything else: no digit of
// another script may pass for a number.
bool ToAscii(QStringView text, QByteArray *out)
{
  out->resize(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text[i].unicode();
    if (u == 0 || u > 0x7F)
      return false;
    (*out)[i] = static_cast<char>(u);
  }
  return true;
}

} // namespace

long long FormatArg::ToInt() const
{
  if (const auto *v = std::get_if<long long>(&m_value))
    return *v;
  if (const auto *v = std::get_if<unsigned long long>(&m_value))
    return static_cast<long long>(*v);
  if (const auto *v = std::get_if<double>(&m_value)) {
    if (std::isnan(*v))
      return 0;
    if (*v >= 9.2e18)
      return LLONG_MAX;
    if (*v <= -9.2e18)
      return LLONG_MIN;
    return static_cast<long long>(*v);
  }
  return AtoiLike(std::get<QString>(m_value));
}

unsigned long long FormatArg::ToUInt() const
{
  if (const auto *v = std::get_if<unsigned long long>(&m_value))
    return *v;
  if (const auto *v = std::get_if<long long>(&m_value); v && !m_wide)
    return static_cast<std::uint32_t>(*v);
  return static_cast<unsigned long long>(ToInt());
}

double FormatArg::ToDouble() const
{
  if (const auto *v = std::get_if<double>(&m_value))
    return *v;
  if (const auto *v = std::get_if<long long>(&m_value))
    return static_cast<double>(*v);
  if (const auto *v = std::get_if<unsigned long long>(&m_value))
    return static_cast<double>(*v);
  return AtofLike(std::get<QString>(m_value));
}

QString FormatArg::ToText() const
{
  if (const auto *v = std::get_if<QString>(&m_value))
    return *v;
  if (const auto *v = std::get_if<double>(&m_value))
    return FormatList(u"%g", {*v});
  if (const auto *v = std::get_if<unsigned long long>(&m_value))
    return QString::number(*v);
  return QString::number(std::get<long long>(m_value));
}

namespace {

// Widths and precisions are capped while they are read, so no digit string
// or '*' argument can overflow them.
constexpr int kMaxField = 4096;

// Hands out the arguments in order; a missing one reads as empty.
class ArgQueue {
public:
  ArgQueue(const FormatArg *begin, const FormatArg *end) : m_next(begin), m_end(end) {}
  FormatArg Take()
  {
    if (m_next == m_end)
      return FormatArg(QString());
    return *m_next++;
  }

private:
  const FormatArg *m_next;
  const FormatArg *m_end;
};

// One conversion as written: %[flags][width][.precision][length]conv.
struct Conversion {
  QByteArray flags;
  int width = -1;
  int precision = -1;
  int shortness = 0; // 1: h, 2: hh
  char conv = 0;

  // The C format of everything before the length and conversion letters.
  QByteArray CSpec() const
  {
    QByteArray spec = "%" + flags;
    if (width >= 0)
      spec += QByteArray::number(width);
    if (precision >= 0)
      spec += "." + QByteArray::number(precision);
    return spec;
  }
  QString Justified(const QString &text) const
  {
    return flags.contains('-') ? text.leftJustified(width) : text.rightJustified(width);
  }
};

bool IsAsciiDigit(QChar c)
{
  return c.isDigit() && c.unicode() < 0x80;
}

int ReadDigits(QStringView format, qsizetype &i)
{
  int value = 0;
  while (i < format.size() && IsAsciiDigit(format[i]))
    value = qMin(value * 10 + (format[i++].unicode() - '0'), kMaxField);
  return value;
}

void ReadFlags(QStringView format, qsizetype &i, Conversion &c)
{
  while (i < format.size() && QStringView(u"-+ #0").contains(format[i]))
    c.flags += static_cast<char>(format[i++].unicode());
}

void ReadWidth(QStringView format, qsizetype &i, ArgQueue &args, Conversion &c)
{
  if (i < format.size() && format[i] == u'*') {
    const long long w = args.Take().ToInt();
    if (w < 0)
      c.flags += '-';
    c.width = static_cast<int>(
        qMin(w < 0 ? -(w + 1) + 1ULL : static_cast<unsigned long long>(w), static_cast<unsigned long long>(kMaxField)));
    ++i;
  } else if (i < format.size() && IsAsciiDigit(format[i])) {
    c.width = ReadDigits(format, i);
  }
}

void ReadPrecision(QStringView format, qsizetype &i, ArgQueue &args, Conversion &c)
{
  if (i >= format.size() || format[i] != u'.')
    return;
  ++i;
  if (i < format.size() && format[i] == u'*') {
    // A negative precision counts as none, as in C.
    const long long p = args.Take().ToInt();
    c.precision = p < 0 ? -1 : static_cast<int>(qMin(p, static_cast<long long>(kMaxField)));
    ++i;
  } else {
    c.precision = ReadDigits(format, i);
  }
}

// Length letters: only h and hh change a value; the others are skipped.
void ReadLength(QStringView format, qsizetype &i, Conversion &c)
{
  while (i < format.size()) {
    const QChar m = format[i];
    if (m == u'h') {
      ++c.shortness;
      ++i;
    } else if (m == u'l' || m == u'L' || m == u'z' || m == u'j' || m == u't' || m == u'q') {
      ++i;
    } else if (m == u'I' && format.mid(i, 3) == u"I64") {
      i += 3;
    } else {
      break;
    }
  }
}

// Reads the conversion after its '%', taking '*' arguments on the way; false
// when the format ends before the conversion letter.
bool ReadConversion(QStringView format, qsizetype &i, ArgQueue &args, Conversion &c)
{
  ReadFlags(format, i, c);
  ReadWidth(format, i, args, c);
  ReadPrecision(format, i, args, c);
  ReadLength(format, i, c);
  if (i >= format.size())
    return false;
  c.conv = static_cast<char>(format[i].unicode() < 0x80 ? format[i].unicode() : 0);
  ++i;
  return true;
}

QString ConvertSigned(const Conversion &c, long long v)
{
  if (c.shortness == 1)
    v = static_cast<short>(v);
  else if (c.shortness >= 2)
    v = static_cast<signed char>(v);
  return SnprintfC(c.CSpec() + "lld", v);
}

QString ConvertUnsigned(const Conversion &c, unsigned long long v)
{
  if (c.shortness == 1)
    v = static_cast<unsigned short>(v);
  else if (c.shortness >= 2)
    v = static_cast<unsigned char>(v);
  return SnprintfC(c.CSpec() + "ll" + c.conv, v);
}

QString ConvertText(const Conversion &c, QString s)
{
  if (c.precision >= 0 && s.size() > c.precision)
    s.truncate(c.precision);
  return c.width > s.size() ? c.Justified(s) : s;
}

// The text of one conversion; written is the conversion as it stands in the format.
QString Convert(const Conversion &c, ArgQueue &args, QStringView written)
{
  switch (c.conv) {
  case 'd':
  case 'i':
    return ConvertSigned(c, args.Take().ToInt());
  case 'u':
  case 'x':
  case 'X':
  case 'o':
    return ConvertUnsigned(c, args.Take().ToUInt());
  case 'f':
  case 'F':
  case 'e':
  case 'E':
  case 'g':
  case 'G':
  case 'a':
  case 'A':
    return SnprintfC(c.CSpec() + c.conv, args.Take().ToDouble());
  case 'c': {
    const QString s(QChar(static_cast<char16_t>(args.Take().ToUInt() & 0xFFFF)));
    return c.width > 1 ? c.Justified(s) : s;
  }
  case 's':
    return ConvertText(c, args.Take().ToText());
  default:
    // Not a conversion we know: keep the text as written.
    return written.toString();
  }
}

} // namespace

QString FormatList(QStringView format, std::initializer_list<FormatArg> args)
{
  CLocaleScope cLocale;
  ArgQueue queue(args.begin(), args.end());
  QString out;
  out.reserve(format.size() + 16);
  const qsizetype n = format.size();
  qsizetype i = 0;
  while (i < n) {
    const QChar c = format[i];
    if (c != u'%') {
      out += c;
      ++i;
      continue;
    }
    const qsizetype start = i++;
    if (i < n && format[i] == u'%') {
      out += u'%';
      ++i;
      continue;
    }
    Conversion conversion;
    if (!ReadConversion(format, i, queue, conversion)) {
      out += format.mid(start);
      break;
    }
    out += Convert(conversion, queue, format.mid(start, i - start));
  }
  return out;
}

int AtoiLike(QStringView text)
{
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && IsBlank(text[i]))
    ++i;
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  long long v = 0;
  while (i < n && text[i].unicode() >= '0' && text[i].unicode() <= '9') {
    v = v * 10 + (text[i].unicode() - '0');
    if (v > static_cast<long long>(INT_MAX) + 1)
      v = static_cast<long long>(INT_MAX) + 1;
    ++i;
  }
  if (negative)
    v = -v;
  return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

double AtofLike(QStringView text)
{
  qsizetype i = 0;
  while (i < text.size() && IsBlank(text[i]))
    ++i;
  // strtod stops at the first character that does not fit, so only the
  // leading ASCII run matters; the bound keeps long lines off the heap.
  char buffer[512];
  int n = 0;
  for (; i < text.size() && n < int(sizeof buffer) - 1; ++i) {
    const char16_t u = text[i].unicode();
    if (u == 0 || u >= 0x80)
      break;
    buffer[n++] = static_cast<char>(u);
  }
  buffer[n] = '\0';
  return strtod_l(buffer, nullptr, CLocale());
}

bool ParseLongLong(QStringView text, long long *out)
{
  QByteArray bytes;
  if (!ToAscii(TrimBlanks(text), &bytes) || bytes.isEmpty())
    return false;
  const char *first = bytes.constData();
  const char *last = first + bytes.size();
  if (*first == '+' && bytes.size() > 1 && first[1] != '-')
    ++first;
  long long v = 0;
  const auto [ptr, ec] = std::from_chars(first, last, v, 10);
  if (ec != std::errc() || ptr != last)
    return false;
  *out = v;
  return true;
}

bool ParseInt(QStringView text, int *out)
{
  long long v = 0;
  if (!ParseLongLong(text, &v) || v < INT_MIN || v > INT_MAX)
    return false;
  *out = static_cast<int>(v);
  return true;
}

bool ParseDouble(QStringView text, double *out)
{
  QByteArray bytes;
  if (!ToAscii(TrimBlanks(text), &bytes) || bytes.isEmpty())
    return false;
  const char *first = bytes.constData();
  const char *last = first + bytes.size();
  if (*first == '+' && bytes.size() > 1 && first[1] != '-')
    ++first;
  double v = 0;
  const auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ec != std::errc() || ptr != last || !std::isfinite(v))
    return false;
  *out = v;
  return true;
}

} // namespace vtx
