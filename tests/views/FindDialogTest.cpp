#include "ViewFakes.h"

#include "views/FindDialog.h"
#include "views/ViewState.h"

#include "controls/ACEditCtrl.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTest>

namespace {

// A view that records the hints its document sends.
class HintRecorder : public CView {
public:
  void OnUpdate(CView *, long hint, QObject *) override { hints.push_back(hint); }
  std::vector<long> hints;
};

class Find : public ViewsFixture {
protected:
  void SetUp() override
  {
    ViewsFixture::SetUp();
    find.SetActiveDocumentGetter([this] { return active; });
  }
  void Choose(int set, const QString &text, bool matchCase = false, bool wholeWord = false)
  {
    find.GetSetButton(set)->setChecked(true);
    find.OnFindSet();
    find.GetEdit()->setText(text);
    find.GetMatchCase()->setChecked(matchCase);
    find.GetWholeWord()->setChecked(wholeWord);
  }
  QStringList Messages()
  {
    QStringList out;
    for (const auto &a : env.prompter().asked) {
      out << a.text;
      EXPECT_EQ(a.caption, "Velotrix 2.1.25");
      EXPECT_EQ(a.type, unsigned(MB_OK | MB_ICONINFORMATION));
    }
    return out;
  }

  CFindDialog find;
  CQelDoc *active = nullptr;
};

const QString kNotFound = QStringLiteral("Not found!");
const QString kLevel = QStringLiteral("Visualization level too low: increase visualization level in the statusbar!");

} // namespace

TEST_F(Find, WithoutADocumentNothingHappens)
{
  Choose(CFindDialog::SET_BLOCK, QStringLiteral("Drive"));
  find.OnFindFirst();
  find.OnFindNext();
  find.OnFindPrev();
  EXPECT_TRUE(env.prompter().asked.empty());
}

TEST_F(Find, BlocksForwardBackwardAndTheLevel)
{
  Open("demo-full.vtx", 2);
  active = &doc;
  HintRecorder recorder;
  doc.AddView(&recorder);
  Choose(CFindDialog::SET_BLOCK, QStringLiteral("loop"));
  find.OnFindFirst();
  EXPECT_EQ(find.GetBlockPos(), 3);
  EXPECT_EQ(parTree->currentItem()->text(0), "Speed loop");
  EXPECT_EQ(varTree->currentItem()->text(0), "Speed loop");
  EXPECT_EQ(List()->GetItemText(0, 3), "speed_kp");
  ASSERT_FALSE(recorder.hints.empty());
  EXPECT_EQ(recorder.hints.back(), 0xF800);
  find.OnFindNext();
  EXPECT_EQ(find.GetBlockPos(), 4);
  find.OnFindNext();
  EXPECT_EQ(find.GetBlockPos(), 4); // a miss leaves the position
  find.OnFindPrev();
  EXPECT_EQ(find.GetBlockPos(), 3);
  EXPECT_EQ(Messages(), QStringList({kNotFound}));
  // "Find first" restarts the set.
  find.OnFindFirst();
  EXPECT_EQ(find.GetBlockPos(), 3);

  // Inputs holds no parameter visible at level 1: found, with the warning.
  main.options.VisLevel.Set(1);
  Choose(CFindDialog::SET_BLOCK, QStringLiteral("Inputs"), true, true);
  find.OnFindFirst();
  EXPECT_EQ(find.GetBlockPos(), 5);
  EXPECT_EQ(Messages().back(), kLevel);
  doc.RemoveView(&recorder);
}

TEST_F(Find, ParametersSelectTheRowAndWarnAboveTheLevel)
{
  Open("demo-full.vtx", 0);
  active = &doc;
  Choose(CFindDialog::SET_PARAMETERS, QStringLiteral("SPEED"));
  find.OnFindFirst();
  EXPECT_EQ(find.GetParPos(), 0); // speed_kp, level 1: selected and warned about
  EXPECT_EQ(Messages(), QStringList({kLevel}));
  find.OnFindNext();
  EXPECT_EQ(find.GetParPos(), 1);
  find.OnFindNext();
  EXPECT_EQ(find.GetParPos(), 9); // max_speed, level 0
  EXPECT_EQ(Messages().size(), 2);
  const int row = RowOf(9);
  ASSERT_GE(row, 0);
  EXPECT_EQ(doc.GetSelectedParRow(), row);
  COLORREF text = 0, back = 0;
  List()->GetItemColors(row, 5, &text, &back);
  EXPECT_EQ(text, 0xFFFFFFu);
  EXPECT_EQ(back, 0xFF0000u);
  // Match case and whole word.
  Choose(CFindDialog::SET_PARAMETERS, QStringLiteral("SPEED"), true);
  find.OnFindFirst();
  EXPECT_EQ(Messages().back(), kNotFound);
  Choose(CFindDialog::SET_PARAMETERS, QStringLiteral("speed"), false, true);
  find.OnFindFirst();
  EXPECT_EQ(Messages().back(), kNotFound);
  Choose(CFindDialog::SET_PARAMETERS, QStringLiteral("max_speed"), true, true);
  find.OnFindFirst();
  EXPECT_EQ(find.GetParPos(), 9);
}

TEST_F(Find, VariablesAndLinksToAVariable)
{
  Open("demo-full.vtx", 2);
  active = &doc;
  Choose(CFindDialog::SET_VARIABLES, QStringLiteral("flag"));
  find.OnFindFirst();
  EXPECT_EQ(find.GetVarPos(), 8);
  EXPECT_EQ(varTree->currentItem()->text(0), "error_flag");
  find.OnFindNext();
  find.OnFindNext();
  EXPECT_EQ(find.GetVarPos(), 10);
  find.OnFindNext();
  EXPECT_EQ(Messages(), QStringList({kNotFound}));

  // c_xx=var: the parameters whose value is the variable's address.
  Choose(CFindDialog::SET_LINKS, QStringLiteral("analog_in1"), true, true);
  EXPECT_EQ(find.GetFindSet(), CFindDialog::SET_VARIABLES);
  EXPECT_EQ(find.GetEdit()->GetActiveList(), 2);
  find.OnFindFirst();
  EXPECT_EQ(find.GetVarPos(), Var("analog_in1"));
  EXPECT_EQ(find.GetParPos(), Par("analog_in_link"));
  EXPECT_EQ(List()->GetItemText(doc.GetSelectedParRow(), 3), "analog_in_link");
  find.OnFindNext();
  EXPECT_EQ(find.GetParPos(), Par("c_diag_rec4"));
  find.OnFindNext();
  EXPECT_EQ(Messages().back(), kNotFound);
  EXPECT_EQ(Messages().size(), 2);
}

TEST_F(Find, CandidatesAndAnotherDocument)
{
  Open("demo-full.vtx", 2);
  active = &doc;
  find.SetCandidateLists(doc);
  ASSERT_NE(find.GetEdit()->GetList(1), nullptr);
  EXPECT_TRUE(find.GetEdit()->GetList(1)->contains("max_speed"));
  EXPECT_TRUE(find.GetEdit()->GetList(0)->contains("Speed loop"));
  EXPECT_TRUE(find.GetEdit()->GetList(3)->contains("pos_actual"));
  // Typing completes from the names of the set.
  Choose(CFindDialog::SET_PARAMETERS, QString());
  QTest::keyClicks(find.GetEdit(), QStringLiteral("max"));
  EXPECT_EQ(find.GetEdit()->text(), "max_speed");
  EXPECT_EQ(find.GetEdit()->GetActiveList(), 1);
  find.GetEdit()->setText(QStringLiteral("_k"));
  find.OnFindNext();
  find.OnFindNext();
  EXPECT_EQ(find.GetParPos(), 1);

  // Another active document starts every set from the beginning.
  CQelDoc other;
  other.SetHost(&main);
  ASSERT_TRUE(other.OnOpenDocument(ExamplePath(QStringLiteral("demo-full.vtx"))));
  active = &other;
  find.OnFindNext();
  EXPECT_EQ(find.GetParPos(), 0);
  active = nullptr;
}

TEST_F(Find, BlocksAreJudgedByTheKindsTheyHoldAndShowingFocusesTheText)
{
  // A: parameters only; B: a sub-block of A with variables only; C: both,
  // its parameter above every level; D: empty.
  OpenText(QStringLiteral("K[] = 1;\r\nb1 A#0; b=1; a=0;\r\nb2 B#1; b=2; a=0;\r\nb3 C#0; b=3; a=0;\r\n"
                          "b4 D#0; b=4; a=0;\r\n"
                          "p0 apar=1; m=0; d=0; M=100; b=1; p=0; v=0; a=0;\r\n"
                          "p1 cpar=1; m=0; d=0; M=100; b=3; p=0; v=3; a=0;\r\n"
                          "v0 bvar; k=-1; n=-1; s=0; b=2; p=0; v=0; a=0; u=-1;\r\n"
                          "v1 cvar; k=-1; n=-1; s=0; b=3; p=1; v=0; a=0; u=-1;\r\n"),
           2);
  env.prompter().asked.clear(); // the standard items it lacks
  active = &doc;
  for (const char *name : {"A", "B"}) {
    Choose(CFindDialog::SET_BLOCK, QString::fromLatin1(name), true, true);
    find.OnFindFirst();
  }
  EXPECT_TRUE(Messages().isEmpty()) << "a block of one kind is visible at the highest level";
  for (const char *name : {"C", "D"}) {
    Choose(CFindDialog::SET_BLOCK, QString::fromLatin1(name), true, true);
    find.OnFindFirst();
  }
  EXPECT_EQ(Messages(), QStringList({kLevel, kLevel}));
  Choose(CFindDialog::SET_PARAMETERS, QStringLiteral("cpar"));
  find.OnFindFirst();
  EXPECT_EQ(find.GetParPos(), 1);
  EXPECT_EQ(Messages().size(), 3) << "a level-3 parameter is still hidden";

  // Each show, also of a dialog already shown, activates it and focuses the text.
  find.GetMatchCase()->setFocus();
  find.show();
  QTRY_VERIFY(find.isActiveWindow());
  EXPECT_EQ(find.focusWidget(), find.GetEdit());
  find.GetMatchCase()->setFocus();
  find.show();
  EXPECT_EQ(find.focusWidget(), find.GetEdit());
}
