#include "update/IniEngine.h"

#include "platform/Cp1252.h"
#include "platform/SaveFile.h"

#include <QFile>

#include <optional>
#include <vector>

namespace {

struct Line {
  enum Kind { Blank, Comment, Section, Key } kind = Blank;
  QString raw;                  // the line as read, without its line end
  QString name;                 // section or key name (trimmed)
  std::optional<QString> value; // for keys with '='
};

struct File {
  std::vector<Line> lines;
  QString eol = QStringLiteral("\r\n");
};

Line ParseLine(const QString &raw)
{
  Line line;
  line.raw = raw;
  const QString t = raw.trimmed();
  if (t.isEmpty()) {
    line.kind = Line::Blank;
  } else if (t.startsWith(u';')) {
    line.kind = Line::Comment;
  } else if (t.startsWith(u'[')) {
    line.kind = Line::Section;
    int close = t.lastIndexOf(u']');
    if (close < 0)
      close = t.size();
    line.name = t.mid(1, close - 1).trimmed();
  } else {
    line.kind = Line::Key;
    const int eq = t.indexOf(u'=');
    if (eq < 0) {
      line.name = t;
    } else {
      line.name = t.left(eq).trimmed();
      line.value = t.mid(eq + 1).trimmed();
    }
  }
  return line;
}

File Load(const QString &path)
{
  File file;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return file;
  const QByteArray bytes = f.readAll();
  if (!bytes.contains("\r\n") && bytes.contains('\n'))
    file.eol = QStringLiteral("\n");
  const QString text = Cp1252::Decode(bytes);
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = text.indexOf(u'\n', start);
    const bool last = end < 0;
    if (last)
      end = text.size();
    QString raw = text.mid(start, end - start);
    if (raw.endsWith(u'\r'))
      raw.chop(1);
    file.lines.push_back(ParseLine(raw));
    start = end + 1;
  }
  return file;
}

bool Save(const QString &path, const File &file)
{
  QString text;
  for (const Line &line : file.lines) {
    text += line.raw;
    text += file.eol;
  }
  // The worker has no one to tell: the helper traces the reason.
  return vtx::SaveFileAtomically(path, Cp1252::Encode(text)) == vtx::SaveError::None;
}

bool SameName(const QString &a, const QString &b)
{
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index of the first header of the section, or -1.
int FindSection(const File &file, const QString &section)
{
  for (size_t i = 0; i < file.lines.size(); ++i)
    if (file.lines[i].kind == Line::Section && SameName(file.lines[i].name, section))
      return int(i);
  return -1;
}

// One past the last line of the section that starts at header.
int SectionEnd(const File &file, int header)
{
  size_t i = size_t(header) + 1;
  while (i < file.lines.size() && file.lines[i].kind != Line::Section)
    ++i;
  return int(i);
}

int FindKey(const File &file, int header, const QString &key)
{
  const int end = SectionEnd(file, header);
  for (int i = header + 1; i < end; ++i)
    if (file.lines[size_t(i)].kind == Line::Key && SameName(file.lines[size_t(i)].name, key))
      return i;
  return -1;
}

// Where a new line of the section goes: after its last non-blank line.
int InsertPoint(const File &file, int header)
{
  int at = SectionEnd(file, header);
  while (at > header + 1 && file.lines[size_t(at - 1)].kind == Line::Blank)
    --at;
  return at;
}

int AppendSection(File &file, const QString &section)
{
  if (!file.lines.empty() && file.lines.back().kind != Line::Blank)
    file.lines.push_back(ParseLine(QString()));
  file.lines.push_back(ParseLine(u'[' + section + u']'));
  return int(file.lines.size()) - 1;
}

QString StripQuotes(const QString &value)
{
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    return value.mid(1, value.size() - 2);
  return value;
}

} // namespace

namespace IniEngine {

QString GetString(const QString &path, const QString &section, const QString &key, const QString &def)
{
  const File file = Load(path);
  const int header = FindSection(file, section);
  if (header < 0)
    return def;
  const int at = FindKey(file, header, key);
  if (at < 0)
    return def;
  const Line &line = file.lines[size_t(at)];
  return line.value ? StripQuotes(*line.value) : QString();
}

QStringList GetSection(const QString &path, const QString &section)
{
  QStringList lines;
  const File file = Load(path);
  const int header = FindSection(file, section);
  if (header < 0)
    return lines;
  const int end = SectionEnd(file, header);
  for (int i = header + 1; i < end; ++i) {
    const Line &line = file.lines[size_t(i)];
    if (line.kind != Line::Key)
      continue;
    lines << (line.value ? line.name + u'=' + *line.value : line.name);
  }
  return lines;
}

QStringList GetSectionNames(const QString &path)
{
  QStringList names;
  const File file = Load(path);
  for (const Line &line : file.lines)
    if (line.kind == Line::Section)
      names << line.name;
  return names;
}

bool WriteString(const QString &path, const QString &section, const QString &key, const QString &value)
{
  File file = Load(path);
  int header = FindSection(file, section);
  if (key.isNull()) {
    if (header < 0)
      return true;
    const int end = SectionEnd(file, header);
    file.lines.erase(file.lines.begin() + header, file.lines.begin() + end);
    return Save(path, file);
  }
  if (value.isNull()) {
    const int at = header < 0 ? -1 : FindKey(file, header, key);
    if (at < 0)
      return true;
    file.lines.erase(file.lines.begin() + at);
    return Save(path, file);
  }
  if (header < 0)
    header = AppendSection(file, section);
  const int at = FindKey(file, header, key);
  if (at >= 0) {
    file.lines[size_t(at)] = ParseLine(file.lines[size_t(at)].name + u'=' + value);
  } else {
    const int insert = InsertPoint(file, header);
    file.lines.insert(file.lines.begin() + insert, ParseLine(key + u'=' + value));
  }
  return Save(path, file);
}

bool WriteSection(const QString &path, const QString &section, const QStringList &lines)
{
  File file = Load(path);
  int header = FindSection(file, section);
  if (header < 0)
    header = AppendSection(file, section);
  const int end = InsertPoint(file, header);
  file.lines.erase(file.lines.begin() + header + 1, file.lines.begin() + end);
  int at = header + 1;
  for (const QString &text : lines)
    file.lines.insert(file.lines.begin() + at++, ParseLine(text));
  return Save(path, file);
}

} // namespace IniEngine
