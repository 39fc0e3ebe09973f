#include "DescGenerator.h"
#include "ModelSample.h"

#include "TestSupport.h"

#include "model/DescLine.h"
#include "model/DocArchive.h"
#include "model/QelDocContainer.h"

#include <gtest/gtest.h>

namespace {

// A document with tables and one block, ready for item lines.
void Prepare(CQelDocParVarList &doc, const QString &units = QStringLiteral("U[]=rpm;V;A;mm;"))
{
  ASSERT_TRUE(doc.ParseKTable(u"K[] = 4096;1000;"));
  ASSERT_TRUE(doc.ParseNTable(u"N[]=0.5;"));
  ASSERT_TRUE(doc.ParseUnits(units));
  ASSERT_TRUE(doc.ParseBlockLine(u"b1 Main#0; b=12; a=0;"));
}

} // namespace

TEST(DescLine, SampleIsWrittenBackByteExactAndHoldsItsFields)
{
  CQelDocParVarList doc;
  ASSERT_TRUE(LoadSample(doc));
  EXPECT_EQ(doc.GetParCount(), 5);
  EXPECT_EQ(doc.GetVarCount(), 3);
  EXPECT_EQ(doc.GetBlockCount(), 4);
  EXPECT_EQ(WriteAll(doc), SampleLines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
  // Parsing what was written gives the same text again.
  CQelDocParVarList again;
  for (const QString &line : WriteAll(doc).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
    ASSERT_TRUE(again.ParseDescLine(line)) << qPrintable(line);
  EXPECT_EQ(WriteAll(again), WriteAll(doc));

  // The records hold their fields.
  const Parametri &gain = doc.GetParameters()[0];
  EXPECT_TRUE(gain.IsFloat());
  EXPECT_EQ(gain.GetBaseIndex(), -1);
  EXPECT_EQ(gain.GetFloatIndex(), -1);
  EXPECT_EQ(gain.GetShift(), -1);
  EXPECT_EQ(gain.GetAddress(), 20);
  EXPECT_EQ(gain.GetNumDecimals(), 4);
  const Parametri &position = doc.GetParameters()[1];
  EXPECT_TRUE(position.IsLong());
  EXPECT_EQ(position.GetNumberInKind(), 0);
  EXPECT_EQ(doc.ParIndexFromAddress(22), 1);
  EXPECT_EQ(doc.ParIndexFromAddress(23), 1);
  const Parametri &speed = doc.GetParameters()[2];
  EXPECT_EQ(speed.GetNumberInKind(), 0);
  EXPECT_EQ(speed.GetNumDecimals(), 1); // rpm
  EXPECT_NEAR(speed.GetSiValue(0), 1000.0, 1e-3);
  EXPECT_EQ(doc.GetParameters()[4].GetAttributes(), 32772);
  const Variabili &temp = doc.GetVariables()[0];
  EXPECT_EQ(temp.GetNumDecimals(), -1); // degC: automatic
  EXPECT_EQ(temp.GetAddressKey(), "30_0");
  EXPECT_EQ(doc.GetVariables()[2].GetNumDecimals(), 1); // A
  EXPECT_EQ(doc.GetVariables()[2].GetNumberInKind(), 0);
  EXPECT_EQ(doc.GetParCountOfType(VAR_SHORT), 3);
  EXPECT_EQ(doc.GetVarCountOfType(VAR_LONG), 1);
  EXPECT_TRUE(doc.HasParameters() && doc.HasVariables() && doc.HasBlocks() && doc.HasTables());
}

TEST(DescLine, ParameterLineDefaultsKeysAndFloatDigits)
{
  CQelDocParVarList doc;
  Prepare(doc);
  QString name;
  ASSERT_TRUE(doc.ParseParameterLine(u"p0 only_max=0; M=32767; b=1; u=-1;", &name));
  EXPECT_EQ(name, "only_max");
  const Parametri &p = doc.GetParameters()[0];
  EXPECT_EQ(p.GetValue(Parametri::SEL_MIN), 0);
  EXPECT_EQ(p.GetValue(Parametri::SEL_MAX), 32767);
  EXPECT_EQ(p.GetBaseIndex(), -1);
  EXPECT_EQ(p.GetFloatIndex(), -1);
  EXPECT_EQ(p.GetNumDecimals(), 4);
  EXPECT_EQ(p.GetAddress(), 120);

  // Keys in any order; a repeated key counts at its first occurrence.
  ASSERT_TRUE(doc.ParseParameterLine(u"p1 mixed=5; p=3; M=9; p=7; m=2; M=1; u=3;"));
  const Parametri &q = doc.GetParameters()[1];
  EXPECT_EQ(q.GetPosition(), 3);
  EXPECT_EQ(q.GetValue(Parametri::SEL_MAX), 9);
  EXPECT_EQ(q.GetValue(Parametri::SEL_MIN), 2);
  EXPECT_EQ(q.GetNumDecimals(), -1); // "mm"
  // No "u" key: general format; unknown K, N and block fall back.
  ASSERT_TRUE(doc.ParseParameterLine(u"p2 fallback=1; k=2; n=-5; b=9; p=4;"));
  const Parametri &r = doc.GetParameters()[2];
  EXPECT_EQ(r.GetNumDecimals(), 88);
  EXPECT_EQ(r.GetBaseIndex(), -1);
  EXPECT_EQ(r.GetFloatIndex(), -1);
  EXPECT_EQ(r.GetBlockId(), 1);
  EXPECT_TRUE(doc.GetParameters()[0].Parse(u"p9 x=1; m=0;"));
  EXPECT_FALSE(doc.GetParameters()[0].Parse(u"p9 =1;"));

  // Float lines ignore scaling and keep six digits.
  ASSERT_TRUE(doc.ParseParameterLine(u"f3 ratio=0.123456789; m=-1; d=0; M=1; k=0; n=0; s=5; b=1; p=6;"));
  const Parametri &f = doc.GetParameters()[3];
  EXPECT_EQ(f.GetBaseIndex(), -1);
  EXPECT_EQ(f.GetFloatIndex(), -1);
  EXPECT_EQ(f.GetShift(), -1);
  EXPECT_EQ(f.Format(), "f3 ratio=0.123457; m=-1; d=0; M=1; k=0; n=0; s=0; b=1; p=6; v=0; a=0; u=-1;");
  QString out;
  ASSERT_TRUE(doc.ParseNTable(u"N[]=0.123456789;2;"));
  doc.SerializeNTable(out);
  EXPECT_EQ(out, "N[] = 0.123457;2;\r\n");
}

TEST(DescLine, TablesAndUnits)
{
  CQelDocParVarList doc;
  ASSERT_TRUE(doc.ParseKTable(u"K[] = "));
  EXPECT_EQ(doc.GetKTable(), KTable{1});
  ASSERT_TRUE(doc.ParseNTable(u"N[]="));
  EXPECT_EQ(doc.GetNTable(), NTable{1.0f});
  ASSERT_TRUE(doc.ParseKTable(u"K[] = ;5;-7"));
  EXPECT_EQ(doc.GetKTable(), (KTable{0, 5, -7}));
  // Without '=' the line is refused and the table stays.
  EXPECT_FALSE(doc.ParseKTable(u"K[] 1;2;"));
  EXPECT_FALSE(doc.ParseNTable(u"N[]1;"));
  EXPECT_EQ(doc.GetKTable(), (KTable{0, 5, -7}));
  EXPECT_EQ(doc.GetNTable(), NTable{1.0f});
  // At most 100 entries; numbers saturate.
  QString many = QStringLiteral("K[] = 99999999999;");
  for (int i = 0; i < 150; ++i)
    many += QStringLiteral("%1;").arg(i);
  ASSERT_TRUE(doc.ParseKTable(many));
  EXPECT_EQ(doc.GetKTable().size(), 100u);
  EXPECT_EQ(doc.GetKTable()[0], 2147483647);

  ASSERT_TRUE(doc.ParseDescLine(u"U[] = rpm; V ;A;"));
  EXPECT_EQ(doc.GetUnits(), (QStringList{"rpm", "V", "A"}));
  // The last unit needs its ';' (or one more character).
  ASSERT_TRUE(doc.ParseUnits(u"U[]=mm;s"));
  EXPECT_EQ(doc.GetUnits(), QStringList{"mm"});
  EXPECT_FALSE(doc.ParseUnits(u"U[] mm;"));
  EXPECT_EQ(doc.GetUnits(), QStringList{"mm"});
  EXPECT_EQ(doc.GetUnitName(0), "mm");
  EXPECT_EQ(doc.GetUnitName(1), "");
  // A ';' that opens an entry belongs to it; the entries after it stay apart.
  ASSERT_TRUE(doc.ParseUnits(u"U[]=rpm;;V;A;"));
  EXPECT_EQ(doc.GetUnits(), (QStringList{"rpm", ";V", "A"}));

  // Blanks are spaces: a tab stays, line by line and through the document
  // reader alike.
  const QString tabbed = QStringLiteral("N[] = 0.5; 2\t5;\nU[] = rpm; m\tm;\n");
  TestEnvironment env;
  CQelDocContainer read;
  CDocArchive ar = CDocArchive::FromText(tabbed);
  read.ReadDocument(ar);
  CQelDocParVarList parsed;
  for (const QString &line : tabbed.split(u'\n', Qt::SkipEmptyParts))
    ASSERT_TRUE(parsed.ParseDescLine(line));
  for (const CQelDocParVarList *d : {static_cast<CQelDocParVarList *>(&read), &parsed}) {
    EXPECT_EQ(d->GetNTable(), (NTable{0.5f, 2.0f}));
    EXPECT_EQ(d->GetUnits(), (QStringList{"rpm", "m\tm"}));
  }
}

TEST(DescLine, BlockLines)
{
  CQelDocParVarList doc;
  QString name;
  std::uint8_t number = 0, parent = 9, attribute = 0;
  ASSERT_TRUE(doc.ParseBlockLine(u"b1 Main#0; a=3; b=7;", &name, &number, &parent, &attribute));
  EXPECT_EQ(name, "Main");
  EXPECT_EQ(number, 1);
  EXPECT_EQ(parent, 0);
  EXPECT_EQ(attribute, 3);
  ASSERT_EQ(doc.GetBlockCount(), 2); // entry 0 stands for no block
  EXPECT_EQ(doc.GetBlocks()[0].GetName(), "Main");
  ASSERT_TRUE(doc.ParseBlockLine(u"b2 Sub#1;"));
  EXPECT_EQ(doc.GetBlocks()[2].GetBase(), 0);
  ASSERT_TRUE(doc.ParseBlockLine(u"b3 Third#5; b=3;", nullptr, nullptr, &parent));
  EXPECT_EQ(parent, 0);
  ASSERT_TRUE(doc.ParseBlockLine(u"b4 Fourth#2; b=4;", nullptr, nullptr, &parent));
  EXPECT_EQ(parent, 2);
  EXPECT_EQ(doc.GetBlocks()[4].GetParent(), 2);
  // Not the next number, 0, beyond 255, no number, no name, cut short.
  for (QStringView bad :
       {u"b6 Gap#0;", u"b4 Again#0;", u"b0 Zero#0;", u"b261 Wrap#0;", u"b Nameless#0;", u"b5 #0;", u"b5 Cut#0; b=3"})
    EXPECT_FALSE(doc.ParseBlockLine(bad)) << bad.toString().toStdString();
  EXPECT_EQ(doc.GetBlockCount(), 5);

  CQelDocParVarList fresh;
  EXPECT_FALSE(fresh.ParseBlockLine(u"b2 First#0;"));
  EXPECT_EQ(fresh.GetBlockCount(), 0);
}

TEST(DescLine, ItemLinesAreRefused)
{
  CQelDocParVarList doc;
  // Before the tables, then before any block.
  EXPECT_FALSE(doc.ParseParameterLine(u"p0 a=1; b=1;"));
  ASSERT_TRUE(doc.ParseKTable(u"K[] = 1;"));
  EXPECT_FALSE(doc.ParseParameterLine(u"p0 a=1; b=1;"));
  EXPECT_FALSE(doc.ParseVariableLine(u"v0 a; b=1;"));
  EXPECT_FALSE(doc.HasVariables());
  ASSERT_TRUE(doc.ParseBlockLine(u"b1 Main#0; b=999;"));
  ASSERT_TRUE(doc.ParseBlockLine(u"b2 Low#0; b=0;"));

  EXPECT_FALSE(doc.ParseVariableLine(u"v1 wrong_index; b=2;"));
  EXPECT_TRUE(doc.HasVariables()); // a variable line past the first check marks them
  EXPECT_FALSE(doc.ParseParameterLine(u"p1 wrong_index=1; b=2;"));
  EXPECT_FALSE(doc.ParseParameterLine(u"p0 =1;"));
  EXPECT_FALSE(doc.ParseParameterLine(u"p name=x;"));
  EXPECT_FALSE(doc.ParseParameterLine(u"v0 kind=1; b=2;"));
  // 999*10 + 9 is the last register; +10 is out of range, and so is the
  // second register of a 32-bit item at 9999.
  EXPECT_FALSE(doc.ParseParameterLine(u"p0 high=1; b=1; p=10;"));
  EXPECT_FALSE(doc.ParseParameterLine(u"l0 wide=1; b=1; p=9;"));
  EXPECT_FALSE(doc.ParseVariableLine(u"y0 wide; b=1; p=9;"));
  EXPECT_FALSE(doc.ParseParameterLine(u"p0 negative=1; b=2; p=-1;"));
  // A position that would wrap in 16 bits to a valid address.
  EXPECT_FALSE(doc.ParseParameterLine(u"p0 wrap=1; b=2; p=65546;"));
  // Cut short: the missing keys must not take their defaults.
  for (QStringView cut : {u"p0 cut=1; b=2; p=0; s", u"p0 cut=1; b=2; p=0; s=", u"p0 cut=1; b=2; M=100",
                          u"l0 cut=1; b=2; p=0; s;", u"f0 cut=1.5", u"v0 cut; b=2; p="})
    EXPECT_FALSE(doc.ParseDescLine(cut)) << cut.toString().toStdString();
  EXPECT_EQ(doc.GetParCount(), 0);
  EXPECT_EQ(doc.GetParCountOfType(VAR_SHORT), 0);
  for (int a = 0; a < CQelDocParVarList::MaxAddress; ++a)
    ASSERT_EQ(doc.ParIndexFromAddress(a), -1);

  ASSERT_TRUE(doc.ParseParameterLine(u"p0 last=1; b=1; p=9;"));
  EXPECT_EQ(doc.ParIndexFromAddress(9999), 0);
  // Blanks and a CR after the closing ';' are no cut.
  ASSERT_TRUE(doc.ParseParameterLine(u"l1 wide=1; b=1; p=8; \t\r"));
  EXPECT_EQ(doc.ParIndexFromAddress(9998), 1);
  EXPECT_EQ(doc.ParIndexFromAddress(9999), 1);
}

TEST(DescLine, NumbersAreHeldAsTheirFieldsHoldThem)
{
  CQelDocParVarList doc;
  Prepare(doc);
  // A "p" line is 16 bits in two's complement: 40000 is the register 0x9C40.
  ASSERT_TRUE(doc.ParseParameterLine(u"p0 reg=40000; m=-32768; d=40000; M=32767; b=1;"));
  EXPECT_EQ(doc.GetParameters()[0].GetValue(Parametri::SEL_VALUE), -25536);
  EXPECT_EQ(doc.GetParameters()[0].GetValue(Parametri::SEL_DEFAULT), -25536);
  EXPECT_TRUE(doc.GetParameters()[0].Format().startsWith(u"p0 reg=-25536; m=-32768; d=-25536; M=32767;"));
  // Beyond the int range a number saturates before it is narrowed: 0x7FFFFFFF
  // keeps 0xFFFF.
  ASSERT_TRUE(doc.ParseParameterLine(u"p1 big=99999999999; m=-70000; M=70000; d=40000; b=1; p=1;"));
  const Parametri &p = doc.GetParameters()[1];
  EXPECT_EQ(p.GetValue(Parametri::SEL_VALUE), -1);
  EXPECT_EQ(p.GetValue(Parametri::SEL_MIN), -4464);
  EXPECT_EQ(p.GetValue(Parametri::SEL_MAX), 4464);
  EXPECT_EQ(p.GetValue(Parametri::SEL_DEFAULT), -4464); // -25536, then the limits
  ASSERT_TRUE(doc.ParseParameterLine(u"l2 big=99999999999; m=-99999999999; M=99999999999; b=1; p=2;"));
  EXPECT_EQ(doc.GetParameters()[2].GetValue(0), 2147483647);
  EXPECT_EQ(doc.GetParameters()[2].GetValue(Parametri::SEL_MIN), -2147483648.0);
  ASSERT_TRUE(doc.ParseParameterLine(u"f3 huge=1e300; m=-1e300; M=1e300; b=1; p=4;"));
  EXPECT_FLOAT_EQ(doc.GetParameters()[3].GetSiValue(0), 3.4028234663852886e38f);
  // The keys are 16-bit fields too.
  ASSERT_TRUE(doc.ParseVariableLine(u"v0 attr; a=-1; v=65535; b=1; p=6;"));
  EXPECT_EQ(doc.GetVariables()[0].GetAttributes(), 0xFFFF);
  EXPECT_EQ(doc.GetVariables()[0].GetLevel(), 0xFFFF);
  ASSERT_TRUE(doc.ParseVariableLine(u"v1 wrapped; a=65537; v=70000; k=65537; u=65536; b=65537; p=7;"));
  const Variabili &w = doc.GetVariables()[1];
  EXPECT_EQ(w.GetAttributes(), 1);
  EXPECT_EQ(w.GetLevel(), 4464);
  EXPECT_EQ(w.GetBaseIndex(), 1);
  EXPECT_EQ(w.GetUnit(), 0);
  EXPECT_EQ(w.GetBlockId(), 1);
  EXPECT_EQ(w.GetAddress(), 127);
}

TEST(DescLine, VariableLineOutputs)
{
  CQelDocParVarList doc;
  Prepare(doc);
  int index = -1, block = -1;
  QString name;
  ASSERT_TRUE(doc.ParseVariableLine(u"w0 count; k=1; s=3; b=1; p=4; u=0;", &index, &name, &block));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(name, "count");
  EXPECT_EQ(block, 1);
  EXPECT_EQ(doc.VarIndexFromAddress(124), 0);
  EXPECT_EQ(doc.VarIndexFromAddress(125), 0);
  EXPECT_EQ(doc.GetVariables()[0].Describe(), "w0 count; k=1; n=-1; s=3; b=1; p=4; v=0; a=0; u=0;");
}

TEST(DescLine, LargeGeneratedDescriptionRoundTrips)
{
  const QString text = GenerateDescription();
  CQelDocParVarList doc;
  for (const QString &line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
    ASSERT_TRUE(doc.ParseDescLine(line)) << qPrintable(line);
  EXPECT_EQ(doc.GetParCount(), 3000);
  EXPECT_EQ(doc.GetVarCount(), 1500);
  EXPECT_EQ(doc.GetBlockCount(), 201);
  EXPECT_EQ(WriteAll(doc), text);
}

TEST(DescLine, DispatchByFirstCharacter)
{
  CQelDocParVarList doc;
  EXPECT_FALSE(doc.ParseDescLine(u""));
  EXPECT_FALSE(doc.ParseDescLine(u"#Norv tembrano v1.1"));
  EXPECT_FALSE(doc.ParseDescLine(u"x0 name=1;"));
  EXPECT_TRUE(doc.ParseDescLine(u"N[] = 0.5 ; 2 ;"));
  EXPECT_EQ(doc.GetNTable(), (NTable{0.5f, 2.0f}));
  EXPECT_TRUE(doc.HasTables());
  EXPECT_TRUE(doc.ParseDescLine(u"b1 One#0; b=1;"));
  EXPECT_TRUE(doc.ParseDescLine(u"p0 a=1; b=1;"));
  EXPECT_FALSE(doc.ParseDescLine(u"y1 f; b=1; p=1;")); // index 1 while no variable is held
  EXPECT_TRUE(doc.ParseDescLine(u"y0 f; b=1; p=1;"));
  EXPECT_EQ(doc.GetVarCount(), 1);
  EXPECT_EQ(doc.VarIndexFromAddress(12), 0);
}
