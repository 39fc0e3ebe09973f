#pragma once

#include "Variabili.h"

#include <cstdint>

// One board parameter: a variable record with limits, default, current and
// old value, each as a board integer and as its SI mirror. Float parameters
// keep their values in the SI floats only; their integer slots stay 0.
class Parametri : public Variabili {
public:
  // Value selectors; the text functions also take SEL_GIVEN.
  enum { SEL_VALUE = 0, SEL_MIN = 1, SEL_MAX = 2, SEL_DEFAULT = 3, SEL_OLD = 4, SEL_GIVEN = 5 };

  // Limits, default and value in the storage type's own type, set by name.
  template <typename T> struct Values {
    T min{};
    T max{};
    T def{};
    T value{};
  };

  // One constructor per storage type (16-bit, 32-bit, float), chosen by the
  // type of the four values; limits and values are brought into line.
  Parametri(ItemFields fields, const Values<std::int16_t> &values);
  Parametri(ItemFields fields, const Values<std::int32_t> &values);
  Parametri(ItemFields fields, const Values<float> &values);
  // The same with every field as an argument, in record order.
  Parametri(int index, const QString &name, KTablePtr kTable, int k, NTablePtr nTable, int n, int s, std::uint16_t a,
            std::uint16_t v, std::uint16_t b, std::uint16_t blockBase, std::uint16_t p, std::uint16_t numberInKind,
            std::int16_t u, std::int16_t min, std::int16_t max, std::int16_t def, std::int16_t value);
  Parametri(int index, const QString &name, KTablePtr kTable, int k, NTablePtr nTable, int n, int s, std::uint16_t a,
            std::uint16_t v, std::uint16_t b, std::uint16_t blockBase, std::uint16_t p, std::uint16_t numberInKind,
            std::int16_t u, std::int32_t min, std::int32_t max, std::int32_t def, std::int32_t value);
  Parametri(int index, const QString &name, KTablePtr kTable, int k, NTablePtr nTable, int n, int s, std::uint16_t a,
            std::uint16_t v, std::uint16_t b, std::uint16_t blockBase, std::uint16_t p, std::uint16_t numberInKind,
            std::int16_t u, float min, float max, float def, float value);
  Parametri(const Parametri &) = default;
  Parametri &operator=(const Parametri &) = default;

  // True when the line follows the parameter grammar (index and name).
  bool Parse(QStringView line) const override;
  // The "p", "l" or "f" description line, without line end.
  virtual QString Format() const;

  // SI mirrors from the integers again (after the K table changed).
  void UpdateSiValues();

  double GetValue(int selector) const;
  std::int16_t GetShortValue() const;
  float GetSiValue(int selector) const;

  // Setters limit to [min, max]; an infinity goes to the limit, a NaN
  // leaves the value alone.
  void SetValue16(std::int16_t v);
  void SetValue32(std::int32_t v);
  void SetValueFloat(float f);
  // A raw board value, truncated to an integer: a 16-bit item keeps its low
  // 16 bits as the register would (40000 is -25536), then the limits apply.
  void SetRawValue(double x);
  // x as SetRawValue stores it before the limits apply.
  double RegisterValue(double x) const;
  // The board value its registers hold (high unused for a 16-bit item).
  double WordsValue(std::uint16_t low, std::uint16_t high) const;
  void SetVarLinkValue(std::int16_t v);
  void SetParLinkValue(std::int16_t v);

  // SI value to board integer, rounded and limited to [min, max]. An
  // infinity gives the limit, a NaN the current value. A scale factor of 0
  // is not divided by: the value is taken unscaled.
  std::int16_t SiToShort(double si) const;
  std::int32_t SiToLong(double si) const;
  // What si would be stored as.
  double QuantizeSi(double si) const;
  // x limited to the type's range and to [min, max] (max wins over min); a
  // NaN gives the current value.
  double Clamp(double x) const;

  // Internal-unit text ("%d", "%08Xhex" of a float's bits). A given value
  // of a 16-bit item is shown as the low 16 bits of its integer.
  QString GetValueString(int selector, double given = 0) const;
  // SI text; the value of a bit field as its sixteen bits.
  QString GetSiValueString(int selector, double given = 0) const;

  bool IsReadOnly() const { return m_a & ATTR_READ_ONLY; }
  bool IsVarLink() const { return m_a & ATTR_VAR_LINK; }
  bool IsParLink() const { return m_a & ATTR_PAR_LINK; }
  bool IsLink() const { return m_a & (ATTR_VAR_LINK | ATTR_PAR_LINK); }
  bool IsShortLink() const { return IsLink() && !(m_a & (ATTR_LONG_LINK | ATTR_FLOAT_LINK)); }
  bool IsLongLink() const { return IsLink() && (m_a & ATTR_LONG_LINK); }
  bool IsFloatLink() const { return IsLink() && (m_a & ATTR_FLOAT_LINK); }

  bool IsChanged() const;
  bool IsNotDefault() const;
  bool IsOldDefault() const;
  // The value becomes the old value (after a transfer with the board).
  void AcceptValue();
  // A board value, stored as SetRawValue would, becomes the old value; the
  // value stays.
  void SetOldRawValue(double x);

  // The value was set offline (an edit, an undo, an import) and has not been
  // sent to the board since: a refresh from the board must not replace it.
  bool IsOfflineChange() const { return m_bOfflineChange; }
  void SetOfflineChange(bool on) { m_bOfflineChange = on; }

private:
  // The integer constructors' common part: limits made consistent, value
  // kept as old value, SI values derived.
  void InitInteger(std::int32_t min, std::int32_t max, std::int32_t def, std::int32_t value);

  double SiToBoard(double si, double low, double high) const;
  float SiOfSlot(std::int32_t slot) const;
  const std::int32_t &Slot(int selector) const;
  const float &SiSlot(int selector) const;

  std::int32_t m_min = 0;
  std::int32_t m_max = 0;
  std::int32_t m_def = 0;
  std::int32_t m_val = 0;
  std::int32_t m_old = 0;
  float m_minSi = 0;
  float m_maxSi = 0;
  float m_defSi = 0;
  float m_valSi = 0;
  float m_oldSi = 0;
  bool m_bOfflineChange = false;
};
