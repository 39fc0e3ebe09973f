#pragma once

#include <QString>

#include <memory>

class QSettings;

// The application profile: what the boards' tool kept in the registry under
// "Norv", here an INI file through QSettings. Sections are written with
// backslashes ("2.1\Settings") and stored as nested groups ("2.1/Settings").
// Integers are stored as decimal text. GUI thread only.
class Profile {
public:
  // The profile of the user's config folder (organisation "Norv",
  // application "Velotrix").
  Profile();
  // A profile kept in the given INI file (tests, portable set-ups).
  explicit Profile(const QString &iniPath);
  ~Profile();
  Profile(const Profile &) = delete;
  Profile &operator=(const Profile &) = delete;

  // The profile the application uses; created on first use.
  static Profile &Instance();
  // Replaces the application's profile (tests point it at a temporary file).
  static void SetInstance(std::unique_ptr<Profile> profile);

  QString GetProfileString(const QString &section, const QString &entry, const QString &defaultValue = {}) const;
  bool WriteProfileString(const QString &section, const QString &entry, const QString &value);
  // The stored value when it is a whole decimal integer, else the default.
  int GetProfileInt(const QString &section, const QString &entry, int defaultValue) const;
  bool WriteProfileInt(const QString &section, const QString &entry, int value);
  bool Contains(const QString &section, const QString &entry) const;
  bool RemoveSection(const QString &section);
  // Writes pending changes to disk; false when the file cannot be written.
  bool Sync();
  QString FileName() const;

private:
  static QString Key(const QString &section, const QString &entry);
  std::unique_ptr<QSettings> m_settings;
};
