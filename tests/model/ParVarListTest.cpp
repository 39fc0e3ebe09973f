#include "ModelSample.h"

#include "model/QelDocParVarList.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Variables: 16-bit at 100, 32-bit at 120 (and 121), float at 130 (and 131);
// parameters 0.. are links of the kinds the test adds.
class Links : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(doc.ParseKTable(u"K[] = 1;"));
    ASSERT_TRUE(doc.ParseBlockLine(u"b1 Links#0; b=0;"));
    ASSERT_TRUE(doc.ParseBlockLine(u"b2 Vars#0; b=10;"));
    ASSERT_TRUE(doc.ParseBlockLine(u"b3 Wide#0; b=12;"));
    ASSERT_TRUE(doc.ParseBlockLine(u"b4 Float#0; b=13;"));
    ASSERT_TRUE(doc.ParseVariableLine(u"y0 fvar; b=4; p=0;"));
    ASSERT_TRUE(doc.ParseVariableLine(u"w1 wide; b=3; p=0;"));
    ASSERT_TRUE(doc.ParseVariableLine(u"v2 narrow; b=2; p=0;"));
  }

  // A link parameter at position n of block 1, with the given value.
  int AddLink(const char *kind, int attributes, long long value)
  {
    const int n = doc.GetParCount();
    // The widest limits of the line's storage type (a "p" line holds 16 bits).
    const bool narrow = std::strcmp(kind, "p") == 0;
    const QString line = QStringLiteral("%1%2 link%2=%3; m=%6; M=%7; b=1; p=%4; a=%5;")
                             .arg(QLatin1String(kind))
                             .arg(n)
                             .arg(value)
                             .arg(n * 2)
                             .arg(attributes)
                             .arg(narrow ? QStringLiteral("-32768") : QStringLiteral("-2147483648"),
                                  narrow ? QStringLiteral("32767") : QStringLiteral("2147483647"));
    EXPECT_TRUE(doc.ParseParameterLine(line)) << qPrintable(line);
    return n;
  }

  CQelDocParVarList doc;
};

} // namespace

TEST_F(Links, WideVariableTakesTwoRegisters)
{
  EXPECT_EQ(doc.VarIndexFromAddress(120), 1);
  EXPECT_EQ(doc.VarIndexFromAddress(121), 1);
  EXPECT_EQ(doc.VarIndexFromAddress(122), -1);
  EXPECT_EQ(doc.VarIndexFromAddress(10000), -1);
  EXPECT_EQ(doc.VarIndexFromAddress(-1), -1);
  doc.DeleteContents();
  EXPECT_EQ(doc.VarIndexFromAddress(0), -1);
  EXPECT_EQ(doc.ParIndexFromAddress(9999), -1);
  EXPECT_EQ(doc.VarIndexFromAddress(120), -1);
  EXPECT_EQ(doc.GetVarCount(), 0);
  EXPECT_FALSE(doc.HasTables());
}

TEST_F(Links, ShortLinkToHalfOfWideVariable)
{
  const int p = AddLink("p", 0x01, 121);
  EXPECT_FALSE(doc.IsLinkValid(p, 0, true));
  EXPECT_TRUE(doc.IsLinkValid(p, 0, false));
  EXPECT_EQ(doc.GetParText(p, 0, true), "wide_HI");
  EXPECT_EQ(doc.GetLinkValueText(p, true, 0), "12_1");
  EXPECT_EQ(doc.GetLinkedVarIndex(p, 0), 1);
  const int lo = AddLink("p", 0x01, 130);
  EXPECT_EQ(doc.GetParText(lo, 0, true), "fvar_LO");
  EXPECT_EQ(doc.GetLinkValueText(lo, true, 0), "13_0");
  EXPECT_EQ(doc.GetLinkText(lo, 0), "13_0");
  const int exact = AddLink("p", 0x01, 100);
  EXPECT_TRUE(doc.IsLinkValid(exact, 0, true));
  EXPECT_EQ(doc.GetParText(exact, 0, true), "narrow");
  EXPECT_EQ(doc.GetVarTextAtAddress(exact, 121, true), "wide");
  EXPECT_EQ(doc.GetVarTextAtAddress(exact, 122, true), "XXX-E2");
  EXPECT_EQ(doc.GetVarTextAtAddress(exact, 122, false), "100");
}

TEST_F(Links, HalvesFollowTheVariablesOwnRegister)
{
  // A 32-bit variable at an odd address: 105 is its low word, 106 its high.
  ASSERT_TRUE(doc.ParseVariableLine(u"w3 odd; b=2; p=5;"));
  const int lo = AddLink("p", 0x01, 105);
  const int hi = AddLink("p", 0x01, 106);
  EXPECT_EQ(doc.GetParText(lo, 0, true), "odd_LO");
  EXPECT_EQ(doc.GetParText(hi, 0, true), "odd_HI");
  EXPECT_EQ(doc.GetLinkValueText(lo, true, 0), "10_5");
  EXPECT_EQ(doc.GetLinkValueText(hi, true, 0), "10_6");
  // The cell text names the same register again when it is typed back.
  for (const int link : {lo, hi}) {
    double out = -1;
    ASSERT_TRUE(doc.SetParFromText(link, doc.GetLinkValueText(link, true, 0), &out));
    EXPECT_DOUBLE_EQ(out, doc.GetParameters()[link].GetValue(0));
  }
}

TEST_F(Links, StorageKindsMustMatch)
{
  const int floatToShort = AddLink("p", 0x41, 100);
  EXPECT_FALSE(doc.IsLinkValid(floatToShort, 0, true));
  EXPECT_FALSE(doc.IsLinkValid(floatToShort, 0, false));
  EXPECT_EQ(doc.GetParText(floatToShort, 0, true), "Invalid link");
  EXPECT_EQ(doc.GetParText(floatToShort, 0, false), "100");
  EXPECT_EQ(doc.GetLinkValueText(floatToShort, true, 0), "XXX-E5");
  EXPECT_EQ(doc.GetLinkText(floatToShort, 0), "p(100)");
  const int floatLink = AddLink("p", 0x41, 131);
  EXPECT_TRUE(doc.IsLinkValid(floatLink, 0, true));
  const int longLink = AddLink("p", 0x21, 120);
  EXPECT_TRUE(doc.IsLinkValid(longLink, 0, true));
  EXPECT_FALSE(doc.CheckLinkTarget(longLink, 100, true));
  EXPECT_FALSE(doc.CheckLinkTarget(longLink, -1, false));

  // Parameter links: no relaxed mode.
  const int parLink = AddLink("p", 0x10, 0);
  EXPECT_TRUE(doc.IsLinkValid(parLink, 0, true));
  EXPECT_EQ(doc.GetParTextParLink(parLink, 0, true), "link0");
  EXPECT_EQ(doc.GetLinkValueText(parLink, true, 0), "0_0");
  EXPECT_EQ(doc.GetLinkedParIndex(parLink, 0), 0);
  EXPECT_EQ(doc.GetParTextAtAddress(parLink, 2, true), "link1");
  EXPECT_EQ(doc.GetParTextAtAddress(parLink, 555, true), "XXX-E3");
  const int wideParTarget = AddLink("l", 0x00, 0);
  const int shortToWidePar = AddLink("p", 0x10, wideParTarget * 2 + 1);
  EXPECT_FALSE(doc.IsLinkValid(shortToWidePar, 0, false));
  EXPECT_EQ(doc.GetParTextParLink(shortToWidePar, 0, true), "XXX-E4");

  EXPECT_EQ(doc.GetLinkSiText(parLink, 0), "0_0");
  EXPECT_EQ(doc.GetLinkSiText(shortToWidePar, 0), QStringLiteral("p(%1)").arg(wideParTarget * 2 + 1));

  const int plain = AddLink("p", 0x00, 7);
  EXPECT_EQ(doc.GetLinkSiText(plain, 0), "7");
  EXPECT_EQ(doc.GetLinkValueText(plain, true, 0), "XXX-E6");
  EXPECT_EQ(doc.GetLinkValueText(plain, false, 0), "7");
  EXPECT_EQ(doc.GetLinkText(plain, 0), "7");
}

TEST_F(Links, TextsOfTheOtherLinkKindNameNothingMissing)
{
  // Both link bits: the variable at 100 makes the link valid, but no
  // parameter sits there for the parameter-link texts to name.
  const int both = AddLink("p", 0x11, 100);
  ASSERT_TRUE(doc.IsLinkValid(both, 0, false));
  EXPECT_EQ(doc.GetParTextParLink(both, 0, true), "XXX-E4");
  EXPECT_EQ(doc.GetParTextAtAddress(both, 100, false), "100");
  EXPECT_EQ(doc.GetParText(both, 0, true), "narrow");
  // A parameter link whose target parameter has no variable beside it.
  const int parLink = AddLink("p", 0x10, 0);
  ASSERT_TRUE(doc.IsLinkValid(parLink, 0, true));
  EXPECT_EQ(doc.GetParText(parLink, 0, true), "Invalid link");
  EXPECT_EQ(doc.GetVarTextAtAddress(parLink, 0, true), "XXX-E2");
}

TEST_F(Links, AddressesOutOfRangeNeverWrap)
{
  // 65656 would be 120 in 16 bits, the wide variable.
  const int wide = AddLink("l", 0x21, 65656);
  EXPECT_FALSE(doc.IsLinkValid(wide, 0, false));
  EXPECT_EQ(doc.GetLinkedVarIndex(wide, 0), -1);
  EXPECT_EQ(doc.GetLinkValueText(wide, false, 0), "65656");
  EXPECT_FALSE(doc.CheckLinkTarget(wide, 65656, false));
  EXPECT_FALSE(doc.CheckLinkTarget(wide, 10000, false));
  double out = -1;
  EXPECT_FALSE(doc.SetParFromText(wide, QStringLiteral("6554_0"), &out));
  EXPECT_FALSE(doc.SetParFromText(wide, QStringLiteral("999999999_9"), &out));
  EXPECT_DOUBLE_EQ(out, -1);
  EXPECT_TRUE(doc.SetParFromText(wide, QStringLiteral("12_0"), &out));
  EXPECT_DOUBLE_EQ(out, 120);
}

TEST_F(Links, TextsToAddresses)
{
  const int link = AddLink("p", 0x01, 0);
  double out = -1;
  EXPECT_TRUE(doc.SetParFromText(link, QStringLiteral("12_1"), &out));
  EXPECT_DOUBLE_EQ(out, 121);
  out = -1;
  for (const char *bad : {"_5", "10_", "x_0", "10_-1", "100", "12_2"}) // 12_2: no variable there
    EXPECT_FALSE(doc.SetParFromText(link, QString::fromLatin1(bad), &out)) << bad;
  EXPECT_DOUBLE_EQ(out, -1);
  const int plain = AddLink("p", 0x00, 0);
  EXPECT_FALSE(doc.SetParFromText(plain, QStringLiteral("2.5"), &out));
  EXPECT_DOUBLE_EQ(out, 2.5);

  std::int16_t index = -1;
  EXPECT_TRUE(doc.VarIndexFromKeyText(QStringLiteral("10_0"), index));
  EXPECT_EQ(index, 2);
  EXPECT_TRUE(doc.VarIndexFromKeyText(QStringLiteral("13_1"), index));
  EXPECT_EQ(index, 0);
  index = -1;
  for (const char *bad : {"_0", "100", "6554_0", "12_5"})
    EXPECT_FALSE(doc.VarIndexFromKeyText(QString::fromLatin1(bad), index)) << bad;
  EXPECT_EQ(index, -1);
}

TEST(ParVarList, SortsParameterIndexesByAddress)
{
  CQelDocParVarList doc;
  ASSERT_TRUE(doc.ParseKTable(u"K[] = 1;"));
  ASSERT_TRUE(doc.ParseBlockLine(u"b1 B#0; b=0;"));
  ASSERT_TRUE(doc.ParseParameterLine(u"p0 c=0; b=1; p=30;"));
  ASSERT_TRUE(doc.ParseParameterLine(u"p1 a=0; b=1; p=10;"));
  ASSERT_TRUE(doc.ParseParameterLine(u"p2 b=0; b=1; p=20;"));
  std::vector<std::uint16_t> idx{0, 1, 2};
  doc.SortParIndexes(idx, 0, 2, true);
  EXPECT_EQ(idx, (std::vector<std::uint16_t>{1, 2, 0}));
  doc.SortParIndexes(idx, 0, 2, false);
  EXPECT_EQ(idx, (std::vector<std::uint16_t>{0, 2, 1}));
  // A range reaching past the vector is left alone.
  doc.SortParIndexes(idx, 0, 3, true);
  EXPECT_EQ(idx, (std::vector<std::uint16_t>{0, 2, 1}));

  for (int i = 3; i < 200; ++i)
    ASSERT_TRUE(doc.ParseParameterLine(QStringLiteral("p%1 n%1=0; b=1; p=%2;").arg(i).arg((i * 37) % 500 + 40)));
  std::vector<std::uint16_t> all;
  for (int i = 0; i < doc.GetParCount(); ++i)
    all.push_back(static_cast<std::uint16_t>(i));
  doc.SortParIndexes(all, 0, int(all.size()) - 1, true);
  for (std::size_t i = 1; i < all.size(); ++i)
    ASSERT_LE(doc.GetParameters()[all[i - 1]].GetAddress(), doc.GetParameters()[all[i]].GetAddress());
}

TEST(ParVarList, TableEntriesFromTheBoard)
{
  CQelDocParVarList doc;
  ASSERT_TRUE(LoadSample(doc));
  const Parametri &speed = doc.GetParameters()[2]; // K[0] = 4096, s = 12
  EXPECT_NEAR(speed.GetSiValue(0), 1000, 1e-3);
  doc.SetKEntry(0, 2048);
  doc.UpdateAllSiValues();
  EXPECT_NEAR(speed.GetSiValue(0), 500, 1e-3);
  doc.SetKEntry(-1, 1);
  doc.SetKEntry(3, 1);
  doc.SetKEntry(1000, 1);
  EXPECT_EQ(doc.GetKTable(), (KTable{2048, 1000, 12}));
  float half = 0.5f;
  std::uint32_t bits = 0;
  std::memcpy(&bits, &half, sizeof bits);
  doc.SetNEntry(1, bits);
  doc.SetNEntry(2, bits);
  EXPECT_EQ(doc.GetNTable(), (NTable{0.1f, 0.5f}));
  EXPECT_FLOAT_EQ(doc.GetVariables()[2].FromRaw16(10), 5.0f);

  // Reloading a longer K table moves its storage; records still read it.
  QString longK = QStringLiteral("K[] = 4096;");
  for (int i = 0; i < 99; ++i)
    longK += QStringLiteral("%1;").arg(i);
  ASSERT_TRUE(doc.ParseKTable(longK));
  doc.UpdateAllSiValues();
  EXPECT_NEAR(speed.GetSiValue(0), 1000, 1e-3);
}
