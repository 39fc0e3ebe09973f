#include "ImportReport.h"

#include "platform/Cp1252.h"
#include "platform/Format.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>

namespace {

void AppendHexByte(QString &out, unsigned char byte)
{
  static const char digits[] = "0123456789abcdef";
  out += QStringLiteral("\\'");
  out += QLatin1Char(digits[byte >> 4]);
  out += QLatin1Char(digits[byte & 0x0F]);
}

// One character beyond ASCII: its code-page byte, or its UTF-16 unit with '?'
// for readers that know no Unicode.
void AppendNonAscii(QString &out, QChar ch)
{
  bool ok = false;
  const char byte = Cp1252::EncodeChar(ch, &ok);
  if (ok) {
    AppendHexByte(out, static_cast<unsigned char>(byte));
    return;
  }
  out += QStringLiteral("\\u");
  out += QString::number(static_cast<std::int16_t>(ch.unicode()));
  out += u'?';
}

} // namespace

namespace ImportReport {

QString EscapeText(QStringView text)
{
  QString out;
  out.reserve(text.size() + 8);
  for (const QChar ch : text) {
    const char16_t u = ch.unicode();
    if (u == u'\\' || u == u'{' || u == u'}') {
      out += u'\\';
      out += ch;
    } else if (u == u'\t') {
      out += QStringLiteral("\\tab ");
    } else if (u < 0x20 || u == 0x7F) {
      AppendHexByte(out, static_cast<unsigned char>(u));
    } else if (u < 0x80) {
      out += ch;
    } else {
      AppendNonAscii(out, ch);
    }
  }
  return out;
}

QString EscapeNonAscii(QStringView rtf)
{
  QString out;
  out.reserve(rtf.size());
  for (const QChar ch : rtf) {
    if (ch.unicode() < 0x80)
      out += ch;
    else
      AppendNonAscii(out, ch);
  }
  return out;
}

QString Styled(QStringView text, Style style)
{
  static const char *const before[] = {"", "\\b ", "\\cf1 ", "\\cf2 ", "\\cf1\\b ", "\\cf2\\b "};
  static const char *const after[] = {"", "\\b0 ", "\\cf0 ", "\\cf0 ", "\\b0\\cf0 ", "\\b0\\cf0 "};
  const int s = std::clamp(static_cast<int>(style), 0, 5);
  return QLatin1String(before[s]) + EscapeText(text) + QLatin1String(after[s]);
}

long long LargestReportNumber(const QString &folder)
{
  long long largest = -1;
  const QStringList names = QDir(folder).entryList({QStringLiteral("kx*")}, QDir::AllEntries | QDir::Hidden |
                                                                                QDir::System | QDir::NoDotAndDotDot);
  for (const QString &name : names)
    largest = std::max(largest, static_cast<long long>(vtx::AtoiLike(QStringView(name).mid(2))));
  return largest;
}

QString ReportFileName(const QString &folder, long long number)
{
  return QDir(folder).filePath(vtx::Format(u"kx%06lld.rtf", number));
}

QString WriteReportFile(const QString &folder, const QString &text, QString *error)
{
  QString reason;
  if (folder.isEmpty() || !QDir(folder).exists()) {
    if (error)
      *error = folder;
    return {};
  }
  const QByteArray bytes = Cp1252::Encode(text);
  long long number = LargestReportNumber(folder) + 1;
  // Another program may take a number meanwhile: move on rather than replace
  // its file (or follow a link planted under the next name).
  for (int attempt = 0; attempt < 100; ++attempt, ++number) {
    const QString path = ReportFileName(folder, number);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        continue;
      reason = path + QStringLiteral(": ") + file.errorString();
      break;
    }
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (written && file.error() == QFileDevice::NoError)
      return path;
    reason = path + QStringLiteral(": ") + file.errorString();
    file.remove();
    break;
  }
  if (reason.isEmpty())
    reason = ReportFileName(folder, number);
  if (error)
    *error = reason;
  return {};
}

} // namespace ImportReport
