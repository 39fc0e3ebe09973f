#include "TestSupport.h"
#include "controls/XHyperLink.h"
#include "frame/AboutDlg.h"
#include "frame/MDITabs.h"
#include "model/generali.h"
#include "platform/StringIds.h"

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

struct TabsFixture : ::testing::Test {
  TabsFixture()
  {
    auto *layout = new QVBoxLayout(&frame);
    layout->addWidget(&tabs);
    layout->addWidget(&area);
    frame.resize(800, 600);
    frame.show();
  }
  QMdiSubWindow *AddBoard(const QString &title)
  {
    auto *w = area.addSubWindow(new QLabel(title));
    w->setWindowTitle(title);
    w->show();
    return w;
  }
  TestEnvironment env;
  QWidget frame;
  CMDITabs tabs;
  QMdiArea area;
};

TEST_F(TabsFixture, StripFollowsTheBoardWindows)
{
  tabs.Create(&area, CMDITabs::kStyleTop | CMDITabs::kStyleHideLess2);
  EXPECT_TRUE(tabs.IsTop());
  EXPECT_EQ(tabs.MinViews(), 2);
  QMdiSubWindow *one = AddBoard("/data/boards/drive one.vtx");
  tabs.Update();
  EXPECT_EQ(tabs.count(), 1);
  EXPECT_TRUE(tabs.isHidden());
  // A new tab shows the whole title first, the file name at the next update.
  EXPECT_EQ(tabs.tabText(0), "/data/boards/drive one.vtx");
  AddBoard("/data/boards/drive two.vtx");
  tabs.Update();
  EXPECT_EQ(tabs.count(), 2);
  EXPECT_FALSE(tabs.isHidden());
  EXPECT_EQ(tabs.tabText(0), "drive one");
  EXPECT_EQ(tabs.tabText(1), "/data/boards/drive two.vtx");
  delete one;
  tabs.Update();
  EXPECT_EQ(tabs.count(), 1);
  EXPECT_TRUE(tabs.isHidden());
  EXPECT_EQ(tabs.tabText(0), "drive two");
}

TEST_F(TabsFixture, WithoutTheBitOneWindowShowsTheStrip)
{
  tabs.Create(&area, 0);
  EXPECT_FALSE(tabs.IsTop());
  tabs.Update();
  EXPECT_TRUE(tabs.isHidden());
  QMdiSubWindow *w = AddBoard("board.vtx");
  tabs.Update();
  EXPECT_FALSE(tabs.isHidden());
  delete w;
  tabs.Update();
  EXPECT_TRUE(tabs.isHidden());
  EXPECT_EQ(tabs.count(), 0);
}

TEST_F(TabsFixture, TabsActivateAndCarryIcons)
{
  tabs.Create(&area, CMDITabs::kStyleImages);
  QMdiSubWindow *a = AddBoard("a.vtx");
  QMdiSubWindow *b = AddBoard("b.vtx");
  area.setActiveSubWindow(b);
  tabs.Update();
  EXPECT_EQ(tabs.WindowAt(tabs.currentIndex()), b);
  const int indexOfA = tabs.WindowAt(0) == a ? 0 : 1;
  ASSERT_EQ(tabs.WindowAt(indexOfA), a);
  tabs.setCurrentIndex(indexOfA);
  EXPECT_EQ(area.activeSubWindow(), a);
  QPixmap red(16, 16);
  red.fill(Qt::red);
  a->setWindowIcon(QIcon(red));
  tabs.Update();
  EXPECT_EQ(tabs.tabIcon(indexOfA).pixmap(16, 16).toImage().pixelColor(4, 4), QColor(Qt::red));
}

TEST_F(TabsFixture, RightClickSelectsThenRunsTheWindowMenu)
{
  tabs.Create(&area, 0);
  AddBoard("a.vtx");
  QMdiSubWindow *b = AddBoard("b.vtx");
  area.setActiveSubWindow(b);
  tabs.Update();
  const int indexOfA = tabs.WindowAt(0) == b ? 1 : 0;
  env.prompter().AnswerMenu(CMDITabs::kCmdMaximize);
  tabs.RunWindowMenu(indexOfA, QPoint(10, 10));
  EXPECT_EQ(tabs.currentIndex(), indexOfA);
  EXPECT_EQ(area.activeSubWindow(), tabs.WindowAt(indexOfA));
  EXPECT_TRUE(tabs.WindowAt(indexOfA)->isMaximized());
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(env.prompter().asked[0].menu.size(), 5);
  // Close through the menu; the next update drops the tab.
  env.prompter().AnswerMenu(CMDITabs::kCmdClose);
  tabs.RunWindowMenu(indexOfA, QPoint(10, 10));
  QApplication::processEvents();
  tabs.Update();
  EXPECT_EQ(tabs.count(), 1);
  // A dismissed menu or a bad index does nothing.
  tabs.RunWindowMenu(0, QPoint());
  tabs.RunWindowMenu(7, QPoint());
  EXPECT_EQ(tabs.count(), 1);
}

TEST(AboutBox, VersionLinksAndCredits)
{
  TestEnvironment env;
  CAboutDlg about;
  EXPECT_EQ(about.VersionField()->text(), LoadStr(IDS_GENERATOR));
  EXPECT_EQ(about.windowTitle(), "Velotrix 2.1.25");
  EXPECT_EQ(about.Link(0)->GetURL(), LoadStr(IDS_MAIL_SOFTWARE));
  EXPECT_EQ(about.Link(1)->GetURL(), LoadStr(IDS_MAIL_FIRMWARE));
  EXPECT_EQ(about.Link(2)->GetURL(), LoadStr(IDS_MAIL_DOCUMENTATION));
  EXPECT_TRUE(about.TimerActive());
  // The step counter is shared and wraps after four steps.
  const int next = CAboutDlg::NextStep();
  about.CreditsStep();
  EXPECT_EQ(about.CaptionLabel()->text(), LoadStr(1057 + unsigned(next)));
  EXPECT_EQ(CAboutDlg::NextStep(), (next + 1) % 4);
  for (int i = 0; i < 3; ++i)
    about.CreditsStep();
  EXPECT_EQ(CAboutDlg::NextStep(), next);
  for (int i = 0; i < 4; ++i)
    EXPECT_FALSE(LoadStr(1057 + unsigned(i)).isEmpty());
  EXPECT_NE(CAboutDlg::Picture(0).toImage(), CAboutDlg::Picture(1).toImage());
}

} // namespace
