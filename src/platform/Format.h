#pragma once

#include <QString>
#include <QStringView>

#include <initializer_list>
#include <type_traits>
#include <variant>

// printf-style formatting and number parsing that never follow the user's
// locale: the decimal point is always '.'.
namespace vtx {

// One argument of Format(). Holds integers, floating values and text by value,
// so a directive that does not match its argument's type is converted instead
// of being undefined behaviour.
class FormatArg {
public:
  template <typename T>
  requires std::is_integral_v<T> && std::is_signed_v<T> FormatArg(T v)
      : m_value(static_cast<long long>(v)), m_wide(sizeof(T) > 4)
  {
  }
  template <typename T>
  requires std::is_integral_v<T> && std::is_unsigned_v<T> &&(!std::is_same_v<T, bool>)FormatArg(T v)
      : m_value(static_cast<unsigned long long>(v)), m_wide(sizeof(T) > 4)
  {
  }
  FormatArg(bool v) : m_value(static_cast<long long>(v)) {}
  FormatArg(double v) : m_value(v) {}
  FormatArg(float v) : m_value(static_cast<double>(v)) {}
  FormatArg(const QString &v) : m_value(v) {}
  FormatArg(const char *v) : m_value(QString::fromUtf8(v)) {}
  FormatArg(QChar v) : m_value(static_cast<long long>(v.unicode())) {}

  long long ToInt() const;
  unsigned long long ToUInt() const;
  double ToDouble() const;
  QString ToText() const;

private:
  std::variant<long long, unsigned long long, double, QString> m_value;
  // A negative 32-bit argument shows as 32 bits under %x and %u, as in C.
  bool m_wide = false;
};

// Fills a printf format (flags, width, precision, '*', length modifiers h hh l
// ll L I64 z; conversions d i u x X o c s f F e E g G a A %). A directive
// without an argument formats as 0 or empty text.
QString FormatList(QStringView format, std::initializer_list<FormatArg> args);

template <typename... Args> QString Format(QStringView format, const Args &...args)
{
  return FormatList(format, {FormatArg(args)...});
}

// atoi(): optional blanks, optional sign, digits; anything else ends the number;
// no number gives 0. Saturates at the int range instead of overflowing.
int AtoiLike(QStringView text);

// atof() in the C locale: the longest leading number, 0 when there is none.
double AtofLike(QStringView text);

// Strict parsing of user input: the whole text (blanks at either end aside)
// must be one decimal number in range, else false and *out is untouched.
bool ParseInt(QStringView text, int *out);
bool ParseLongLong(QStringView text, long long *out);
bool ParseDouble(QStringView text, double *out); // finite values only

} // namespace vtx
