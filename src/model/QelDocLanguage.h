#pragma once

#include "platform/DocView.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// Lowest layer of the board document: the languages the board's texts come
// in and the selected one. Entry 0 of a loaded document's list is "std".
class CQelDocLanguage : public CDocument {
  Q_OBJECT
public:
  explicit CQelDocLanguage(QObject *parent = nullptr);

  // Selects the first listed language equal to name ignoring case, else
  // index 0 and "std"; gives the index. The container layer extends it.
  virtual std::int16_t SelectLanguage(const QString &name);

  std::int16_t GetLanguageIndex() const { return m_nLanguage; }
  // The name at the current index; "std" while the list is still empty.
  QString GetLanguageName() const;
  int GetLanguageCount() const { return static_cast<int>(m_Languages.size()); }
  const QStringList &GetLanguageList() const { return m_Languages; }

  // Replaces the language list and selects the current name in it again.
  void AddLanguage(const QStringList &names);
  // Appends the names of a ';'-separated list.
  void SplitLanguageList(const QString &text);
  // Appends the ';'-separated items of text to target; always true. The
  // separator is always ';' whatever is passed.
  static bool LoadDictionaryLine(const QString &text, QStringList &target, QChar separator = u';');

  // The ';' splitting rule shared by both: a ';' that opens what remains (or
  // no ';' at all) makes the whole remaining text the last item.
  static void SplitList(QStringView text, QStringList &target);

protected:
  QStringList m_Languages;
  QString m_strLanguage;
  std::int16_t m_nLanguage = 0;
};
