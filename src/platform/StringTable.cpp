#include "StringTable.h"

#include "Trace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QResource>

namespace {

constexpr auto kEnglishTable = ":/strings/en.txt";
constexpr auto kItalianRoot = "/LangITA11";
constexpr auto kItalianTable = ":/LangITA11/strings/it.txt";

QString Unescape(QStringView s)
{
  QString out;
  out.reserve(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s[i];
    if (c != u'\\' || i + 1 >= s.size()) {
      out += c;
      continue;
    }
    const QChar e = s[++i];
    if (e == u'n')
      out += u'\n';
    else if (e == u'r')
      out += u'\r';
    else if (e == u't')
      out += u'\t';
    else
      out += e;
  }
  return out;
}

// Silent until a desktop session installs its beep.
vtx::BeepHandler g_beep = nullptr;

} // namespace

namespace vtx {
void Beep(int frequencyHz, int durationMs)
{
  if (g_beep)
    g_beep(frequencyHz, durationMs);
}

BeepHandler SetBeepHandler(BeepHandler handler)
{
  BeepHandler old = g_beep;
  g_beep = handler;
  return old;
}
} // namespace vtx

QHash<unsigned, QString> StringTable::Parse(const QByteArray &utf8)
{
  QHash<unsigned, QString> table;
  const QString all = QString::fromUtf8(utf8);
  for (QStringView line : QStringView(all).split(u'\n')) {
    if (line.endsWith(u'\r'))
      line.chop(1);
    if (line.isEmpty() || line.startsWith(u'#'))
      continue;
    const qsizetype tab = line.indexOf(u'\t');
    if (tab <= 0)
      continue;
    bool ok = false;
    const unsigned id = line.left(tab).toUInt(&ok);
    if (ok)
      table.insert(id, Unescape(line.mid(tab + 1)));
  }
  return table;
}

StringTable::StringTable()
{
  QFile f(QString::fromLatin1(kEnglishTable));
  if (f.open(QIODevice::ReadOnly))
    m_english = Parse(f.readAll());
  else
    qCWarning(lcPlatform, "built-in English string table missing");
  m_current = m_english;
}

StringTable &StringTable::Instance()
{
  static StringTable table;
  return table;
}

QString StringTable::DefaultItalianFile()
{
  return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("LangITA11.rcc"));
}

bool StringTable::SetLanguage(Language language, const QString &resourceFile)
{
  if (!m_registeredFile.isEmpty()) {
    QResource::unregisterResource(m_registeredFile, QString::fromLatin1(kItalianRoot));
    m_registeredFile.clear();
  }
  m_current = m_english;
  m_language = Language::English;
  if (language == Language::English)
    return true;

  const QString file = resourceFile.isEmpty() ? DefaultItalianFile() : resourceFile;
  if (!QResource::registerResource(file, QString::fromLatin1(kItalianRoot))) {
    qCWarning(lcPlatform) << "cannot load language file" << file;
    return false;
  }
  m_registeredFile = file;
  QFile f(QString::fromLatin1(kItalianTable));
  if (!f.open(QIODevice::ReadOnly)) {
    qCWarning(lcPlatform) << "language file without a string table" << file;
    QResource::unregisterResource(file, QString::fromLatin1(kItalianRoot));
    m_registeredFile.clear();
    return false;
  }
  const QHash<unsigned, QString> italian = Parse(f.readAll());
  for (auto it = italian.cbegin(); it != italian.cend(); ++it)
    m_current.insert(it.key(), it.value());
  m_language = Language::Italian;
  return true;
}

bool StringTable::Lookup(unsigned id, QString *text) const
{
  const auto it = m_current.constFind(id);
  if (it == m_current.cend())
    return false;
  if (text)
    *text = it.value();
  return true;
}

QString StringTable::Text(unsigned id) const
{
  return m_current.value(id);
}

bool StringTable::Contains(unsigned id) const
{
  return m_current.contains(id);
}

QList<unsigned> StringTable::EnglishIds() const
{
  QList<unsigned> ids = m_english.keys();
  std::sort(ids.begin(), ids.end());
  return ids;
}
