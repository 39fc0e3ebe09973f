#include "TestSupport.h"
#include "controls/FooButton.h"
#include "frame/BoardDialogs.h"
#include "platform/StringTable.h"

#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(LoadDefault, ListsTheSetsInOrderAndReturnsTheChoice)
{
  CLoadDefault dlg(nullptr, {"set 3", "set 1", "set 2"});
  dlg.show();
  ASSERT_EQ(dlg.Combo()->count(), 3);
  EXPECT_EQ(dlg.Combo()->itemText(0), "set 3"); // not sorted
  EXPECT_EQ(dlg.Combo()->currentIndex(), 0);
  dlg.accept();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.GetSelection(), 0);

  CLoadDefault other(nullptr, {"a", "b", "c"});
  other.show();
  other.Combo()->setCurrentIndex(2);
  emit other.Combo()->activated(2);
  other.accept();
  EXPECT_EQ(other.GetSelection(), 2);

  CLoadDefault empty(nullptr, {});
  EXPECT_EQ(empty.GetSelection(), 0);
}

TEST(LanguageSelect, ButtonsFollowTheCodes)
{
  CLanguageSelect dlg(nullptr, {"std", "it"}, "IT");
  dlg.show();
  EXPECT_FALSE(dlg.Button(0)->isHidden());
  EXPECT_FALSE(dlg.Button(1)->isHidden());
  for (int k = 2; k < 6; ++k)
    EXPECT_TRUE(dlg.Button(k)->isHidden());
  EXPECT_EQ(dlg.Button(0)->text(), "Standard");
  EXPECT_EQ(dlg.Button(1)->text(), "Italiano");
  EXPECT_FALSE(dlg.Button(0)->IsChecked());
  EXPECT_TRUE(dlg.Button(1)->IsChecked());
  EXPECT_EQ(dlg.ShrinkDistance(), 4 * dlg.Button(0)->height());
  EXPECT_EQ(dlg.GetCurrent(), "IT");
  QTest::mouseClick(dlg.Button(0), Qt::LeftButton);
  dlg.accept();
  EXPECT_EQ(dlg.GetCurrent(), "std");
}

TEST(LanguageSelect, UnknownCodesManyCodesAndNone)
{
  CLanguageSelect unknown(nullptr, {"es"}, "");
  EXPECT_EQ(unknown.GetCurrent(), "std");
  EXPECT_EQ(unknown.Button(0)->text(), "Button1");
  unknown.show();
  QTest::mouseClick(unknown.Button(0), Qt::LeftButton);
  EXPECT_EQ(unknown.GetCurrent(), "es");

  // Seven codes: still six buttons, and a dialog one button taller.
  CLanguageSelect six(nullptr, {"std", "en", "it", "fr", "de", "cn"}, "de");
  CLanguageSelect many(nullptr, {"std", "en", "it", "fr", "de", "cn", "es"}, "de");
  six.show();
  many.show();
  EXPECT_EQ(many.ShrinkDistance(), -many.Button(0)->height());
  EXPECT_EQ(many.height(), six.height() + many.Button(0)->height());
  EXPECT_EQ(many.Button(5)->text(), QString::fromUtf16(u"汉语"));
  EXPECT_TRUE(many.Button(4)->IsChecked());
  EXPECT_EQ(many.Button(6), nullptr);

  CLanguageSelect none(nullptr, {}, "");
  EXPECT_FALSE(none.Button(0)->isHidden());
  EXPECT_EQ(none.Button(0)->text(), "Standard");
  EXPECT_TRUE(none.Button(0)->IsChecked());
}

struct WinCmdFixture : ::testing::Test {
  QWidget parent;
  std::vector<int> answers;
  CWinCmdDiag dlg{&parent, [this](int id) { answers.push_back(id); }};
  bool Shows(QPushButton *b) const { return !b->isHidden(); }
};

TEST_F(WinCmdFixture, ButtonsByCodeRange)
{
  dlg.ShowMessage("hide only", 150);
  EXPECT_TRUE(Shows(dlg.HideButton()));
  EXPECT_FALSE(Shows(dlg.OkButton()));
  EXPECT_FALSE(Shows(dlg.CancelButton()));
  dlg.ShowMessage("ok only", 350);
  EXPECT_TRUE(Shows(dlg.OkButton()));
  EXPECT_FALSE(Shows(dlg.CancelButton()));
  EXPECT_FALSE(Shows(dlg.HideButton()));
  dlg.ShowMessage("cancel only", 250);
  EXPECT_TRUE(Shows(dlg.CancelButton()));
  EXPECT_FALSE(Shows(dlg.OkButton()));
  for (int16_t code : {int16_t(450), int16_t(-5)}) {
    dlg.ShowMessage("both", code);
    EXPECT_TRUE(Shows(dlg.OkButton()));
    EXPECT_TRUE(Shows(dlg.CancelButton()));
    EXPECT_FALSE(Shows(dlg.HideButton()));
  }
  dlg.ShowMessage("none", 12);
  EXPECT_FALSE(Shows(dlg.OkButton()) || Shows(dlg.CancelButton()) || Shows(dlg.HideButton()));
}

TEST_F(WinCmdFixture, RowsAndRepeatedCodes)
{
  dlg.ShowMessage("first\\\\n\\\\nthird", 450);
  ASSERT_EQ(dlg.List()->rowCount(), 3);
  EXPECT_EQ(dlg.List()->item(1, 0)->text(), "");
  EXPECT_EQ(dlg.List()->item(2, 0)->text(), "third");
  // The same code again, even with another text, changes nothing.
  dlg.ShowMessage("other", 450);
  EXPECT_EQ(dlg.List()->rowCount(), 3);
  EXPECT_EQ(dlg.LastCode(), 450);
  dlg.ShowMessage("one row", 451);
  EXPECT_EQ(dlg.List()->rowCount(), 1);
}

TEST_F(WinCmdFixture, EachWindowKeepsItsOwnLastCode)
{
  // A window made after another showed a code still shows that code.
  dlg.ShowMessage("first board", 450);
  CWinCmdDiag other(&parent, [](int) {});
  EXPECT_EQ(other.LastCode(), 0);
  other.ShowMessage("second board", 450);
  ASSERT_EQ(other.List()->rowCount(), 1);
  EXPECT_EQ(other.List()->item(0, 0)->text(), "second board");
  EXPECT_EQ(dlg.LastCode(), 450);
  dlg.ResetLastCode();
  dlg.ShowMessage("again", 450);
  EXPECT_EQ(dlg.List()->item(0, 0)->text(), "again");
}

TEST_F(WinCmdFixture, AnswersGoToTheCallbackAndTheWindowStays)
{
  dlg.show();
  dlg.ShowMessage("question", 450);
  QTest::mouseClick(dlg.OkButton(), Qt::LeftButton);
  QTest::mouseClick(dlg.CancelButton(), Qt::LeftButton);
  QTest::keyClick(&dlg, Qt::Key_Escape);
  dlg.ShowMessage("hide", 150);
  QTest::mouseClick(dlg.HideButton(), Qt::LeftButton);
  EXPECT_EQ(answers, (std::vector<int>{1, 2, 2, 218}));
  EXPECT_TRUE(dlg.isVisible());
}

} // namespace

// The board dialogs speak the interface language.
TEST(BoardDialogs, TitlesAndButtonsFollowTheLanguage)
{
  TestEnvironment env;
  CLoadDefault english(nullptr, {QStringLiteral("A")});
  EXPECT_EQ(english.windowTitle(), QStringLiteral("Load Default"));
  ASSERT_TRUE(StringTable::Instance().SetLanguage(StringTable::Language::Italian,
                                                  QStringLiteral(VELOTRIX_BIN_DIR "/LangITA11.rcc")));
  CLoadDefault italian(nullptr, {QStringLiteral("A")});
  EXPECT_EQ(italian.windowTitle(), QStringLiteral("Carica valori di default"));
  QWidget parent;
  CWinCmdDiag board(&parent, [](int) {});
  EXPECT_EQ(board.windowTitle(), QStringLiteral("Informazioni azionamento"));
  QStringList buttons;
  for (auto *b : board.findChildren<QPushButton *>())
    buttons << b->text();
  EXPECT_TRUE(buttons.contains(QStringLiteral("Nascondi"))) << buttons.join(u',').toStdString();
}
