#include "MainFrameFixture.h"
#include "TestSupport.h"

#include "frame/CommandTable.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"
#include "frame/StatusBarCtrls.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

using namespace mainframe_test;

class MainCommandsTest : public MainFrameTest {};

// The toolbar's ids from left to right as the user sees them (0: separator).
std::vector<int> ToolbarIds(CMainFrame &frame)
{
  std::vector<int> ids;
  for (QAction *a : frame.Toolbar()->actions())
    ids.push_back(a->isSeparator() ? 0 : a->data().toInt());
  return ids;
}

TEST_F(MainCommandsTest, ToolbarHoldsEveryButtonInOrderWithPicturesAndTooltips)
{
  const std::vector<int> expected = {57600, 0,     57601, 322,   0,     57609, 57607, 0,     330,   0,
                                     32797, 32800, 32798, 32799, 0,     32804, 32803, 32794, 0,     59431,
                                     0,     32786, 0,     32787, 32788, 0,     32790, 32791, 0,     59432,
                                     59433, 0,     32792, 0,     32793, 0,     32795, 0,     32796, 59434};
  EXPECT_EQ(ToolbarIds(*frame), expected);
  EXPECT_EQ(frame->Toolbar()->widgetForAction(frame->Toolbar()->AddressAction())->width(), 40);
  for (int id : expected) {
    if (id == 0 || id == 59434)
      continue;
    QAction *a = frame->Action(id);
    ASSERT_NE(a, nullptr) << id;
    const QList<QSize> sizes = a->icon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32))) << id;
    EXPECT_FALSE(a->toolTip().isEmpty()) << id;
  }
  // The text after the first line feed, kept exact; else the whole prompt.
  EXPECT_EQ(frame->Action(32799)->toolTip(), QStringLiteral("Find next\rmodified param"));
  EXPECT_EQ(frame->Action(32797)->toolTip(), QStringLiteral("Find"));
  EXPECT_EQ(frame->Action(57607)->toolTip(), QStringLiteral("Print..."));
  EXPECT_EQ(frame->Action(57600)->toolTip(), QStringLiteral("New"));
  // A menu text with no tooltip part loses its mnemonic, "&&" reads "&".
  EXPECT_EQ(frame->Action(57601)->toolTip(), QStringLiteral("Open..."));
  EXPECT_EQ(frame->Action(57601)->statusTip(), QStringLiteral("Open..."));
  EXPECT_EQ(frame->Action(57601)->text(), QStringLiteral("&Open..."));
  EXPECT_EQ(frame->Action(57664)->statusTip(), QStringLiteral("Informations & E-mail"));
  // Search has no handler; Reset lives on the toolbar only.
  EXPECT_FALSE(frame->Action(Cmd::Search)->isEnabled());
  EXPECT_TRUE(frame->Action(Cmd::FileNew)->isEnabled());
  for (QAction *menu : frame->Menu()->actions())
    for (QAction *a : menu->menu()->actions())
      EXPECT_NE(a->data().toInt(), int(Cmd::Reset));
  // Every command of the toolbar and the menus has its row.
  std::vector<int> laidOut = expected;
  for (QAction *menu : frame->Menu()->actions())
    for (QAction *a : menu->menu()->actions())
      laidOut.push_back(a->data().toInt());
  for (int id : laidOut)
    EXPECT_TRUE(id == 0 || id == Cmd::AddressPlace || commands::Find(id)) << id;
  // A language switch rebuilds the bar in the same order, in Italian.
  frame->SetLanguage(2);
  EXPECT_EQ(ToolbarIds(*frame), expected);
  EXPECT_EQ(frame->Action(57609)->toolTip(), QStringLiteral("Anteprima di stampa"));
  EXPECT_EQ(frame->Action(57600)->toolTip(), QStringLiteral("Nuovo"));
  EXPECT_EQ(frame->Action(57601)->toolTip(), QStringLiteral("Apri..."));
  EXPECT_EQ(frame->Action(57601)->statusTip(), QStringLiteral("Apri..."));
  // Every switch leaves the same menus, not the old ones besides.
  const auto menus = [this] {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return frame->Menu()->findChildren<QMenu *>().size();
  };
  const qsizetype before = menus();
  for (int i = 0; i < 8; ++i)
    frame->SetLanguage(i % 2 + 1);
  EXPECT_EQ(menus(), before);
  EXPECT_EQ(frame->Menu()->actions().size(), 6);
}

TEST_F(MainCommandsTest, BoardButtonsFollowTheActiveBoard)
{
  auto doc = LoadExampleDoc();
  ASSERT_TRUE(doc->AreDescriptionsLoaded());
  EXPECT_FALSE(frame->Action(Cmd::OnLine)->isEnabled());
  EXPECT_FALSE(frame->Action(Cmd::FilePrint)->isEnabled());
  frame->AddChildFrame(doc.get());
  // Offline: the board's commands wait, the connection and print are there.
  EXPECT_TRUE(frame->Action(Cmd::OnLine)->isEnabled());
  EXPECT_FALSE(frame->Action(Cmd::OnLine)->isChecked());
  EXPECT_TRUE(frame->Action(Cmd::FilePrint)->isEnabled());
  EXPECT_TRUE(frame->Action(Cmd::FilePrintPreview)->isEnabled());
  EXPECT_FALSE(frame->Action(Cmd::ReadAll)->isEnabled());
  EXPECT_FALSE(frame->Action(Cmd::Reset)->isEnabled());
  EXPECT_FALSE(frame->Action(Cmd::Undo)->isEnabled());
  // Connecting checks the button at once.
  frame->Action(Cmd::OnLine)->trigger();
  EXPECT_TRUE(frame->Action(Cmd::OnLine)->isChecked());
}

TEST_F(MainCommandsTest, SaveShortcutWorksOnceADocumentIsOpenAfterTheMenuShowedItDisabled)
{
  frame->show();
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  QMenu *file = frame->Menu()->actions().at(0)->menu();
  emit file->aboutToShow();
  EXPECT_FALSE(frame->Action(Cmd::FileSave)->isEnabled());
  auto doc = LoadExampleDoc();
  frame->AddChildFrame(doc.get());
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  QTest::keyClick(frame->MdiArea(), Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(env.prompter().asked[0].kind, ScriptedPrompter::Asked::File);
  // Undo's state is read when its shortcut comes, not when it was last shown.
  EXPECT_FALSE(frame->Action(Cmd::Undo)->isEnabled());
  doc->PushUndo(0, 1.0);
  QTest::keyClick(frame->MdiArea(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(doc->GetUndoList().empty());
}

} // namespace
