#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// One function block: number (1..255), parent block (0 = top level), base
// number of its items' register addresses, attribute byte, names per language.
class Blocchi {
public:
  Blocchi(int number, const QString &name, int parent, std::uint16_t base, std::uint8_t a);
  Blocchi(const Blocchi &) = default;
  Blocchi &operator=(const Blocchi &) = default;
  virtual ~Blocchi() = default;

  virtual void SetName(const QString &name);
  // Selects the current name; a position outside the name list or beyond the
  // ten languages selects name 0 and gives 0.
  virtual std::int16_t SetNamePos(int pos);
  // The "b" description line, without line end.
  virtual QString Describe() const;

  std::uint8_t GetNumber() const { return m_number; }
  std::uint8_t GetParent() const { return m_parent; }
  std::uint16_t GetBase() const { return m_base; }
  std::uint8_t GetAttribute() const { return m_a; }
  const QString &GetName() const { return m_names.front(); }
  const QString &GetSelectedName() const;
  const QStringList &GetNames() const { return m_names; }
  std::int16_t GetNamePos() const { return m_selectedName; }

  // Ascending order of two 16-bit words for a standard sort: -1, 0 or 1.
  static int CompareUShort(std::uint16_t a, std::uint16_t b);

private:
  std::uint8_t m_a = 0;
  std::uint8_t m_number = 1;
  std::uint8_t m_parent = 0;
  QStringList m_names;
  std::uint16_t m_base = 0;
  std::int16_t m_selectedName = 0;
};
