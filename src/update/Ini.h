#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

// Reads and writes one INI file with the Windows profile semantics (see
// IniEngine). A missing file, section or key is never an error: reads answer
// the default. An empty section or key counts as none.
class CIni {
public:
  CIni() = default;
  explicit CIni(const QString &path) { SetPathName(path); }
  virtual ~CIni() = default;

  void SetPathName(const QString &path) { m_path = path; }
  QString GetPathName() const { return m_path; }
  // Copies at most size - 1 characters and a terminator; returns the length copied.
  int GetPathName(char *buffer, int size) const;

  QString GetString(const QString &section, const QString &key, const QString &def = {}) const;
  // Copies at most size - 1 bytes of the value and a terminator; returns the length copied.
  int GetString(const QString &section, const QString &key, char *buffer, int size, const QString &def = {}) const;
  bool WriteString(const QString &section, const QString &key, const QString &value);
  bool AppendString(const QString &section, const QString &key, const QString &text);

  QStringList GetArray(const QString &section, const QString &key, const QString &delimiter = QStringLiteral(","),
                       bool trim = true) const;
  bool WriteArray(const QString &section, const QString &key, const QStringList &values, int count = -1,
                  const QString &delimiter = QStringLiteral(","));

  // Unsigned conversion in base 2, 8 or 16; any other base is 10. Conversion
  // stops at the first character that is not a digit of the base.
  int GetInt(const QString &section, const QString &key, int def, int base = 10) const;
  unsigned GetUInt(const QString &section, const QString &key, unsigned def, int base = 10) const;
  bool WriteInt(const QString &section, const QString &key, int value, int base = 10);
  bool WriteUInt(const QString &section, const QString &key, unsigned value, int base = 10);
  bool IncreaseInt(const QString &section, const QString &key, int increase = 1, int base = 10);
  bool IncreaseUInt(const QString &section, const QString &key, unsigned increase = 1, int base = 10);

  bool GetBool(const QString &section, const QString &key, bool def) const;
  bool WriteBool(const QString &section, const QString &key, bool value);
  bool InvertBool(const QString &section, const QString &key);

  double GetReal(const QString &section, const QString &key, double def) const;
  bool WriteReal(const QString &section, const QString &key, double value, int decimals = 0);
  bool IncreaseReal(const QString &section, const QString &key, double increase, int decimals = 0);

  QChar GetChar(const QString &section, const QString &key, QChar def) const;
  bool WriteChar(const QString &section, const QString &key, QChar value);

  // A byte block as two upper-case hexadecimal digits per byte.
  bool WriteBlock(const QString &section, const QString &key, const void *data, int size);
  bool AppendBlock(const QString &section, const QString &key, const void *data, int size);
  // Copies at most size bytes of the block, after skipping offset bytes, and
  // returns the number copied; without a buffer returns the number available.
  // A value with a character that is no hexadecimal digit holds 0 bytes.
  int GetBlock(const QString &section, const QString &key, void *buffer, int size, int offset = 0) const;

  QPoint GetPoint(const QString &section, const QString &key, QPoint def) const;
  bool WritePoint(const QString &section, const QString &key, QPoint value);
  QRect GetRect(const QString &section, const QString &key, const QRect &def) const;
  bool WriteRect(const QString &section, const QString &key, const QRect &value);

  QStringList GetSectionNames() const;
  void GetSectionNames(QStringList *array) const;
  // The names of the section's keys in the file's order.
  void GetKeyNames(const QString &section, QStringList *array) const;
  void GetKeyLines(const QString &section, QStringList *array) const;
  bool IsSectionExist(const QString &section) const;
  bool IsKeyExist(const QString &section, const QString &key) const;

  bool DeleteSection(const QString &section);
  bool DeleteKey(const QString &section, const QString &key);
  bool CopySection(const QString &source, const QString &target, bool failIfExist);
  bool MoveSection(const QString &source, const QString &target, bool failIfExist = true);
  bool CopyKey(const QString &sourceSection, const QString &sourceKey, const QString &targetSection,
               const QString &targetKey, bool failIfExist);
  bool MoveKey(const QString &sourceSection, const QString &sourceKey, const QString &targetSection,
               const QString &targetKey, bool failIfExist = true);

private:
  static QString NumberText(unsigned long long value, int base, bool negative);

  QString m_path;
};
