// libFuzzer target: arbitrary bytes as an INI file. Every key the section
// listing shows must read back with its value; a write must read back, add
// exactly its own line and keep every other line as it was; a section written
// with its own lines must list the same lines again.
#include "update/IniEngine.h"

#include "platform/Cp1252.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

#include <unistd.h>

namespace {

void Check(bool cond)
{
  if (!cond)
    std::abort();
}

const QString &FilePath()
{
  static const QString path = [] {
    // Each save is synced to disk: memory-backed space keeps the runs fast.
    const QDir base(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath());
    const QString folder = base.filePath(QStringLiteral("velotrix-ini-fuzz-%1").arg(::getpid()));
    QDir().mkpath(folder);
    return folder + QStringLiteral("/fuzz.ini");
  }();
  return path;
}

QByteArray ReadBytes(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
  QFile f(path);
  Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  Check(f.write(bytes) == bytes.size());
}

// The file's lines as the engine splits them, at '\n'. Carriage returns at a
// line's end are left out: a file with bare '\n' ends and a stray "\r\r"
// before its end keeps one '\r' less after a write, which no read can see.
QStringList Lines(const QByteArray &bytes)
{
  const QString text = Cp1252::Decode(bytes);
  QStringList lines;
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = text.indexOf(u'\n', start);
    if (end < 0)
      end = text.size();
    QString line = text.mid(start, end - start);
    while (line.endsWith(u'\r'))
      line.chop(1);
    lines << line;
    start = end + 1;
  }
  return lines;
}

QString Unquoted(const QString &value)
{
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    return value.mid(1, value.size() - 2);
  return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  const QString &path = FilePath();
  const QByteArray original(reinterpret_cast<const char *>(data), qsizetype(size));
  WriteBytes(path, original);

  const QStringList sections = IniEngine::GetSectionNames(path);
  const QString missing = QStringLiteral("\x01missing");
  for (qsizetype s = 0; s < sections.size() && s < 16; ++s) {
    const QStringList lines = IniEngine::GetSection(path, sections[s]);
    QStringList seen;
    for (const QString &line : lines) {
      const qsizetype eq = line.indexOf(u'=');
      const QString key = eq < 0 ? line : line.left(eq);
      // The first of duplicate keys wins; names match without regard to case.
      if (seen.contains(key, Qt::CaseInsensitive))
        continue;
      seen << key;
      const QString expected = eq < 0 ? QString() : Unquoted(line.mid(eq + 1));
      Check(IniEngine::GetString(path, sections[s], key, missing) == expected);
    }
  }

  // A new key in the first section (or in a new one): nothing else changes.
  const QString section = sections.isEmpty() ? QStringLiteral("fuzz") : sections.first();
  const QString key = QStringLiteral("fuzzkey\x03");
  const QString value = QStringLiteral("v=1");
  const QStringList before = Lines(original);
  const QStringList sectionBefore = IniEngine::GetSection(path, section);
  if (IniEngine::GetString(path, section, key, missing) != missing)
    return 0; // the input holds the key already
  Check(IniEngine::WriteString(path, section, key, value));
  Check(IniEngine::GetString(path, section, key, missing) == value);
  Check(IniEngine::GetSection(path, section) == sectionBefore + QStringList{key + u'=' + value});
  const QStringList after = Lines(ReadBytes(path));
  if (!sections.isEmpty()) {
    const qsizetype added = after.indexOf(key + u'=' + value);
    Check(added >= 0 && after.size() == before.size() + 1);
    QStringList rest = after;
    rest.removeAt(added);
    Check(rest == before);
  }

  // Removing the key again leaves the section's lines as they were.
  Check(IniEngine::WriteString(path, section, key, QString()));
  Check(IniEngine::GetSection(path, section) == sectionBefore);

  // A section rewritten with its own lines lists the same lines.
  Check(IniEngine::WriteSection(path, section, sectionBefore));
  Check(IniEngine::GetSection(path, section) == sectionBefore);
  Check(IniEngine::GetSectionNames(path).size() == sections.size() + (sections.isEmpty() ? 1 : 0));
  return 0;
}
