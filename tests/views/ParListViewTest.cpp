#include "ViewFakes.h"

#include "controls/XCombo.h"
#include "controls/XEdit.h"
#include "controls/XListCtrl.h"
#include "frame/ChildConn.h"
#include "model/FormatBinary16.h"
#include "views/ViewState.h"

#include <QScrollBar>
#include <QTest>

#include <functional>
#include <utility>

namespace {

// The default colour pairs of the settings.
constexpr views::ColorPair kOfflineDef{0xFF0000, 0xE0E0E0};
constexpr views::ColorPair kOffline{0xFF0000, 0xFFC8C8};
constexpr views::ColorPair kOnlineDef{0x0000FF, 0x80FFFF};
constexpr views::ColorPair kOnline1{0x000000, 0x80FFFF};
constexpr views::ColorPair kConDipend{0x000000, 0xA0C8C8};
constexpr views::ColorPair kTrascinato{0x000000, 0xC0C0C0};
constexpr views::ColorPair kTrascConDip{0x000000, 0x0000FF};
constexpr views::ColorPair kNormale{0x000000, 0xFFFFFF};
constexpr views::ColorPair kFindHit{0xFFFFFF, 0xFF0000};

class ParList : public ViewsFixture {
protected:
  QStringList RowTexts(int row) const
  {
    QStringList texts;
    for (int col = 0; col < CParListView::kColumns; ++col)
      texts << List()->GetItemText(row, col);
    return texts;
  }
  views::ColorPair Cell(int row, int col) const
  {
    views::ColorPair c;
    List()->GetItemColors(row, col, &c.text, &c.back);
    return c;
  }
  QString Header(int col) const
  {
    LVCOLUMN column;
    column.mask = xl::LVCF_TEXT;
    List()->GetColumn(col, &column);
    return column.pszText;
  }
  // Every cell's text and record, one line a cell.
  QStringList Cells() const
  {
    QStringList out;
    for (int row = 0; row < List()->GetItemCount(); ++row)
      for (int col = 0; col < CParListView::kColumns; ++col) {
        const XLISTCELLDATA *d = List()->GetCellData(row, col);
        out << QStringLiteral("%1,%2 '%3' %4 %5 %6%7%8%9 %10 %11 %12 [%13]")
                   .arg(row)
                   .arg(col)
                   .arg(List()->GetItemText(row, col))
                   .arg(d->crText, 0, 16)
                   .arg(d->crBackground, 0, 16)
                   .arg(d->bEdit)
                   .arg(d->bCombo)
                   .arg(d->bModified)
                   .arg(d->bEnabled)
                   .arg(d->nImage)
                   .arg(d->nInitialComboSel)
                   .arg(d->nComboListHeight)
                   .arg(d->psa ? d->psa->join(u'|') : QStringLiteral("-"));
      }
    return out;
  }
  // Types text into a cell and ends the edit as the list control does.
  void Edit(std::int16_t par, int col, const QString &text)
  {
    const int row = RowOf(par);
    ASSERT_GE(row, 0);
    List()->SetItemText(row, col, text);
    Q_EMIT List()->editEnd(row, col);
  }
  // Opens a cell's own editor as a click does, types (nothing: the box is
  // left as it opened) and presses Enter.
  void TypeIn(std::int16_t par, int col, const char *typed)
  {
    List()->EditCell(RowOf(par), col);
    CXEdit *edit = List()->GetEdit();
    ASSERT_NE(edit, nullptr);
    if (typed)
      QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(List()->GetEdit(), nullptr);
  }
  // Opens a chooser, moves by the keys and presses Enter; waits for the commit.
  void Choose(std::int16_t par, std::initializer_list<Qt::Key> keys)
  {
    List()->EditCell(RowOf(par), CParListView::COL_SI);
    CXCombo *combo = List()->GetCombo();
    ASSERT_NE(combo, nullptr);
    for (Qt::Key key : keys)
      QTest::keyClick(combo, key);
    QTest::keyClick(combo, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([this] { return List()->GetCombo() == nullptr; }));
  }
};

} // namespace

TEST(BinaryText, ParseReadsWhatFormatWrites)
{
  std::uint16_t w = 0;
  EXPECT_EQ(ParseBinary16(QStringLiteral("0000.0000.0000.0101"), &w), 0);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(ParseBinary16(QStringLiteral("1000.0000.0000.0001"), &w), 0);
  EXPECT_EQ(w, 0x8001);
  for (std::uint16_t x : {0, 1, 0x1234, 0xFFFF, 0xA5F0}) {
    ASSERT_EQ(ParseBinary16(FormatBinary16(x), &w), 0);
    EXPECT_EQ(w, x);
  }
  w = 77;
  EXPECT_EQ(ParseBinary16(QStringLiteral("0000.0000.0000.010"), &w), 19);
  EXPECT_EQ(ParseBinary16(QStringLiteral("0000-0000.0000.0101"), &w), 5);
  EXPECT_EQ(ParseBinary16(QStringLiteral("0020.0000.0000.0101"), &w), 3);
  EXPECT_EQ(ParseBinary16(QString(), &w), 1);
  EXPECT_EQ(w, 77); // a refused text leaves the word alone
  EXPECT_EQ(ParseBinary16(QStringLiteral("0000.0000.0000.0110xyz"), &w), 0);
  EXPECT_EQ(w, 6);
}

TEST_F(ParList, HeadersFollowTheUnitMode)
{
  Open();
  const QStringList si = {"N tot",    "N",      "Type",       "Parameter",  "M.U.",      "SI value",
                          "UI value", "Old SI", "Default SI", "Minimum SI", "Maximum SI"};
  ASSERT_EQ(List()->GetColumns(), 11);
  for (int col = 0; col < 11; ++col)
    EXPECT_EQ(Header(col), si[col]);
  // Widths come from the settings; the index column is hidden.
  EXPECT_EQ(List()->GetColumnWidth(0), 0);
  for (int col = 1; col < 11; ++col)
    EXPECT_EQ(List()->GetColumnWidth(col), 50 + col);

  doc.SetStateFlags(CQelDocContainer::STATE_INTERNAL_UNITS);
  doc.RequestParListUpdate();
  doc.UpdateAllViews(nullptr, views::HINT_PAR_LIST);
  const QStringList ui = {"Old UI", "Default UI", "Minimum UI", "Maximum UI"};
  for (int col = 7; col < 11; ++col)
    EXPECT_EQ(Header(col), ui[col - 7]);
  EXPECT_EQ(Header(5), "SI value");
  EXPECT_EQ(Header(6), "UI value");
}

TEST_F(ParList, RowsOfABlockAtTheLevelWithTextsAndColours)
{
  Open("demo-full.vtx", 2);
  EXPECT_EQ(List()->GetItemCount(), 0); // no block selected yet
  SelectBlock(5);
  ASSERT_EQ(List()->GetItemCount(), 5);
  EXPECT_EQ(RowTexts(0), QStringList({"  12", "40_0", "I", "dig_in_config", "", "0000.0000.0000.0101", "5",
                                      "0000.0000.0000.0101", "0000.0000.0000.0000", "", ""}));
  EXPECT_EQ(RowTexts(1), QStringList({"  13", "40_1", "cI", "analog_in_link", "", "analog_in1", "40_0", "analog_in1",
                                      "analog_in1", "", ""}));
  EXPECT_EQ(List()->GetItemText(2, 2), "cL");
  EXPECT_EQ(List()->GetItemText(2, 5), "pos_actual");
  EXPECT_EQ(List()->GetItemText(3, 2), "cF");
  EXPECT_EQ(List()->GetItemText(3, 5), "motor_power");
  EXPECT_EQ(RowTexts(4), QStringList({"  16", "40_4", "pI", "speed_ref_par", "", "max_speed", "20_4", "max_speed",
                                      "max_speed", "", ""}));
  // A value different from its default, and one equal to it.
  EXPECT_EQ(Cell(0, 5), kOffline);
  EXPECT_EQ(Cell(0, 6), kOffline);
  EXPECT_EQ(Cell(1, 5), kOfflineDef);
  for (int col = 7; col <= 10; ++col)
    EXPECT_EQ(Cell(0, col), kNormale) << col;
  EXPECT_EQ(Cell(0, 1), kNormale);
  // The bit field's SI cell opens the bit editor, not an edit box.
  EXPECT_FALSE(List()->GetCellData(0, 5)->bEdit);
  EXPECT_TRUE(List()->GetCellData(0, 6)->bEdit);

  // Level 0 hides the block: its group is not in the parameter tree.
  main.options.VisLevel.Set(0);
  doc.RequestParTreeRebuild();
  doc.UpdateAllViews(nullptr, views::HINT_VIEW_BITS);
  EXPECT_EQ(parTree->ItemOfKey(-5), nullptr);
  EXPECT_NE(parTree->ItemOfKey(-3), nullptr);
  SelectBlock(3);
  ASSERT_EQ(List()->GetItemCount(), 1); // speed_kp and speed_ki are level 1
  EXPECT_EQ(List()->GetItemText(0, 3), "max_speed");
  EXPECT_EQ(List()->GetItemText(0, 4), "rpm");
}

TEST_F(ParList, TypeCodesOfEveryKind)
{
  OpenText(QStringLiteral("K[] = 1;\r\nb1 A#0; b=1; a=0;\r\n"
                          "p0 a16=1; m=0; d=0; M=100; b=1; p=0; v=0; a=0;\r\n"
                          "p1 plong=1; m=0; d=0; M=9999; b=1; p=1; v=0; a=48;\r\n"
                          "p2 pfloat=1; m=0; d=0; M=9999; b=1; p=2; v=0; a=80;\r\n"
                          "l3 b32=1; m=0; d=0; M=100; b=1; p=4; v=0; a=0;\r\n"
                          "f4 cfl=1; m=0; d=0; M=100; b=1; p=6; v=0; a=0;\r\n"),
           2);
  SelectBlock(1);
  ASSERT_EQ(List()->GetItemCount(), 5);
  QStringList codes;
  for (int row = 0; row < 5; ++row)
    codes << List()->GetItemText(row, 2);
  EXPECT_EQ(codes, QStringList({"I", "pL", "pF", "L", "F"}));
  // A float parameter's UI cell cannot be edited.
  EXPECT_FALSE(List()->GetCellData(4, 6)->bEdit);
}

TEST_F(ParList, ColoursOnlineReadOnlyOldFindAndDrag)
{
  Open("demo-full.vtx", 2);
  SelectBlock(1);
  const int fw = RowOf(Par("fw_revision"));
  ASSERT_GE(fw, 0);
  EXPECT_EQ(Cell(fw, 5), kConDipend); // read-only offline
  SelectBlock(5);
  doc.SetStateFlags(CQelDocContainer::STATE_ONLINE);
  parList->RecolorAll();
  EXPECT_EQ(Cell(0, 5), kOnline1);
  EXPECT_EQ(Cell(1, 5), kOnlineDef);
  EXPECT_EQ(Cell(1, 2), kNormale);
  // A connecting board counts as offline here.
  doc.SetStateFlags(CQelDocContainer::STATE_CONNECTING);
  parList->RecolorAll();
  EXPECT_EQ(Cell(0, 5), kOffline);

  // The old value differs: its cell shows whether the old value was the default.
  doc.SetStateFlags(0);
  Edit(Par("dig_in_config"), 6, QStringLiteral("0"));
  EXPECT_EQ(Cell(0, 7), kOffline);
  EXPECT_EQ(Cell(0, 5), kOfflineDef);
  Edit(Par("analog_in_link"), 6, QStringLiteral("40_1"));
  EXPECT_EQ(Cell(1, 7), kOfflineDef);

  // A find hit: white on blue until a click clears it.
  doc.SetSelectedParRow(2);
  parList->RecolorAll();
  for (int col = 1; col <= 10; ++col)
    EXPECT_EQ(Cell(2, col), kFindHit) << col;
  parList->OnClick(0, 3);
  EXPECT_EQ(doc.GetSelectedParRow(), 0xFFFF);
  EXPECT_EQ(Cell(2, 5), kOfflineDef);
  EXPECT_EQ(doc.GetHelpTopic(), "dig_in_config");

  // Dragging: the hot row's value cells say whether the link takes the variable.
  views::drag::SetActive(doc, true);
  views::drag::SetVariable(doc, Var("motor_power")); // a float variable
  views::drag::SetPoint(doc, ParRowPoint(3));        // power_source, a float link
  doc.UpdateAllViews(nullptr, views::HINT_PAR_LIST);
  EXPECT_EQ(Cell(3, 5), kTrascConDip);
  EXPECT_EQ(Cell(3, 3), kTrascinato);
  EXPECT_EQ(views::drag::TargetPar(doc), Par("power_source"));
  views::drag::SetPoint(doc, ParRowPoint(2)); // pos_source, a 32-bit link
  doc.UpdateAllViews(nullptr, views::HINT_PAR_LIST);
  EXPECT_EQ(Cell(2, 5), kTrascinato);
  EXPECT_EQ(Cell(3, 5), kOfflineDef);                 // the old hot row lost its colours
  views::drag::SetVariable(doc, Var("speed_actual")); // 16-bit, on a 16-bit link
  views::drag::SetPoint(doc, ParRowPoint(1));
  doc.UpdateAllViews(nullptr, views::HINT_PAR_LIST);
  EXPECT_EQ(Cell(1, 6), kTrascConDip);
  EXPECT_EQ(Cell(1, 1), kTrascinato);
  // Out of the list: no row.
  views::drag::SetPoint(doc, List()->ClientToScreen(QPoint(-50, -50)));
  doc.UpdateAllViews(nullptr, views::HINT_PAR_LIST);
  EXPECT_EQ(views::drag::TargetPar(doc), views::drag::NO_ROW);
  EXPECT_EQ(Cell(1, 6), kOffline);
  views::drag::SetActive(doc, false);
}

TEST_F(ParList, HintsAndWidths)
{
  Open("demo-full.vtx", 2);
  SelectBlock(5);
  doc.UpdateAllViews(nullptr, views::HINT_VAR_LIST);
  EXPECT_EQ(List()->GetItemCount(), 5);
  List()->SetColumnWidth(3, 4);
  List()->SetColumnWidth(9, 77);
  doc.UpdateAllViews(nullptr, 0x2801);
  const auto &w = parList->GetColWidths();
  EXPECT_EQ(w[0], 50); // the hidden column keeps its stored width
  EXPECT_EQ(w[3], 10);
  EXPECT_EQ(w[9], 77);
  EXPECT_EQ(w[10], 77);
  const COptionIntArray &saved = main.options.ParWidth;
  for (int col : {0, 3, 9, 10})
    EXPECT_EQ(saved.At(col), w[static_cast<std::size_t>(col)]);
}

TEST_F(ParList, EditsOfEveryKindOffline)
{
  Open("demo-full.vtx", 2);
  SelectBlock(5);
  const std::int16_t bits = Par("dig_in_config");
  const std::int16_t link = Par("analog_in_link");
  const std::int16_t longLink = Par("pos_source");
  const std::int16_t parLink = Par("speed_ref_par");

  // UI number of a bit field, then typed garbage: nothing, the cell shows the value.
  Edit(bits, 6, QStringLiteral("9"));
  EXPECT_EQ(doc.GetPar(bits).GetValue(0), 9);
  Edit(bits, 6, QStringLiteral("x5"));
  EXPECT_EQ(doc.GetPar(bits).GetValue(0), 9);
  EXPECT_EQ(List()->GetItemText(RowOf(bits), 6), "9");
  // Bit text from the bit editor, with a negative word.
  Edit(bits, 5, QStringLiteral("1000.0000.0000.0001"));
  EXPECT_EQ(doc.GetPar(bits).GetValue(0), -32767);
  Edit(bits, 5, QStringLiteral("1000-0000.0000.0001"));
  EXPECT_EQ(doc.GetPar(bits).GetValue(0), -32767);
  EXPECT_EQ(List()->GetItemText(RowOf(bits), 5), "1000.0000.0000.0001");

  // Links by name, with the word of a 32-bit variable.
  Edit(link, 5, QStringLiteral("dc_voltage"));
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 104);
  Edit(link, 5, QStringLiteral("pos_actual_hi"));
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 103);
  Edit(link, 5, QStringLiteral("pos_actual_LO"));
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 102);
  EXPECT_EQ(List()->GetItemText(RowOf(link), 5), "pos_actual_LO");
  Edit(link, 5, QStringLiteral("no_such_var"));
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 102);
  Edit(link, 5, QStringLiteral("0")); // the board has no "v_0"
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 102);
  // By address key in the UI cell.
  Edit(link, 6, QStringLiteral("40_0"));
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 400);
  Edit(link, 6, QStringLiteral("400"));
  EXPECT_EQ(doc.GetPar(link).GetValue(0), 400);
  EXPECT_EQ(List()->GetItemText(RowOf(link), 6), "40_0");
  Edit(longLink, 6, QStringLiteral("40_0")); // a 16-bit variable on a 32-bit link
  EXPECT_EQ(doc.GetPar(longLink).GetValue(0), 102);
  // A parameter link by name and "0".
  Edit(parLink, 5, QStringLiteral("trig_lev_pos"));
  EXPECT_EQ(doc.GetPar(parLink).GetValue(0), 501);
  Edit(parLink, 5, QStringLiteral("0"));
  EXPECT_EQ(doc.GetPar(parLink).GetValue(0), 0);
  EXPECT_EQ(List()->GetItemText(RowOf(parLink), 5), "par0");

  // An empty cell writes nothing and shows the value again.
  Edit(parLink, 6, QString());
  EXPECT_EQ(List()->GetItemText(RowOf(parLink), 6), "0_0");
  EXPECT_EQ(answer.writes.size(), 0u);
  EXPECT_TRUE(doc.IsModified());
}

TEST_F(ParList, NumbersConvertWholeInBothUnits)
{
  Open("demo-full.vtx", 2);
  SelectBlock(4);
  const std::int16_t current = Par("current_limit"); // N[0] = 0.1 A per bit
  Edit(current, 5, QStringLiteral("30"));
  EXPECT_EQ(doc.GetPar(current).GetValue(0), 300);
  EXPECT_EQ(List()->GetItemText(RowOf(current), 5), doc.GetPar(current).GetSiValueString(0));
  Edit(current, 5, QStringLiteral("12abc"));
  EXPECT_EQ(doc.GetPar(current).GetValue(0), 300);
  Edit(current, 6, QStringLiteral("310"));
  EXPECT_EQ(doc.GetPar(current).GetValue(0), 310);
  Edit(current, 6, QStringLiteral(" 1e9 ")); // limited by the document
  EXPECT_EQ(doc.GetPar(current).GetValue(0), 400);
  // Read-only offline: refused by the document, the cell shows the value.
  SelectBlock(1);
  const std::int16_t fw = Par("fw_revision");
  Edit(fw, 6, QStringLiteral("3"));
  EXPECT_EQ(doc.GetPar(fw).GetValue(0), 210);
  EXPECT_EQ(List()->GetItemText(RowOf(fw), 6), "210");
}

TEST_F(ParList, EnumerationChooser)
{
  Open("demo-full.vtx", 2);
  SelectBlock(2);
  const std::int16_t mode = Par("control_mode");
  const int row = RowOf(mode);
  ASSERT_GE(row, 0);
  const XLISTCELLDATA *cell = List()->GetCellData(row, 5);
  ASSERT_TRUE(cell->bCombo);
  EXPECT_EQ(*cell->psa, QStringList({"Speed", "Torque", "Position", "Test"}));
  EXPECT_EQ(List()->GetItemText(row, 5), "Torque");
  List()->SetItemText(row, 5, QStringLiteral("Position"));
  Q_EMIT List()->comboSelection(row, 5);
  EXPECT_EQ(doc.GetPar(mode).GetValue(0), 2);
  EXPECT_EQ(List()->GetItemText(row, 5), "Position");
  Edit(mode, 6, QStringLiteral("3"));
  EXPECT_EQ(doc.GetPar(mode).GetValue(0), 3);
  Edit(mode, 6, QStringLiteral("3x"));
  EXPECT_EQ(doc.GetPar(mode).GetValue(0), 3);
  EXPECT_EQ(List()->GetItemText(row, 5), "Test");
}

TEST_F(ParList, ChooserBounds)
{
  OpenText(QStringLiteral("K[] = 1;\r\nb1 A#0; b=1; a=0;\r\n"
                          "p0 neg=-5; m=-9; d=-5; M=-1; b=1; p=0; v=0; a=8;\r\n"
                          "p1 wide=3; m=0; d=0; M=150; b=1; p=1; v=0; a=8;\r\n"
                          "p2 gap=1; m=0; d=0; M=3; b=1; p=2; v=0; a=8;\r\n"
                          "sen=[wide#120]far[gap#0]zero[gap#2]two\r\n"),
           2);
  EXPECT_TRUE(parList->BuildComboList(0)->isEmpty());
  const auto wide = parList->BuildComboList(1);
  EXPECT_EQ(wide->size(), 151);
  EXPECT_TRUE(wide->at(120).isEmpty()); // only the first 100 may have names
  SelectBlock(1);
  // A value without a name shows an empty cell, never another value's name.
  EXPECT_EQ(List()->GetItemText(RowOf(2), 5), QString());
  EXPECT_EQ(List()->GetItemText(RowOf(0), 5), QString());
  Edit(2, 6, QStringLiteral("2"));
  EXPECT_EQ(List()->GetItemText(RowOf(2), 5), "two");
  Edit(2, 6, QStringLiteral("3")); // value 3 has no name
  EXPECT_EQ(doc.GetPar(2).GetValue(0), 2);
}

TEST_F(ParList, WideBitFieldTakesNoBitText)
{
  OpenText(QStringLiteral("K[] = 1;\r\nb1 A#0; b=1; a=0;\r\n"
                          "l0 flags32=65537; m=0; d=0; M=1000000; b=1; p=0; v=0; a=4;\r\n"
                          "f1 flagsfl=3; m=0; d=0; M=1000000; b=1; p=2; v=0; a=4;\r\n"),
           2);
  SelectBlock(1);
  Edit(0, 5, QStringLiteral("0000.0000.0000.0011"));
  EXPECT_EQ(doc.GetPar(0).GetValue(0), 65537);
  // The bit editor holds 16 bits: a click on a wider field opens nothing.
  int opened = 0;
  CBitSet::SetModalHook([&](CBitSet &) {
    ++opened;
    return int(IDOK);
  });
  parList->OnClick(RowOf(0), 5);
  parList->OnClick(RowOf(1), 5);
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(doc.GetPar(0).GetValue(0), 65537);
}

TEST_F(ParList, AnEditTheUserDidNotMakeWritesNothing)
{
  OpenText(QStringLiteral("K[] = 1;\r\nN[] = 0.01;\r\nU[] = kW;\r\nb1 A#0; b=1; a=0;\r\n"
                          "p0 par0=1234; m=0; d=0; M=9999; b=1; p=0; v=0; a=0;\r\n"
                          "l1 big=123457; m=0; d=0; M=1000000; k=-1; n=0; s=0; b=1; p=2; v=0; a=0; u=0;\r\n"
                          "f2 fl=0.123456; m=0; d=0; M=10; k=0; n=0; s=0; b=1; p=4; v=0; a=0; u=0;\r\n"
                          "p3 mode=1; m=0; d=0; M=3; b=1; p=6; v=0; a=8;\r\n"
                          "p4 other=7; m=0; d=0; M=9; b=1; p=7; v=0; a=8;\r\n"
                          "sen=[mode#0]Off[mode#1]On[mode#2]Auto[other#0]Zero[other#1]One\r\n"),
           2);
  SelectBlock(1);
  const std::int16_t par0 = 0, big = 1, fl = 2, mode = 3, other = 4;
  ASSERT_EQ(List()->GetItemText(RowOf(big), 5), "1235");
  const double flValue = doc.GetPar(fl).GetValue(0);
  ASSERT_NE(QString::number(flValue, 'g', 9), List()->GetItemText(RowOf(fl), 5)); // rounded for display

  for (const bool online : {false, true}) {
    SCOPED_TRACE(online ? "online" : "offline");
    doc.SetStateFlags(online ? int(CQelDocContainer::STATE_ONLINE) : 0);
    doc.SetModifiedFlag(false);
    answer.writes.clear();
    const double bigValue = doc.GetPar(big).GetValue(0);
    // Enter in a box never typed into, and a scroll with the box open.
    for (const std::int16_t par : {big, fl})
      for (const int col : {5, 6})
        if (List()->GetCellData(RowOf(par), col)->bEdit)
          TypeIn(par, col, nullptr);
    List()->EditCell(RowOf(big), 5);
    QTest::keyClick(List()->GetEdit(), Qt::Key_Backspace); // emptied: the shown text stays
    QTest::keyClick(List()->GetEdit(), Qt::Key_Return);
    List()->SetColumnWidth(CParListView::COL_NAME, 2000);
    QApplication::processEvents();
    List()->EditCell(RowOf(fl), 5);
    ASSERT_NE(List()->GetEdit(), nullptr);
    List()->horizontalScrollBar()->setValue(0);
    EXPECT_EQ(List()->GetEdit(), nullptr);
    List()->SetColumnWidth(CParListView::COL_NAME, 60);
    // The chooser confirmed on the value it shows.
    Choose(mode, {});
    EXPECT_EQ(doc.GetPar(big).GetValue(0), bigValue);
    EXPECT_EQ(doc.GetPar(fl).GetValue(0), flValue);
    EXPECT_EQ(doc.GetPar(mode).GetValue(0), 1);
    EXPECT_TRUE(answer.writes.empty());
    EXPECT_TRUE(main.host.queue.empty());
    EXPECT_FALSE(doc.IsModified());

    // What the user types is written, the shown text included.
    Choose(mode, {Qt::Key_Down});
    Choose(other, {Qt::Key_Down}); // a value outside the list, entry 0 chosen
    TypeIn(big, 5, "1235");
    TypeIn(par0, 5, "1234");
    if (online) {
      ASSERT_EQ(answer.writes.size(), 4u);
      EXPECT_EQ(answer.writes[0].value, 2);
      EXPECT_EQ(answer.writes[1].index, other);
      EXPECT_EQ(answer.writes[1].value, 0);
      EXPECT_EQ(answer.writes[2].index, big);
      EXPECT_EQ(answer.writes[2].value, 123500);
      EXPECT_EQ(answer.writes[3].index, par0);
      EXPECT_EQ(answer.writes[3].value, 1234);
      // The editor reopened by the read-back, confirmed untouched.
      doc.RequestEditorReopen();
      doc.UpdateAllViews(nullptr, views::HINT_REOPEN);
      ASSERT_NE(List()->GetEdit(), nullptr);
      QTest::keyClick(List()->GetEdit(), Qt::Key_Return);
      EXPECT_EQ(answer.writes.size(), 4u);
    } else {
      EXPECT_EQ(doc.GetPar(big).GetValue(0), 123500);
      EXPECT_EQ(doc.GetPar(mode).GetValue(0), 2);
      EXPECT_EQ(doc.GetPar(other).GetValue(0), 0);
      EXPECT_TRUE(doc.IsModified());
      // Back to the first values for the online pass.
      doc.GetPar(mode).SetValue16(1);
      doc.GetPar(other).SetValue16(7);
      doc.RequestParListUpdate();
      doc.UpdateAllViews(nullptr, views::HINT_PAR_LIST);
    }
  }
}

TEST_F(ParList, DoubleClickOnTheFractionReplacesTheWholeValue)
{
  // The demo board's lines (acc_ramp with a fraction) and a negative scaled value.
  OpenText(QStringLiteral("K[] = 4096;1000;12;\r\nN[] = 0.1;0.01;0.001;\r\nU[] = A;rpm/s;\r\n"
                          "b1 A#0; b=1; a=0;\r\n"
                          "p0 current_limit=250; m=0; d=200; M=400; k=-1; n=0; s=0; b=1; p=0; v=0; a=0; u=0;\r\n"
                          "l1 acc_ramp=5025; m=1; d=5000; M=600000; k=-1; n=1; s=0; b=1; p=2; v=0; a=0; u=1;\r\n"
                          "f2 speed_ki=12.5; m=0; d=10; M=1000; k=0; n=0; s=0; b=1; p=4; v=0; a=0; u=-1;\r\n"
                          "p3 offset=-10005; m=-32768; d=0; M=32767; k=-1; n=0; s=0; b=1; p=6; v=0; a=0; u=-1;\r\n"),
           2);
  SelectBlock(1);
  doc.SetStateFlags(CQelDocContainer::STATE_ONLINE);
  List()->SetColumnWidth(CParListView::COL_SI, 120);
  QWidget *window = List()->window();
  const struct {
    std::int16_t par;
    const char *shown, *typed;
    double written;
  } cases[] = {
      {0, "25.0", "30", 300}, {1, "50.25", "75", 7500}, {2, "12.5000", "15", 15}, {3, "-1000.5000", "-1200.5", -12005}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.shown);
    const int row = RowOf(c.par);
    ASSERT_EQ(List()->GetItemText(row, CParListView::COL_SI), c.shown);
    // The values are right-aligned: the last digits are the fraction's.
    QRect rc;
    List()->GetSubItemRect(row, CParListView::COL_SI, xl::LVIR_BOUNDS, rc);
    const QPoint fraction = window->mapFromGlobal(List()->ClientToScreen(QPoint(rc.right() - 8, rc.center().y())));
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, fraction);
    CXEdit *edit = List()->GetEdit();
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, c.typed);
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_FALSE(answer.writes.empty());
    EXPECT_EQ(answer.writes.back().index, c.par);
    EXPECT_DOUBLE_EQ(answer.writes.back().value, c.written);
    answer.writes.clear();
  }
}

TEST_F(ParList, OnlineWritesReadsAndReopen)
{
  Open("demo-full.vtx", 2);
  SelectBlock(4);
  doc.SetStateFlags(CQelDocContainer::STATE_ONLINE);
  const std::int16_t current = Par("current_limit");
  const int row = RowOf(current);
  Edit(current, 6, QStringLiteral("123"));
  ASSERT_EQ(answer.writes.size(), 1u);
  EXPECT_EQ(answer.writes[0].index, current);
  EXPECT_EQ(answer.writes[0].value, 123);
  EXPECT_TRUE(answer.writes[0].marked);
  EXPECT_EQ(doc.GetPar(current).GetValue(0), 250); // until the read-back
  EXPECT_EQ(List()->GetItemText(row, 6), "250");
  EXPECT_EQ(parList->GetReopenItem(), row);
  EXPECT_EQ(parList->GetReopenSubItem(), 6);
  // The read-back of the marked write reopens the editor once.
  doc.RequestEditorReopen();
  doc.UpdateAllViews(nullptr, views::HINT_REOPEN);
  EXPECT_NE(List()->GetEdit(), nullptr);
  EXPECT_FALSE(doc.NeedsEditorReopen());
  EXPECT_EQ(parList->GetReopenItem(), -1);

  // A click in the name column reads the parameter; a value column never does.
  parList->OnClick(row, 3);
  ASSERT_EQ(main.host.queue.size(), 1u);
  EXPECT_EQ(main.host.queue[0]->PktType.par.first_par, doc.GetPar(current).GetAddress());
  parList->OnClick(row, 5);
  EXPECT_EQ(main.host.queue.size(), 1u);

  // A link goes unmarked.
  SelectBlock(5);
  Edit(Par("analog_in_link"), 5, QStringLiteral("dc_voltage"));
  ASSERT_EQ(answer.writes.size(), 2u);
  EXPECT_EQ(answer.writes[1].value, 104);
  EXPECT_FALSE(answer.writes[1].marked);

  // A read-back while the edited row is not shown drops the request, not the
  // cell: the next one reopens it.
  if (List()->GetEdit())
    QTest::keyClick(List()->GetEdit(), Qt::Key_Escape);
  ASSERT_EQ(List()->GetEdit(), nullptr);
  SelectBlock(6);
  const int far = RowOf(Par("rec_stp_del"));
  Edit(Par("rec_stp_del"), 6, QStringLiteral("12"));
  SelectBlock(1);
  ASSERT_LE(List()->GetItemCount(), far);
  doc.RequestEditorReopen();
  doc.UpdateAllViews(nullptr, views::HINT_REOPEN);
  EXPECT_EQ(List()->GetEdit(), nullptr);
  EXPECT_FALSE(doc.NeedsEditorReopen());
  EXPECT_EQ(parList->GetReopenItem(), far);
  SelectBlock(6);
  doc.RequestEditorReopen();
  doc.UpdateAllViews(nullptr, views::HINT_REOPEN);
  EXPECT_NE(List()->GetEdit(), nullptr);
}

TEST_F(ParList, BitEditorAndContextMenu)
{
  Open("demo-full.vtx", 2);
  SelectBlock(5);
  const std::int16_t bits = Par("dig_in_config");
  QStringList shown;
  CBitSet::SetModalHook([&](CBitSet &dialog) {
    for (int i = 0; i < dialog.GetList()->GetItemCount(); ++i)
      shown << dialog.GetList()->GetItemText(i, 1);
    EXPECT_EQ(dialog.windowTitle(), "dig_in_config");
    dialog.GetList()->SetCheckbox(1, 0, 1);
    return IDOK;
  });
  parList->OnClick(RowOf(bits), 5);
  // Bits 0 and 2 are set in 5.
  EXPECT_EQ(shown, QStringList({"Input 1 inverted", "Input 2 direct", "Pull-up on"}));
  EXPECT_EQ(doc.GetPar(bits).GetValue(0), 7);
  CBitSet::SetModalHook([](CBitSet &) { return IDCANCEL; });
  parList->OnClick(RowOf(bits), 5);
  EXPECT_EQ(doc.GetPar(bits).GetValue(0), 7);

  // Load default, then the old value.
  env.prompter().AnswerMenu(CParListView::LoadDefaultCommand());
  parList->OnRClick(RowOf(bits), 5, QPoint(1, 1));
  EXPECT_EQ(doc.GetPar(bits).GetValue(0), 0);
  EXPECT_EQ(List()->GetItemText(RowOf(bits), 6), "0");
  ASSERT_EQ(env.prompter().asked.back().menu.size(), 2);
  EXPECT_EQ(env.prompter().asked.back().menu[0].text, "Load default parameter");
  EXPECT_EQ(env.prompter().asked.back().menu[1].text, "Load old parameter");
  env.prompter().AnswerMenu(CParListView::LoadOldCommand());
  parList->OnRClick(RowOf(bits), 5, QPoint(1, 1));
  EXPECT_EQ(doc.GetPar(bits).GetValue(0), 5);
  EXPECT_EQ(parList->GetMenuPar(), bits);
}

TEST_F(ParList, HelpKeyOpensTheManualAtTheTopic)
{
  Open("demo-full.vtx", 2);
  SelectBlock(5);
  parList->OnClick(1, 3);
  EXPECT_EQ(doc.GetHelpTopic(), "analog_in_link");
  EXPECT_EQ(parList->OnHelpKey(xl::VK_F1, 0), 0);
  EXPECT_EQ(parList->OnHelpKey(xl::VK_F4, 0), 0);
}

TEST_F(ParList, LanguageChangeRenamesTheChooser)
{
  Open("demo-full.vtx", 2);
  SelectBlock(2);
  doc.SelectLanguage(QStringLiteral("it"));
  const int row = RowOf(Par("control_mode"));
  ASSERT_GE(row, 0);
  EXPECT_EQ(List()->GetItemText(row, 3), "modo_controllo");
  EXPECT_EQ(List()->GetItemText(row, 5), "Coppia");
  EXPECT_EQ(List()->GetCellData(row, 5)->psa->at(2), "Posizione");
}

TEST_F(ParList, RefillInPlaceEqualsAFullRefill)
{
  // One block with every kind of value, one of its parameters past the
  // first read-all block, and a parameter of another block.
  OpenText(QStringLiteral("K[] = 4096;1000;\r\nN[] = 0.5;\r\nU[] = rpm;A;\r\n"
                          "b1 A#0; b=1; a=0;\r\nb2 B#0; b=30; a=0;\r\n"
                          "p0 speed=100; m=0; d=0; M=3000; k=0; n=-1; s=12; b=1; p=0; v=0; a=0; u=0;\r\n"
                          "p1 mode=1; m=0; d=0; M=3; k=-1; n=-1; s=0; b=1; p=1; v=0; a=8; u=-1;\r\n"
                          "p2 bits=5; m=-32768; d=0; M=32767; k=-1; n=-1; s=0; b=1; p=2; v=0; a=4; u=-1;\r\n"
                          "p3 link=10; m=0; d=10; M=9999; k=-1; n=-1; s=0; b=1; p=3; v=0; a=1; u=-1;\r\n"
                          "p4 limit=250; m=0; d=200; M=400; k=-1; n=0; s=0; b=1; p=4; v=0; a=0; u=1;\r\n"
                          "p5 far=7; m=0; d=0; M=3000; k=1; n=-1; s=0; b=1; p=150; v=0; a=0; u=-1;\r\n"
                          "p6 other=3; m=0; d=0; M=100; k=-1; n=-1; s=0; b=2; p=0; v=0; a=0; u=-1;\r\n"
                          "l7 wide=100000; m=0; d=0; M=1000000; k=-1; n=-1; s=0; b=1; p=6; v=0; a=0; u=-1;\r\n"
                          "f8 gain=0.75; m=0; d=0.5; M=10; k=0; n=0; s=0; b=1; p=8; v=0; a=0; u=-1;\r\n"
                          "v0 va; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\r\n"
                          "v1 vb; k=-1; n=-1; s=0; b=1; p=1; v=0; a=0; u=-1;\r\n"
                          "sen=[mode#0]Speed[mode#1]Torque[mode#2]Position[mode#3]Test\r\n"),
           2);
  SelectBlock(1);
  ASSERT_EQ(List()->GetItemCount(), 8);
  const std::int16_t mode = Par("mode"), limit = Par("limit");
  const int modeRow = RowOf(mode);
  ASSERT_GE(modeRow, 0);
  const int quiet = RowOf(Par("speed")); // a row nothing happens to
  const int selected = RowOf(Par("bits"));
  List()->SetCurSel(selected);
  List()->EditCell(quiet, CParListView::COL_UI);
  ASSERT_NE(List()->GetEdit(), nullptr);

  // A changed value refilled in place: the views update that follows
  // repaints nothing more than the changed cells and the lost selection.
  doc.GetPar(mode).SetRawValue(3);
  PaintSpy spy(List()->viewport());
  parList->FillList();
  doc.UpdateAllViews(nullptr, views::HINT_REOPEN);
  const QRegion painted = spy.Painted();
  QRect changed, selectedRow, quietRow;
  List()->GetSubItemRect(modeRow, CParListView::COL_SI, xl::LVIR_BOUNDS, changed);
  List()->GetItemRect(selected, &selectedRow);
  List()->GetItemRect(quiet, &quietRow);
  const int header = List()->GetClientRect().height() - List()->viewport()->height();
  EXPECT_TRUE(painted.intersects(changed.translated(0, -header)));
  EXPECT_TRUE(painted.intersects(selectedRow.translated(0, -header)));
  // Repaints reach 2 pixels past their cells.
  EXPECT_FALSE(painted.intersects(quietRow.adjusted(0, 3, 0, -3).translated(0, -header)));
  EXPECT_EQ(List()->GetItemText(modeRow, CParListView::COL_SI), "Test");

  // After each step: a selection and focus cleared as the delete-all clears
  // them, the editor still open, and every cell as rows filled from empty
  // give it.
  const auto sameAsFromEmpty = [&](const char *step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(List()->GetCurSel(), -1);
    EXPECT_EQ(List()->GetNextItem(-1, xl::LVNI_FOCUSED), -1);
    EXPECT_NE(List()->GetEdit(), nullptr);
    const QStringList inPlace = Cells();
    List()->DeleteAllItems();
    parList->FillList();
    EXPECT_EQ(Cells(), inPlace);
    EXPECT_NE(List()->GetEdit(), nullptr);
    List()->SetCurSel(selected);
  };
  sameAsFromEmpty("full refill in place");

  // Read answers through the board connection: those routed together refill
  // after the last of them.
  class Sink : public IRequestSink {
  public:
    void AddRequest(CRequestPacket *&packet) override { queue.emplace_back(std::exchange(packet, nullptr)); }
    void AddHeadRequest(CRequestPacket *&packet) override { AddRequest(packet); }
    void AddRequests(std::vector<CRequestPacket *> &packets) override
    {
      for (CRequestPacket *&p : packets)
        AddRequest(p);
      packets.clear();
    }
    int IsActive() const override { return 1; }
    int GetReqPktListSize() const override { return static_cast<int>(queue.size()); }
    void CancelRequests(WindowId, std::uint16_t) override {}
    std::vector<std::uint16_t> RemoveRequests(WindowId) override { return {}; }
    std::vector<std::unique_ptr<CRequestPacket>> queue;
  } sink;
  class ListConn : public CChildConn, public IConnHooks {
  public:
    ListConn(IRequestSink *s, CParListView *list) : CChildConn(42, s), m_list(list) { SetHooks(this); }
    ~ListConn() override { SetHooks(nullptr); }
    void Drain(std::initializer_list<const CRequestPacket *> answers)
    {
      m_draining = true;
      for (const CRequestPacket *a : answers)
        ProcessAnswer(*a);
      m_draining = false;
      for (auto &call : std::exchange(m_after, {}))
        call();
    }

  protected:
    void FillParList() override { m_list->FillList(); }
    void RefillParRows(const std::vector<std::uint16_t> &pars) override { m_list->RefillRows(pars); }
    void AfterAnswers(std::function<void()> call) override
    {
      if (m_draining)
        m_after.push_back(std::move(call));
      else
        call();
    }

  private:
    CParListView *m_list;
    bool m_draining = false;
    std::vector<std::function<void()>> m_after;
  } conn(&sink, parList.get());
  conn.SetConnDocument(&doc);
  const auto answerOf = [](const CRequestPacket &request, std::vector<std::uint16_t> words) {
    auto a = std::make_unique<CRequestPacket>(request);
    a->wAnsData = std::move(words);
    return a;
  };

  // Edited before the read all, which makes the value the old one.
  Edit(limit, CParListView::COL_UI, QStringLiteral("300"));
  doc.SetStateFlags(CQelDocContainer::STATE_ONLINE);
  conn.OnReadAll();
  ASSERT_EQ(sink.queue.size(), 4u); // the K table, 10..19, 160, 300
  EXPECT_EQ(sink.queue[2]->PktType.par.first_par, 160);
  // The K table rescales values no answer stored.
  auto k = answerOf(*sink.queue[0], {8192, 1000});
  k->fAnsNTable = {0.25f};
  conn.Drain({k.get()});
  EXPECT_EQ(List()->GetItemText(quiet, CParListView::COL_SI), "200.0");
  EXPECT_EQ(List()->GetItemText(RowOf(limit), CParListView::COL_OLD), "75.0");
  sameAsFromEmpty("K table");

  // Two blocks at once: values back to their defaults, another variable
  // linked, an enumeration and a bit field changed, and a row the second
  // block holds.
  std::vector<std::uint16_t> words(10, 0);
  words[1] = 2;   // mode
  words[2] = 9;   // bits
  words[3] = 11;  // link: vb
  words[4] = 200; // limit: its default
  words[6] = 5;   // wide, low word
  words[8] = 0;   // gain 2.0, low word
  words[9] = 0x4000;
  const auto first = answerOf(*sink.queue[1], words);
  const auto second = answerOf(*sink.queue[2], {42});
  conn.Drain({first.get(), second.get()});
  EXPECT_EQ(List()->GetItemText(modeRow, CParListView::COL_SI), "Position");
  EXPECT_EQ(List()->GetItemText(RowOf(Par("link")), CParListView::COL_SI), "vb");
  EXPECT_EQ(List()->GetItemText(RowOf(Par("far")), CParListView::COL_UI), "42");
  sameAsFromEmpty("two blocks");

  // A block of rows not shown, then a marked read-back of a value written
  // from the list: its editor reopens on the value read.
  QTest::keyClick(List()->GetEdit(), Qt::Key_Return);
  ASSERT_EQ(List()->GetEdit(), nullptr);
  Edit(mode, CParListView::COL_UI, QStringLiteral("1"));
  auto readBack = std::make_unique<CRequestPacket>(42, 1, REQ_READ_ONE);
  readBack->PktType.par.first_par = doc.GetPar(mode).GetAddress();
  readBack->PktType.par.num_par = 1;
  readBack->PktType.par.mark = 1;
  readBack->wAnsData = {1};
  const auto hidden = answerOf(*sink.queue[3], {9});
  conn.Drain({hidden.get(), readBack.get()});
  ASSERT_NE(List()->GetEdit(), nullptr);
  EXPECT_EQ(List()->GetEdit()->text(), "1");
  sameAsFromEmpty("read-back");
}
