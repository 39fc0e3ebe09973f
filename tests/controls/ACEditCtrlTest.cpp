#include "controls/ACEditCtrl.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {
struct Edit {
  Edit()
  {
    edit.SetList(0, {QStringLiteral("Speed_ref"), QStringLiteral("Speed_act"), QStringLiteral("Torque")});
    edit.SelectList(false, 0);
  }
  CACEditCtrl edit;
};
} // namespace

TEST(ACEditCtrl, CompletesWithTheFirstMatchAndSelectsTheRest)
{
  Edit e;
  QTest::keyClicks(&e.edit, QStringLiteral("S"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("Speed_ref"));
  EXPECT_EQ(e.edit.selectedText(), QStringLiteral("peed_ref"));
  QTest::keyClicks(&e.edit, QStringLiteral("p"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("Speed_ref"));
  EXPECT_EQ(e.edit.selectedText(), QStringLiteral("eed_ref"));

  // Backspace removes the proposal and does not complete again; the next
  // character does.
  QTest::keyClick(&e.edit, Qt::Key_Backspace);
  EXPECT_EQ(e.edit.text(), QStringLiteral("Sp"));
  QTest::keyClicks(&e.edit, QStringLiteral("eed_a"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("Speed_act"));
  EXPECT_EQ(e.edit.selectedText(), QStringLiteral("ct"));
}

TEST(ACEditCtrl, NoMatchCaseAndEmptyListsCompleteNothing)
{
  Edit e;
  QTest::keyClicks(&e.edit, QStringLiteral("Sx"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("Sx"));
  e.edit.clear();
  QTest::keyClicks(&e.edit, QStringLiteral("s"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("s")) << "matching is case-sensitive";

  e.edit.clear();
  e.edit.SelectList(false, 1); // never given
  QTest::keyClicks(&e.edit, QStringLiteral("S"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("S"));
  e.edit.clear();
  e.edit.SetList(2, {QString(), QString()});
  ASSERT_NE(e.edit.GetList(2), nullptr);
  EXPECT_TRUE(e.edit.GetList(2)->isEmpty()) << "empty entries are skipped";
  e.edit.SelectList(false, 2);
  QTest::keyClicks(&e.edit, QStringLiteral("T"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("T"));

  // List numbers outside 0..3 are ignored.
  e.edit.SelectList(false, 4);
  e.edit.SelectList(false, -1);
  EXPECT_EQ(e.edit.GetActiveList(), 2);
  e.edit.SetList(7, {QStringLiteral("x")});
  EXPECT_EQ(e.edit.GetList(7), nullptr);
}

TEST(ACEditCtrl, KeepsItsOwnCopiesOfTheLists)
{
  CACEditCtrl edit;
  {
    auto supplier = std::make_unique<QStringList>(QStringList{QString(), QStringLiteral("Vdc_bus")});
    edit.SetList(3, *supplier);
  } // the document that supplied the names is gone
  edit.SelectList(false, 3);
  QTest::keyClicks(&edit, QStringLiteral("V"));
  EXPECT_EQ(edit.text(), QStringLiteral("Vdc_bus"));
}

TEST(ACEditCtrl, ProgramTextCompletesUnlessSuppressed)
{
  Edit e;
  e.edit.setText(QStringLiteral("To"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("Torque"));
  e.edit.SelectList(true, 0);
  e.edit.setText(QStringLiteral("To"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("To"));
  QTest::keyClicks(&e.edit, QStringLiteral("r"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("Tor")) << "suppression from SelectList outlasts other keys";
  e.edit.SelectList(false, 0);
  e.edit.clear();
  QTest::keyClick(&e.edit, Qt::Key_Delete);
  QTest::keyClicks(&e.edit, QStringLiteral("T"));
  EXPECT_EQ(e.edit.text(), QStringLiteral("Torque"));
}
