#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

// The document's scaling tables. Records share them with the document, which
// refills and edits them in place, so a record never holds a pointer into a
// vector's storage.
using KTable = std::vector<std::int32_t>;
using NTable = std::vector<float>;
using KTablePtr = std::shared_ptr<const KTable>;
using NTablePtr = std::shared_ptr<const NTable>;

// Storage types of board items.
enum : std::uint32_t { VAR_SHORT = 0, VAR_LONG = 1, VAR_FLOAT = 2 };

// Attribute bits of an item.
enum : std::uint16_t {
  ATTR_VAR_LINK = 0x01,
  ATTR_READ_ONLY = 0x02,
  ATTR_BIT_FIELD = 0x04,
  ATTR_ENUM = 0x08,
  ATTR_PAR_LINK = 0x10,
  ATTR_LONG_LINK = 0x20,
  ATTR_FLOAT_LINK = 0x40,
};

// The fields a record is built from, set one by one by name: in the
// positional constructors six 16-bit numbers stand side by side, and a call
// that swapped two of them would still compile.
struct ItemFields {
  int index = 0; // below Variabili::MaxIndex
  QString name;  // name 0 (the one description lines carry)
  KTablePtr kTable;
  int k = -1; // K table index, -1 for none
  NTablePtr nTable;
  int n = -1;          // N table index, -1 for none
  int s = 0;           // shift exponent, above 16: K[s-16]
  std::uint16_t a = 0; // attribute bits
  std::uint16_t v = 0; // visualization level
  std::uint16_t b = 0; // function block (index in the document's block list)
  std::uint16_t blockBase = 0;
  std::uint16_t p = 0; // position inside the block
  std::uint16_t numberInKind = 0;
  std::int16_t u = -1; // unit index, -1 for none
};

// One board variable: identity, storage type, scaling to SI units, unit,
// display decimals, level, attributes and its name in every language.
class Variabili {
public:
  static constexpr int MaxIndex = 20000;
  static constexpr int MaxLanguages = 10;

  Variabili(ItemFields fields, std::uint32_t storageType);
  Variabili(int index, const QString &name, KTablePtr kTable, int k, NTablePtr nTable, int n, int s, std::uint16_t a,
            std::uint16_t v, std::uint16_t b, std::uint16_t blockBase, std::uint16_t p, std::uint16_t numberInKind,
            std::int16_t u, std::uint32_t storageType);
  Variabili(const Variabili &) = default;
  Variabili &operator=(const Variabili &) = default;
  virtual ~Variabili() = default;

  // Appends the name of one more language.
  virtual void SetName(const QString &name);
  // Selects the current name. A position outside the name list or beyond the
  // ten languages selects name 0 and gives 0.
  virtual std::int16_t SetNamePos(int pos);
  // The "v", "w" or "y" description line, without line end.
  virtual QString Describe() const;
  // Only parameter records parse lines; always false here.
  virtual bool Parse(QStringView line) const;

  const QString &GetName() const { return m_names.front(); }
  // The name of the current language (name 0 when that language has none).
  const QString &GetNameText() const;
  const QStringList &GetNames() const { return m_names; }
  std::int16_t GetNamePos() const { return m_namePos; }

  bool IsShort() const { return m_type == VAR_SHORT; }
  bool IsLong() const { return m_type == VAR_LONG; }
  bool IsFloat() const { return m_type == VAR_FLOAT; }
  std::uint32_t GetStorageType() const { return m_type; }

  std::uint16_t GetIndex() const { return m_index; }
  std::uint16_t GetAddress() const { return m_address; }
  // "%d_%d" of block base number and position.
  QString GetAddressKey() const;
  std::uint16_t GetBlockBase() const { return m_blockBase; }
  std::uint16_t GetPosition() const { return m_p; }
  // The function block (index in the document's block list).
  int GetBlockId() const { return m_b; }
  std::uint16_t GetNumberInKind() const { return m_numberInKind; }
  int GetBaseIndex() const { return m_k; }
  int GetFloatIndex() const { return m_n; }
  int GetShift() const { return m_s; }
  std::uint16_t GetLevel() const { return m_v; }
  std::uint16_t GetAttributes() const { return m_a; }
  std::int16_t GetUnit() const { return m_u; }
  std::int16_t GetNumDecimals() const { return m_decimals; }
  void SetNumDecimals(std::int16_t decimals) { m_decimals = decimals; }

  bool IsVisibleAtLevel(int level) const { return level >= m_v; }
  bool HasFlag4Only() const { return (m_a & (ATTR_BIT_FIELD | ATTR_ENUM)) == ATTR_BIT_FIELD; }
  bool HasFlag8Only() const { return (m_a & (ATTR_BIT_FIELD | ATTR_ENUM)) == ATTR_ENUM; }

  // Raw board value to SI value, limited to the float range.
  float FromRaw16(std::int16_t raw) const;
  float FromRaw32(std::int32_t raw) const;
  // By storage type; the raw value is limited to the type's range first. A
  // value that is not a number gives 0.
  double FromRaw(double raw) const;
  // The factor from a raw value to its SI value.
  double GetScaleFactor() const;
  // The printf format that shows x with this item's display decimals.
  QString FormatValue(double x) const;
  // The internal-unit text of a float: its bit pattern, "%08Xhex".
  static QString FloatBitsText(float value);

protected:
  // The positional arguments as named fields.
  static ItemFields Fields(int index, const QString &name, KTablePtr kTable, int k, NTablePtr nTable, int n, int s,
                           std::uint16_t a, std::uint16_t v, std::uint16_t b, std::uint16_t blockBase, std::uint16_t p,
                           std::uint16_t numberInKind, std::int16_t u);

  // The tails every description line shares: "; k=..; n=..; s=.." and
  // "; b=..; p=..; v=..; a=..; u=..;".
  void AppendScaleKeys(QString &line) const;
  void AppendPlaceKeys(QString &line) const;

  // The scaling in effect: K[k] and the shift exponent, or N[n]; false for
  // none (no table entry, or an N factor that is not finite). A factor of 0
  // is scaling: every raw value is 0 in SI.
  bool KScaling(double *factor, int *exponent) const;
  bool NScaling(double *factor) const;
  // The SI value of a raw value, limited to the float range.
  float Scale(double raw) const;

  std::uint16_t m_address = 0;
  std::uint16_t m_a = 0;
  KTablePtr m_pK;
  std::int32_t m_k = -1;
  NTablePtr m_pN;
  std::int32_t m_n = -1;
  std::int32_t m_s = 0;
  std::uint32_t m_type = VAR_SHORT;
  std::uint16_t m_v = 0;
  std::uint16_t m_b = 0;
  std::uint16_t m_blockBase = 0;
  std::uint16_t m_p = 0;
  std::uint16_t m_numberInKind = 0;
  std::uint16_t m_index = 0;
  std::int16_t m_u = -1;
  std::int16_t m_decimals = 99;
  std::int16_t m_namePos = 0;
  QStringList m_names;
};
