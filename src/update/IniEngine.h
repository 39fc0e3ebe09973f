#pragma once

#include <QString>
#include <QStringList>

// Our INI-file engine with the Windows private-profile semantics: sections and
// keys match without regard to case, names and values are trimmed, a value in
// matching quotes loses them on reading, lines starting with ';' are comments,
// the first of duplicate sections or keys wins, and a write keeps every other
// line of the file as it was. Files are Windows-1252. Each call reads the file
// again, so two objects on one file always agree.
namespace IniEngine {

// The value, or the default when the file, section or key is missing.
QString GetString(const QString &path, const QString &section, const QString &key, const QString &def);
// The section's lines as "key=value" (or the bare line when it has no '='),
// without comments and blank lines; empty when missing.
QStringList GetSection(const QString &path, const QString &section);
QStringList GetSectionNames(const QString &path);

// Sets a value (creating the file and the section when missing). A null key
// removes the whole section; a null value removes the key. False when the
// file cannot be written.
bool WriteString(const QString &path, const QString &section, const QString &key, const QString &value);
// Replaces the section's lines by the given ones (creating it when missing).
bool WriteSection(const QString &path, const QString &section, const QStringList &lines);

} // namespace IniEngine
