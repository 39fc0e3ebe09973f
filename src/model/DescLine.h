#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <vector>

// One block, parameter or variable description line taken apart: its index,
// its name, the text where its value stands and the first occurrence of each
// key letter. Holds views into the line, so it must not outlive it.
class CDescLine {
public:
  // Key letters of each line kind.
  static constexpr QStringView ParameterKeys = u"mMdknsbvaup";
  static constexpr QStringView VariableKeys = u"knsbpvau";
  static constexpr QStringView BlockKeys = u"ba";

  // Finds index, name, rest and keys; false when the line has no index or no
  // name, or was cut short: it does not end with ';' (trailing blanks and CR
  // aside) or a key letter ends it. keyLetters holds at most 16 letters.
  bool Split(QStringView line, QStringView keyLetters);

  int Index() const { return m_index; }
  QStringView Name() const { return m_name; }
  // The text after the name and its separator: a value or a parent number.
  QStringView Rest() const { return m_rest; }

  bool HasKey(QChar letter) const;
  // The key's number, or def when the line does not give the key.
  int KeyInt(QChar letter, int def) const;
  double KeyDouble(QChar letter, double def) const;

  // Decimal integer with optional blanks and sign; stops at the first other
  // character, 0 without digits, saturated at the int range.
  static int ReadInt(QStringView text);
  // Decimal float in the C locale; 0 without a number. Values beyond the
  // double range read as infinities, "inf" and "nan" as such.
  static double ReadDouble(QStringView text);

  // "K[] = " lines and friends. The readers give false, and leave the table
  // alone, for a line without '='.
  static bool ReadKTable(QStringView line, std::vector<std::int32_t> *table);
  static bool ReadNTable(QStringView line, std::vector<float> *table);
  static bool ReadUnits(QStringView line, QStringList *units);
  static QString WriteKTable(const std::vector<std::int32_t> &table);
  static QString WriteNTable(const std::vector<float> &table);
  static QString WriteUnits(const QStringList &units);

private:
  static constexpr int MaxKeys = 16;
  int m_index = 0;
  QStringView m_name;
  QStringView m_rest;
  QStringView m_letters;
  QStringView m_keys[MaxKeys]; // text after "<letter>=" of each found key
  bool m_found[MaxKeys] = {};
};

// Limits to a 16-bit or 32-bit integer or to the float range; NaN gives 0.
std::int16_t SaturateToShort(double x);
std::int32_t SaturateToLong(double x);
float SaturateToFloat(double x);
