#pragma once

#include <QHash>
#include <QString>

// The user-interface texts by numeric id. English is built into the program;
// Italian comes from the resource file LangITA11.rcc beside the executable,
// loaded at run time. GUI thread only.
class StringTable {
public:
  enum class Language { English = 1, Italian = 2 };

  static StringTable &Instance();

  // Makes the language current. Italian needs its resource file; when that
  // cannot be loaded the table stays English and the call returns false.
  bool SetLanguage(Language language, const QString &resourceFile = {});
  Language CurrentLanguage() const { return m_language; }

  // The text of the id in the current language (English where the language
  // lacks it), or nothing.
  bool Lookup(unsigned id, QString *text) const;
  QString Text(unsigned id) const;
  bool Contains(unsigned id) const;
  // The ids of the built-in English table, ascending.
  QList<unsigned> EnglishIds() const;

  // Where the Italian resource file is looked for by default: the
  // executable's folder.
  static QString DefaultItalianFile();

  // Parses "<id>\t<text>" lines with \\ \n \r \t escapes; '#' starts a comment.
  static QHash<unsigned, QString> Parse(const QByteArray &utf8);

private:
  StringTable();
  QHash<unsigned, QString> m_english;
  QHash<unsigned, QString> m_current;
  Language m_language = Language::English;
  QString m_registeredFile;
};

// The system beep. Goes through a replaceable handler so tests can count beeps
// and headless runs stay quiet; none is installed until a desktop session
// installs its own (vtx::InstallDesktopServices).
namespace vtx {
using BeepHandler = void (*)(int frequencyHz, int durationMs);
void Beep(int frequencyHz, int durationMs);
BeepHandler SetBeepHandler(BeepHandler handler);
} // namespace vtx
