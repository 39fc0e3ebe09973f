#include "FrameTestSupport.h"
#include "TestSupport.h"
#include "controls/FooButton.h"
#include "frame/BoardDialogs.h"
#include "frame/ChildFrm.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "model/generali.h"

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
  const struct {
    int16_t code;
    bool ok, cancel, hide;
  } rows[] = {{150, false, false, true}, {350, true, false, false}, {250, false, true, false},
              {450, true, true, false},  {-5, true, true, false},   {12, false, false, false}};
  for (const auto &row : rows) {
    dlg.ShowMessage("message", row.code);
    EXPECT_EQ(Shows(dlg.OkButton()), row.ok) << row.code;
    EXPECT_EQ(Shows(dlg.CancelButton()), row.cancel) << row.code;
    EXPECT_EQ(Shows(dlg.HideButton()), row.hide) << row.code;
  }
}

TEST_F(WinCmdFixture, RowsAndRepeatedCodesOfEachWindow)
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

  // Each window keeps its own last code: one made after another showed a
  // code still shows that code.
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

// Every question a board window asks can be answered by a test: the modal
// dialogs through their hook, the file choice through the prompter, the
// board message through its buttons.
TEST(BoardDialogs, ABoardWindowsQuestionsCanBeAnsweredByATest)
{
  TestEnvironment env;
  RecordingSink sink;
  CMainFrame frame(false);
  frame.SetRequestSink(&sink);
  auto doc =
      LoadDocText(QStringLiteral("Version = TEST 1;\nK[] = 4096;\nN[] = 0.1;\nU[] = rpm;\nb1 Main#0; b=0; a=0;\n"
                                 "p0 par0=0; m=-32768; d=0; M=32767; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\n"
                                 "s0=[DefaultCombo#0]Factory[DefaultCombo#1]Pump\n"
                                 "sit=[DefaultCombo#0]Fabbrica[DefaultCombo#1]Pompa\n"));
  CChildFrame *child = frame.AddChildFrame(doc.get());
  ASSERT_NE(child, nullptr);
  frame.SetActiveChild(child->GetAnswerWindow());
  child->OnOnLine();
  AnswerGoOnline(frame, sink, *doc);
  ASSERT_TRUE(doc->IsOnline());

  QStringList shown;
  const BoardModal::Hook previous = BoardModal::SetHook([&](QDialog &dialog) {
    shown << dialog.windowTitle();
    if (auto *sets = qobject_cast<CLoadDefault *>(&dialog)) {
      sets->Combo()->setCurrentIndex(1);
      emit sets->Combo()->activated(1);
      return IDOK;
    }
    if (auto *languages = qobject_cast<CLanguageSelect *>(&dialog)) {
      languages->Button(1)->click();
      return IDOK;
    }
    return IDCANCEL;
  });
  sink.Clear();
  child->OnCommand(Cmd::DefLoad);
  ASSERT_EQ(sink.OfKind(REQ_WRITE_ONE).size(), 1u);
  EXPECT_EQ(sink.OfKind(REQ_WRITE_ONE)[0]->wData, (std::vector<uint16_t>{5001}));
  child->OnCommand(Cmd::InitLanguage);
  EXPECT_EQ(doc->GetLanguageName(), QStringLiteral("it"));
  EXPECT_EQ(shown, (QStringList{LoadStr(IDS_LOAD_DEFAULT_TITLE), LoadStr(IDS_SELECT_LANGUAGE_TITLE)}));
  BoardModal::SetHook(previous);

  // The import's file choice is the prompter's; a cancel imports nothing.
  env.prompter().AnswerFile(QString());
  child->OnCommand(Cmd::ImportFile);
  ASSERT_FALSE(env.prompter().asked.empty());
  EXPECT_EQ(env.prompter().asked.back().kind, ScriptedPrompter::Asked::File);
  EXPECT_TRUE(doc->IsOnline());

  // The board message's buttons answer the active board.
  sink.Clear();
  doc->SetWinCmdValue(3);
  frame.GetWinCmdDialog()->ShowMessage(QStringLiteral("question"), 3);
  frame.GetWinCmdDialog()->OkButton()->click();
  frame.GetWinCmdDialog()->HideButton()->click();
  ASSERT_EQ(sink.OfKind(REQ_WRITE_ONE).size(), 2u);
  EXPECT_EQ(sink.OfKind(REQ_WRITE_ONE)[0]->wData, (std::vector<uint16_t>{4003}));
  EXPECT_EQ(sink.OfKind(REQ_WRITE_ONE)[1]->wData, (std::vector<uint16_t>{2003}));
  child->SetSaveAnswered();
  delete child;
}
