#include "model/Blocchi.h"
#include "model/FormatBinary16.h"
#include "model/Parametri.h"
#include "model/TreeNode.h"
#include "model/Variabili.h"

#include "platform/Format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

std::shared_ptr<KTable> MakeK(KTable values)
{
  return std::make_shared<KTable>(std::move(values));
}

std::shared_ptr<NTable> MakeN(NTable values)
{
  return std::make_shared<NTable>(std::move(values));
}

// Fields of an item of block 1 (base 1) without scaling or unit.
ItemFields Item(const char *name, int index = 0, KTablePtr k = nullptr, int kIndex = -1, int s = 0)
{
  ItemFields f;
  f.index = index;
  f.name = QString::fromLatin1(name);
  f.kTable = std::move(k);
  f.k = kIndex;
  f.s = s;
  f.b = 1;
  f.blockBase = 1;
  return f;
}

Variabili Var16(KTablePtr k, int kIndex, int s, NTablePtr n = nullptr, int nIndex = -1)
{
  ItemFields f = Item("x", 0, std::move(k), kIndex, s);
  f.nTable = std::move(n);
  f.n = nIndex;
  f.blockBase = 12;
  f.p = 3;
  return Variabili(f, VAR_SHORT);
}

Parametri Par16(std::int16_t min, std::int16_t max, std::int16_t def, std::int16_t value, KTablePtr k = nullptr,
                int kIndex = -1, int s = 0, NTablePtr n = nullptr, int nIndex = -1, std::uint16_t a = 0)
{
  ItemFields f = Item("par", 0, std::move(k), kIndex, s);
  f.nTable = std::move(n);
  f.n = nIndex;
  f.a = a;
  return Parametri(f, Parametri::Values<std::int16_t>{.min = min, .max = max, .def = def, .value = value});
}

Parametri Par32(std::int32_t min, std::int32_t max, std::int32_t value)
{
  ItemFields f = Item("par32", 1);
  f.p = 2;
  return Parametri(f, Parametri::Values<std::int32_t>{.min = min, .max = max, .value = value});
}

Parametri ParF(float min, float max, float def, float value)
{
  ItemFields f = Item("parf", 2, nullptr, -1, -1);
  f.p = 4;
  return Parametri(f, Parametri::Values<float>{.min = min, .max = max, .def = def, .value = value});
}

} // namespace

TEST(Variabili, ScalesWithKTableAndShift)
{
  const auto k = MakeK({4096, 1, 1, 1, 13});
  EXPECT_FLOAT_EQ(Var16(k, 0, 12).FromRaw16(-32768), -32768.0f);
  // s above 16 takes the exponent from K[s-16].
  EXPECT_FLOAT_EQ(Var16(k, 0, 20).FromRaw16(-32768), -16384.0f);
  EXPECT_DOUBLE_EQ(Var16(k, 0, 20).GetScaleFactor(), 0.5);
  // An exponent entry that does not exist counts as 0.
  EXPECT_FLOAT_EQ(Var16(k, 0, 40).FromRaw16(2), 8192.0f);
}

TEST(Variabili, ZeroFactorScalesToZeroMissingFactorNotAtAll)
{
  const auto k = MakeK({0});
  const auto n = MakeN({0.0f, 0.5f, std::numeric_limits<float>::quiet_NaN()});
  EXPECT_FLOAT_EQ(Var16(k, 0, 0).FromRaw16(123), 0.0f);
  EXPECT_FALSE(std::signbit(Var16(k, 0, 0).FromRaw16(-123))) << "a plain 0, not -0";
  EXPECT_DOUBLE_EQ(Var16(k, 0, 0).GetScaleFactor(), 0.0);
  const Variabili wide(Item("w", 0, k, 0, 3), VAR_LONG);
  EXPECT_FLOAT_EQ(wide.FromRaw32(-2000000), 0.0f);
  EXPECT_FLOAT_EQ(Var16(nullptr, -1, 0, n, 0).FromRaw16(123), 0.0f);
  EXPECT_FLOAT_EQ(Var16(nullptr, -1, 0, n, 1).FromRaw16(123), 61.5f);
  // An N entry sent by the board as not a number scales nothing.
  EXPECT_FLOAT_EQ(Var16(nullptr, -1, 0, n, 2).FromRaw16(123), 123.0f);
  // A table shortened after the record was made: no scaling, no overrun.
  const auto shrinking = MakeK({4096, 2});
  Variabili v = Var16(shrinking, 1, 0);
  shrinking->resize(1);
  EXPECT_FLOAT_EQ(v.FromRaw16(7), 7.0f);
}

TEST(Variabili, LimitsResultsAndRawValues)
{
  // K[1] = -200 as exponent: 2^200 would overflow a float.
  const auto k = MakeK({30000, -200});
  EXPECT_FLOAT_EQ(Var16(k, 0, 17).FromRaw16(32767), FLT_MAX);
  EXPECT_FLOAT_EQ(Var16(k, 0, 17).FromRaw16(-32768), -FLT_MAX);
  // The most negative exponent a table can hold.
  const auto extreme = MakeK({1, INT_MIN, INT_MAX});
  EXPECT_FLOAT_EQ(Var16(extreme, 0, 17).FromRaw16(1), FLT_MAX);
  EXPECT_FLOAT_EQ(Var16(extreme, 0, 18).FromRaw16(1), 0.0f);
  EXPECT_EQ(Parametri(Item("p", 0, extreme, 0, 17), Parametri::Values<std::int16_t>{.min = -5, .max = 5}).SiToShort(1),
            0);
  const Variabili v = Var16(nullptr, -1, 0);
  EXPECT_DOUBLE_EQ(v.FromRaw(40000), 32767);
  EXPECT_DOUBLE_EQ(v.FromRaw(-70000.7), -32768);
  EXPECT_DOUBLE_EQ(v.FromRaw(12.9), 12);
  EXPECT_DOUBLE_EQ(v.FromRaw(NaN), 0);
  const Variabili f(Item("f"), VAR_FLOAT);
  EXPECT_DOUBLE_EQ(f.FromRaw(1e300), FLT_MAX);
  EXPECT_DOUBLE_EQ(f.FromRaw(0.25), 0.25);
}

TEST(Variabili, FormatValueChoosesDecimals)
{
  Variabili v = Var16(nullptr, -1, 0);
  v.SetNumDecimals(-1);
  EXPECT_EQ(v.FormatValue(0), "%g");
  EXPECT_EQ(v.FormatValue(NaN), "%g");
  EXPECT_EQ(v.FormatValue(Inf), "%g");
  EXPECT_EQ(v.FormatValue(0.0001), "%1.f");
  EXPECT_EQ(v.FormatValue(0.00005), "%1.f");
  EXPECT_EQ(v.FormatValue(0.5), "%.1f");
  EXPECT_EQ(v.FormatValue(3.14159), "%.3f");
  EXPECT_EQ(v.FormatValue(12.345), "%.2f");
  EXPECT_EQ(v.FormatValue(250), "%1.f");
  EXPECT_EQ(v.FormatValue(1e20), "%1.f");
  v.SetNumDecimals(4);
  EXPECT_EQ(v.FormatValue(250), "%.4f");
  v.SetNumDecimals(88);
  EXPECT_EQ(v.FormatValue(1.5), "%g");
  v.SetNumDecimals(99);
  EXPECT_EQ(v.FormatValue(1.5), "%g");
  EXPECT_EQ(vtx::Format(QStringLiteral("%1.f"), 0.00005), "0");
}

TEST(Variabili, NamesPerLanguageFallBackToNameZero)
{
  Variabili v = Var16(nullptr, -1, 0);
  v.SetName(QStringLiteral("x_en"));
  v.SetName(QStringLiteral("x_it"));
  EXPECT_EQ(v.SetNamePos(2), 2);
  EXPECT_EQ(v.GetNameText(), "x_it");
  EXPECT_EQ(v.GetName(), "x");
  EXPECT_EQ(v.SetNamePos(3), 0);
  EXPECT_EQ(v.GetNameText(), "x");
  EXPECT_EQ(v.SetNamePos(-1), 0);
  for (int i = 3; i < 12; ++i)
    v.SetName(QStringLiteral("n%1").arg(i));
  EXPECT_EQ(v.SetNamePos(9), 9);
  EXPECT_EQ(v.SetNamePos(10), 0);
  EXPECT_EQ(v.GetNameText(), "x");
}

TEST(Variabili, IdentityAndAttributeQueries)
{
  const Variabili v = Var16(nullptr, -1, 0);
  EXPECT_EQ(v.GetAddress(), 123);
  EXPECT_EQ(v.GetAddressKey(), "12_3");
  EXPECT_EQ(v.GetNumDecimals(), 99);
  EXPECT_TRUE(v.IsShort());
  EXPECT_FALSE(v.Parse(QStringLiteral("v0 x; k=-1;")));
  ItemFields fields = Item("l");
  fields.a = 0x04;
  fields.v = 2;
  const Variabili levelled(fields, VAR_SHORT);
  EXPECT_TRUE(levelled.IsVisibleAtLevel(2));
  EXPECT_TRUE(levelled.IsVisibleAtLevel(3));
  EXPECT_FALSE(levelled.IsVisibleAtLevel(1));
  EXPECT_TRUE(levelled.HasFlag4Only());
  EXPECT_FALSE(levelled.HasFlag8Only());
  fields.a = 0x0C;
  fields.v = 0;
  const Variabili both(fields, VAR_SHORT);
  EXPECT_FALSE(both.HasFlag4Only());
  EXPECT_FALSE(both.HasFlag8Only());
}

// The positional constructors name every field in record order; each of the
// six 16-bit numbers differs, so a swap in the mapping shows.
TEST(Variabili, PositionalAndNamedConstructorsAgree)
{
  const auto k = MakeK({1, 2, 3});
  const auto n = MakeN({0.5f, 0.25f});
  const ItemFields f{.index = 9,
                     .name = QStringLiteral("speed"),
                     .kTable = k,
                     .k = 2,
                     .nTable = n,
                     .n = 1,
                     .s = 5,
                     .a = 0x22,
                     .v = 3,
                     .b = 4,
                     .blockBase = 6,
                     .p = 7,
                     .numberInKind = 8,
                     .u = 1};
  auto same = [&](const Variabili &x, const Variabili &y) {
    EXPECT_EQ(x.Describe(), y.Describe());
    EXPECT_EQ(x.GetAddress(), y.GetAddress());
    EXPECT_EQ(x.GetNumberInKind(), y.GetNumberInKind());
    EXPECT_EQ(x.GetStorageType(), y.GetStorageType());
  };
  same(Variabili(9, f.name, k, 2, n, 1, 5, 0x22, 3, 4, 6, 7, 8, 1, VAR_LONG), Variabili(f, VAR_LONG));

  const Parametri p16(9, f.name, k, 2, n, 1, 5, 0x22, 3, 4, 6, 7, 8, 1, std::int16_t(-3), std::int16_t(30),
                      std::int16_t(4), std::int16_t(5));
  const Parametri n16(f, Parametri::Values<std::int16_t>{.min = -3, .max = 30, .def = 4, .value = 5});
  same(p16, n16);
  EXPECT_EQ(p16.Format(), n16.Format());
  const Parametri p32(9, f.name, k, 2, n, 1, 5, 0x22, 3, 4, 6, 7, 8, 1, std::int32_t(-3), std::int32_t(70000),
                      std::int32_t(4), std::int32_t(5));
  const Parametri n32(f, Parametri::Values<std::int32_t>{.min = -3, .max = 70000, .def = 4, .value = 5});
  same(p32, n32);
  EXPECT_EQ(p32.Format(), n32.Format());
  const Parametri pf(9, f.name, k, 2, n, 1, 5, 0x22, 3, 4, 6, 7, 8, 1, -3.5f, 30.5f, 4.5f, 5.5f);
  const Parametri nf(f, Parametri::Values<float>{.min = -3.5f, .max = 30.5f, .def = 4.5f, .value = 5.5f});
  same(pf, nf);
  EXPECT_EQ(pf.Format(), nf.Format());
}

TEST(Parametri, ConstructorsClampLimitsAndValues)
{
  const Parametri p = Par16(10, 5, 0, 7);
  EXPECT_EQ(p.GetValue(Parametri::SEL_MIN), 5);
  EXPECT_EQ(p.GetValue(Parametri::SEL_MAX), 5);
  EXPECT_EQ(p.GetValue(Parametri::SEL_DEFAULT), 5);
  EXPECT_EQ(p.GetValue(Parametri::SEL_VALUE), 5);
  EXPECT_EQ(p.GetValue(Parametri::SEL_OLD), 5);
  const Parametri f = ParF(0, 10, 20, 11);
  EXPECT_FLOAT_EQ(f.GetSiValue(Parametri::SEL_VALUE), 10);
  EXPECT_FLOAT_EQ(f.GetSiValue(Parametri::SEL_OLD), 10);
  EXPECT_FLOAT_EQ(f.GetSiValue(Parametri::SEL_DEFAULT), 10);
  EXPECT_EQ(f.GetValueString(Parametri::SEL_MIN), "00000000hex");
  const Parametri nan = ParF(0, 10, float(NaN), float(NaN));
  EXPECT_FLOAT_EQ(nan.GetSiValue(Parametri::SEL_VALUE), 0);
  // Open limits stay open: the value is kept, not pulled to 0.
  const Parametri open = ParF(-float(Inf), float(Inf), 1, 5);
  EXPECT_FLOAT_EQ(open.GetSiValue(Parametri::SEL_VALUE), 5);
  EXPECT_FLOAT_EQ(open.GetSiValue(Parametri::SEL_MAX), FLT_MAX);
  EXPECT_FLOAT_EQ(open.GetSiValue(Parametri::SEL_MIN), -FLT_MAX);
}

TEST(Parametri, SettersLimitInfinitiesAndIgnoreNaN)
{
  Parametri f = ParF(-1, 1, 0, 0.5f);
  f.SetValueFloat(float(NaN));
  f.SetRawValue(NaN);
  EXPECT_FLOAT_EQ(f.GetSiValue(0), 0.5f);
  f.SetValueFloat(float(Inf));
  EXPECT_FLOAT_EQ(f.GetSiValue(0), 1);
  f.SetValueFloat(-float(Inf));
  EXPECT_FLOAT_EQ(f.GetSiValue(0), -1);
  f.SetRawValue(Inf);
  EXPECT_FLOAT_EQ(f.GetSiValue(0), 1);
  f.SetRawValue(-1e300);
  EXPECT_FLOAT_EQ(f.GetSiValue(0), -1);
  f.SetValueFloat(3);
  EXPECT_FLOAT_EQ(f.GetSiValue(0), 1);

  // Each row: a raw value set, in turn, and the value held after it.
  using Steps = std::vector<std::pair<double, double>>;
  const auto expectSteps = [](Parametri p, const Steps &steps, bool isShort) {
    for (const auto &[raw, held] : steps) {
      p.SetRawValue(raw);
      EXPECT_EQ(isShort ? p.GetShortValue() : p.GetValue(0), held) << "after " << raw;
    }
  };
  // A 16-bit register takes the low 16 bits of the integer.
  expectSteps(Par16(-32768, 32767, 0, 0),
              {{40000, -25536},
               {70000.9, 4464},
               {-40000.9, 25536},
               {65535, -1},
               {NaN, -1},
               {Inf, 32767},
               {-Inf, -32768},
               {-12.7, -12}},
              true);
  // The limits apply after the narrowing: 40000 is -25536, below 0.
  expectSteps(Par16(0, 100, 0, 50), {{40000, 0}, {150, 100}, {-Inf, 0}}, true);
  Parametri limited = Par16(0, 100, 0, 50);
  limited.SetValue16(-5);
  EXPECT_EQ(limited.GetShortValue(), 0);
  expectSteps(Par32(-1000, 5000000, 0), {{1e12, 5000000}, {-3e9, -1000}, {Inf, 5000000}, {NaN, 5000000}}, false);
}

TEST(Parametri, SiToBoardRoundsAndLimits)
{
  const auto k = MakeK({1, 1000});
  const Parametri p = Par16(-100, 100, 0, 7, k, 0, 0);
  EXPECT_EQ(p.SiToShort(2.5), 3);
  EXPECT_EQ(p.SiToShort(-2.5), -2);
  EXPECT_EQ(p.SiToShort(1000), 100);
  EXPECT_EQ(p.SiToShort(-1e30), -100);
  EXPECT_EQ(p.SiToShort(NaN), 7);
  EXPECT_EQ(p.SiToShort(Inf), 100);
  EXPECT_EQ(p.SiToShort(-Inf), -100);
  EXPECT_DOUBLE_EQ(p.QuantizeSi(NaN), 7);
  EXPECT_DOUBLE_EQ(p.QuantizeSi(Inf), 100);

  // K[1] = 1000 with a shift of 10: one count is 1000/1024.
  const Parametri scaled = Par16(-32768, 32767, 0, 0, k, 1, 10);
  EXPECT_EQ(scaled.SiToShort(1.0), 1);
  EXPECT_EQ(scaled.SiToShort(100.0), 102);
  EXPECT_NEAR(scaled.GetSiValue(Parametri::SEL_MAX), 32767 * 1000.0 / 1024, 0.01);

  const auto n = MakeN({0.1f});
  const Parametri byN = Par16(-32768, 32767, 0, 0, nullptr, -1, 0, n, 0);
  EXPECT_EQ(byN.SiToShort(1.26), 13);
  EXPECT_DOUBLE_EQ(byN.QuantizeSi(-0.5), -5);
  EXPECT_EQ(byN.SiToShort(-Inf), -32768);

  // A factor of 0 is not divided by: the value goes through unscaled.
  const auto zeroK = MakeK({0});
  const Parametri kZero = Par16(-1000, 1000, 0, 0, zeroK, 0, 4);
  EXPECT_EQ(kZero.SiToShort(12.6), 12);
  EXPECT_EQ(kZero.SiToShort(5000), 1000);
  EXPECT_FLOAT_EQ(kZero.GetSiValue(Parametri::SEL_MAX), 0.0f);
  const auto zeroN = MakeN({0.0f});
  const Parametri nZero = Par16(-1000, 1000, 0, 0, nullptr, -1, 0, zeroN, 0);
  EXPECT_DOUBLE_EQ(nZero.QuantizeSi(-7.9), -7);
  const Parametri lZero(Item("l0", 1, zeroK, 0), Parametri::Values<std::int32_t>{.min = -10, .max = 100000});
  EXPECT_EQ(lZero.SiToLong(99999.5), 99999);
  EXPECT_EQ(lZero.SiToLong(Inf), 100000);

  // No scaling: 40000 never wraps, it stops at the limit.
  const Parametri plain = Par16(-32768, 32767, 0, 0);
  EXPECT_EQ(plain.SiToShort(40000), 32767);
  EXPECT_EQ(plain.SiToShort(-70000), -32768);
  EXPECT_EQ(plain.SiToShort(12.9), 12);

  const Parametri l = Par32(-10, 2000000000, 0);
  EXPECT_EQ(l.SiToLong(5e9), 2000000000);
  EXPECT_EQ(l.SiToLong(-5e9), -10);
  EXPECT_EQ(l.SiToLong(Inf), 2000000000);
  EXPECT_EQ(l.SiToLong(NaN), 0);

  const Parametri f = ParF(-1, 1, 0, 0);
  EXPECT_DOUBLE_EQ(f.QuantizeSi(5), 1);
  EXPECT_DOUBLE_EQ(f.Clamp(-5), -1);
  EXPECT_DOUBLE_EQ(f.Clamp(NaN), 0);
  EXPECT_DOUBLE_EQ(f.Clamp(Inf), 1);
  EXPECT_DOUBLE_EQ(f.Clamp(-Inf), -1);
  EXPECT_DOUBLE_EQ(f.QuantizeSi(-Inf), -1);
  EXPECT_DOUBLE_EQ(Par16(-5, 5, 0, 1).Clamp(70000), 5);
  EXPECT_DOUBLE_EQ(Par16(-5, 5, 0, 1).Clamp(Inf), 5);
  EXPECT_DOUBLE_EQ(Par16(-5, 5, 0, 1).Clamp(-Inf), -5);
  EXPECT_DOUBLE_EQ(Par16(-5, 5, 0, 1).Clamp(NaN), 1);
  EXPECT_DOUBLE_EQ(Par32(-10, 10, 3).Clamp(Inf), 10);
  EXPECT_DOUBLE_EQ(Par16(-5, 5, 0, 1).Clamp(-4.9), -4);
}

TEST(Parametri, ValueTexts)
{
  const Parametri f = ParF(-2, 2, 0, 1.0f);
  EXPECT_EQ(f.GetValueString(Parametri::SEL_VALUE), "3F800000hex");
  EXPECT_EQ(f.GetValueString(Parametri::SEL_GIVEN, 0.5), " 0.5");
  Parametri p = Par16(-32768, 32767, 0, -2);
  EXPECT_EQ(p.GetValueString(Parametri::SEL_VALUE), "-2");
  // A given number on a 16-bit item: the low 16 bits of its integer.
  EXPECT_EQ(p.GetValueString(Parametri::SEL_GIVEN, 70000), "4464");
  EXPECT_EQ(p.GetValueString(Parametri::SEL_GIVEN, 40000.7), "-25536");
  EXPECT_EQ(p.GetValueString(Parametri::SEL_GIVEN, -1.5), "-1");
  EXPECT_EQ(Par32(INT_MIN, INT_MAX, 0).GetValueString(Parametri::SEL_GIVEN, 70000), "70000");
  p.SetNumDecimals(2);
  EXPECT_EQ(p.GetSiValueString(Parametri::SEL_VALUE), "-2.00");
  EXPECT_EQ(p.GetSiValueString(Parametri::SEL_GIVEN, 1.5), "1.50");
  const Parametri bits = Par16(-32768, 32767, 0, -32767, nullptr, -1, 0, nullptr, -1, ATTR_BIT_FIELD);
  EXPECT_EQ(bits.GetSiValueString(Parametri::SEL_VALUE), "1000.0000.0000.0001");
  EXPECT_EQ(bits.GetSiValueString(Parametri::SEL_DEFAULT), "0000.0000.0000.0000");
  EXPECT_EQ(FormatBinary16(0xA5F0), "1010.0101.1111.0000");
}

TEST(Parametri, ComparisonsAndLinkKinds)
{
  Parametri p = Par16(0, 100, 10, 10);
  EXPECT_FALSE(p.IsChanged());
  EXPECT_TRUE(p.IsOldDefault());
  p.SetValue16(20);
  EXPECT_TRUE(p.IsChanged());
  EXPECT_TRUE(p.IsNotDefault());
  p.AcceptValue();
  EXPECT_FALSE(p.IsChanged());
  EXPECT_FALSE(p.IsOldDefault());

  Parametri f = ParF(-1, 1, 0.5f, 0.25f);
  EXPECT_FALSE(f.IsOldDefault());
  f.SetValueFloat(0.5f);
  f.AcceptValue();
  EXPECT_TRUE(f.IsOldDefault());

  const auto link = [](std::uint16_t a) { return Par16(0, 9999, 0, 0, nullptr, -1, 0, nullptr, -1, a); };
  EXPECT_TRUE(link(0x01).IsShortLink());
  EXPECT_TRUE(link(0x21).IsLongLink());
  EXPECT_TRUE(link(0x50).IsFloatLink());
  EXPECT_FALSE(link(0x20).IsLongLink());
  EXPECT_TRUE(link(0x02).IsReadOnly());
}

TEST(Blocchi, CopiesAndDescribes)
{
  Blocchi b(3, QStringLiteral("Loop"), 2, 40, 7);
  Blocchi c(1, QStringLiteral("Other"), 0, 1, 0);
  c = b;
  EXPECT_EQ(c.GetNumber(), 3);
  EXPECT_EQ(c.GetParent(), 2);
  EXPECT_EQ(c.GetBase(), 40);
  EXPECT_EQ(c.Describe(), "b3 Loop#2; b=40; a=7;");
  EXPECT_EQ(Blocchi(3, QStringLiteral("x"), 5, 0, 0).GetParent(), 0);
  c.SetName(QStringLiteral("Anello"));
  EXPECT_EQ(c.SetNamePos(1), 1);
  EXPECT_EQ(c.GetSelectedName(), "Anello");
  EXPECT_EQ(c.SetNamePos(4), 0);
  EXPECT_EQ(c.GetSelectedName(), "Loop");
  EXPECT_EQ(Blocchi::CompareUShort(1, 65535), -1);
  EXPECT_EQ(Blocchi::CompareUShort(65535, 1), 1);
  EXPECT_EQ(Blocchi::CompareUShort(7, 7), 0);
}

TEST(CTreeNode, RefusedNodeHangsAtTheTop)
{
  CTreeNode node(-3, -1, QStringLiteral("Loop"));
  EXPECT_TRUE(node.IsValid());
  EXPECT_EQ(node.GetTreeItem(), nullptr);
  node.Refuse(CTreeNode::NODE_NO_PARENT);
  EXPECT_EQ(node.GetStatus(), 3);
  EXPECT_EQ(node.GetParentId(), 0);
  const CTreeNode copy(node);
  EXPECT_EQ(copy.GetId(), -3);
  EXPECT_EQ(copy.GetStatus(), 3);
}
