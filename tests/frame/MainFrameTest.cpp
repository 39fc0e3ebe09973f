#include "MainFrameFixture.h"
#include "TestSupport.h"

#include "frame/BoardDialogs.h"
#include "frame/ChildFrm.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"
#include "frame/MDITabs.h"
#include "frame/QelApp.h"
#include "frame/SplitterWnd.h"
#include "frame/StatusBarCtrls.h"

#include "model/generali.h"
#include "platform/BusyCursor.h"
#include "platform/Profile.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMdiArea>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QSet>
#include <QtTest/QTest>

#include <functional>

#include <gtest/gtest.h>

namespace {

using namespace mainframe_test;

TEST_F(MainFrameTest, SliderAndAddressBoxReachTheBoards)
{
  FakeChild a(*frame), b(*frame);
  frame->SetActiveChild(a.id);
  emit frame->Slider()->visLevelChanged(CExtStatusBarSliderCtrl::kThumbPosition, 2);
  EXPECT_EQ(a.Count(Call::LevelChanged), 1);
  EXPECT_EQ(b.Count(Call::LevelChanged), 1);
  frame->ForwardToolbarValue(12);
  EXPECT_EQ(a.address, 12);
  EXPECT_EQ(b.address, 1);
  EXPECT_EQ(frame->Toolbar()->Address(), 12);
  // The active board window changes with the activation order.
  frame->SetActiveChild(b.id);
  EXPECT_EQ(frame->GetChildren().front(), b.id);
  EXPECT_EQ(frame->Toolbar()->Address(), 1);
}

TEST_F(MainFrameTest, SliderPostsEachLevelToTheBoards)
{
  FakeChild a(*frame);
  CExtStatusBarSliderCtrl *slider = frame->Slider();
  slider->setValue(0);
  frame->GetOptions().VisLevel.Set(0);
  slider->resize(120, 24);
  const QRect c = slider->ChannelRect();
  auto at = [&](double f) { return QPoint(c.left() + int(f * (c.width() - 1)), c.center().y()); };
  QTest::mousePress(slider, Qt::LeftButton, {}, at(0.05));
  QTest::mouseMove(slider, at(0.5));
  QTest::mouseRelease(slider, Qt::LeftButton, {}, at(0.95));
  EXPECT_TRUE(a.levels.empty()); // nothing reached the board from inside the mouse handlers
  QCoreApplication::processEvents();
  EXPECT_EQ(a.levels, (std::vector<int>{1, 2}));
}

TEST_F(MainFrameTest, TabStripShowsImagesAtFirstAndClaimsItsBand)
{
  frame->GetOptions().TabsImages.Set(0);
  frame->GetOptions().TabsOnTop.Set(1);
  frame->GetOptions().HideTabsLess2Views.Set(0);
  auto remade = std::make_unique<CMainFrame>(false);
  remade->resize(800, 600);
  remade->show();
  EXPECT_TRUE(remade->Tabs()->HasImages()); // at creation, whatever the setting
  remade->ApplyTimerAndTabs();
  EXPECT_FALSE(remade->Tabs()->HasImages()); // a later change follows it
  auto doc = LoadExampleDoc();
  CChildFrame *child = remade->AddChildFrame(doc.get());
  QCoreApplication::processEvents();
  // Each state has one icon: a new one at every status report would add a
  // pixmap to Qt's cache at every repaint of the strip.
  IConnHooks &hooks = *child;
  hooks.SetStateIcon(StateIcon::OkRun);
  const qint64 okRun = child->windowIcon().cacheKey();
  hooks.SetStateIcon(StateIcon::Error);
  EXPECT_NE(child->windowIcon().cacheKey(), okRun);
  hooks.SetStateIcon(StateIcon::OkRun);
  EXPECT_EQ(child->windowIcon().cacheKey(), okRun);
  CMDITabs *tabs = remade->Tabs();
  ASSERT_TRUE(tabs->isVisible());
  EXPECT_EQ(tabs->geometry().top(), 0);
  EXPECT_EQ(tabs->height(), 26 + 2);
  EXPECT_EQ(remade->MdiArea()->geometry().top(), 26); // 2 pixels under the strip
  EXPECT_EQ(remade->MdiArea()->geometry().bottom(), remade->centralWidget()->height() - 1);
  remade->CloseAllChildren();
}

TEST_F(MainFrameTest, ClosingTheFrameTakesEveryBoardOffline)
{
  FakeChild a(*frame), b(*frame);
  a.bits = b.bits = 8;
  frame->close();
  EXPECT_EQ(a.Count(Call::GoOffline), 1);
  EXPECT_EQ(b.Count(Call::GoOffline), 1);
}

TEST_F(MainFrameTest, PlacementIsClampedOntoTheScreen)
{
  EXPECT_EQ(CMainFrame::ClampPlacement(QRect(-50, -20, 5000, 4000), 1024, 768), QRect(0, 0, 1024, 768));
  EXPECT_EQ(CMainFrame::ClampPlacement(QRect(100, 100, 120, 110), 1024, 768), QRect(100, 100, 441, 356));
  // Pushed past the far side: back on the screen, a third wide at least.
  EXPECT_EQ(CMainFrame::ClampPlacement(QRect(1000, 700, 1010, 710), 1024, 768), QRect(683, 512, 1024, 768));
  // A stored record is used once read back; one of the wrong size is ignored.
  frame->setGeometry(40, 50, 600, 400);
  frame->SavePlacement();
  auto again = std::make_unique<CMainFrame>(false);
  EXPECT_EQ(again->geometry().topLeft(), QPoint(40, 50));
  again.reset();
  Profile::Instance().WriteProfileString(QStringLiteral("2.1\\Init"), QStringLiteral("MainWindowPos"),
                                         QStringLiteral("2c000000"));
  auto fresh = std::make_unique<CMainFrame>(false);
  EXPECT_EQ(fresh->geometry().topLeft(), QPoint(0, 0));
}

TEST_F(MainFrameTest, LanguageStartsEnglishAndSwitchesOnlyWithoutBoards)
{
  frame->GetOptions().Language.Set(7);
  frame->InitLanguage();
  EXPECT_EQ(frame->GetOptions().Language.Get(), 1);
  bool checked = false;
  EXPECT_TRUE(frame->IsCommandEnabled(Cmd::English, &checked));
  EXPECT_TRUE(checked);
  QAction *before = frame->Action(Cmd::ReadAll);
  frame->OnLanguage(Cmd::Italian);
  EXPECT_EQ(frame->GetOptions().Language.Get(), 2);
  EXPECT_NE(frame->Action(Cmd::ReadAll), before); // menus rebuilt from the table
  EXPECT_NE(frame->GetWinCmdDialog(), nullptr);
  if (StringTable::Instance().CurrentLanguage() == StringTable::Language::Italian) {
    EXPECT_EQ(frame->menuBar()->actions().at(1)->text(), QStringLiteral("&Scheda"));
  }
  frame->OnLanguage(Cmd::English);
  EXPECT_EQ(frame->GetOptions().Language.Get(), 1);
  EXPECT_EQ(frame->menuBar()->actions().at(1)->text(), QStringLiteral("&Board"));
  EXPECT_EQ(frame->Action(Cmd::Undo)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
  FakeChild open(*frame);
  EXPECT_FALSE(frame->IsCommandEnabled(Cmd::Italian));
}

TEST_F(MainFrameTest, BoardWindowRegistersQueuesGoOfflineOnCloseAndClosesItsDocument)
{
  auto doc = LoadExampleDoc();
  // The closer destroys the document, as the application's does.
  bool closed = false;
  frame->SetDocumentCloser([&](CQelDoc *d) {
    closed = d == doc.get();
    doc.reset();
  });
  CChildFrame *child = frame->AddChildFrame(doc.get());
  const WindowId id = child->GetAnswerWindowId();
  EXPECT_EQ(frame->GetActiveChild(), id);
  EXPECT_EQ(frame->TestpointQuery(), static_cast<int>(doc->GetTestpoints()));
  EXPECT_EQ(doc->GetAnswerWindow(), child);
  EXPECT_EQ(frame->GetActiveDocument(), doc.get());
  EXPECT_TRUE(frame->IsCommandEnabled(Cmd::InitLanguage) || !frame->IsCommandEnabled(Cmd::ReadAll));

  child->RequestGoOnline();
  EXPECT_EQ(sink.queue.back()->message, REQ_GO_ONLINE);
  AnswerGoOnline(*frame, sink, *doc);
  EXPECT_TRUE(doc->IsOnline());
  EXPECT_TRUE(frame->IsCommandEnabled(Cmd::ReadAll));
  EXPECT_EQ(frame->MessageText(), QStringLiteral("Online"));
  sink.Clear();
  doc->SetModifiedFlag(false);
  child->close();
  ASSERT_EQ(sink.queue.size(), 1u);
  EXPECT_EQ(sink.queue[0]->message, REQ_GO_OFFLINE);
  ASSERT_TRUE(WaitFor([&] { return closed; }, 5000));
  EXPECT_TRUE(frame->GetChildren().empty());
  EXPECT_EQ(frame->GetActiveChild(), kNoWindow);
}

TEST_F(MainFrameTest, ClosingAChangedDocumentGoesOfflineThenAsks)
{
  auto doc = LoadExampleDoc();
  CChildFrame *child = frame->AddChildFrame(doc.get());
  child->RequestGoOnline();
  AnswerGoOnline(*frame, sink, *doc);
  ASSERT_TRUE(doc->IsOnline());
  sink.Clear();
  doc->SetModifiedFlag(true);
  env.prompter().AnswerMessage(IDCANCEL);
  EXPECT_FALSE(child->close());
  EXPECT_EQ(env.prompter().asked.back().text, LoadStrFormat(IDS_ASK_SAVE_CHANGES, doc->GetTitle()));
  // Cancel keeps the window, offline.
  EXPECT_EQ(frame->GetChildren().size(), 1u);
  ASSERT_EQ(sink.queue.size(), 1u);
  EXPECT_EQ(sink.queue[0]->message, REQ_GO_OFFLINE);
  EXPECT_FALSE(doc->IsOnline());
  env.prompter().AnswerMessage(IDNO);
  EXPECT_TRUE(child->close());
}

TEST_F(MainFrameTest, ClosingTheMainWindowAsksEveryDocumentBeforeAnyCloses)
{
  auto a = LoadExampleDoc();
  auto b = LoadExampleDoc();
  frame->AddChildFrame(a.get());
  frame->AddChildFrame(b.get());
  a->SetModifiedFlag(true);
  b->SetModifiedFlag(true);
  const std::size_t before = env.prompter().asked.size();
  env.prompter().AnswerMessage(IDNO);
  env.prompter().AnswerMessage(IDCANCEL);
  EXPECT_FALSE(frame->close());
  EXPECT_EQ(env.prompter().asked.size(), before + 2);
  EXPECT_EQ(frame->MdiArea()->subWindowList().size(), 2); // Cancel at the second: none closes
  EXPECT_EQ(frame->GetChildren().size(), 2u);
  // Asked again, each document once, then every window closes.
  env.prompter().AnswerMessage(IDNO);
  env.prompter().AnswerMessage(IDNO);
  EXPECT_TRUE(frame->close());
  EXPECT_EQ(env.prompter().asked.size(), before + 4);
  EXPECT_TRUE(frame->MdiArea()->subWindowList().isEmpty());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Quit asks about every running write all before the save questions and
// stops none until each answer is Yes; then they stop without a box.
TEST_F(MainFrameTest, QuitAsksAboutEveryWriteAllBeforeStoppingAny)
{
  auto a = LoadExampleDoc();
  auto b = LoadExampleDoc();
  std::vector<CChildFrame *> children;
  for (CQelDoc *doc : {a.get(), b.get()}) {
    children.push_back(frame->AddChildFrame(doc));
    children.back()->RequestGoOnline();
    AnswerGoOnline(*frame, sink, *doc);
    sink.Clear();
    doc->SetModifiedFlag(true);
  }
  for (CChildFrame *child : children)
    child->WriteAllParameters();
  const std::size_t blocks = sink.queue.size() / 2;
  const auto &asked = env.prompter().asked;
  const std::size_t before = asked.size();
  env.prompter().AnswerMessage(IDYES);
  env.prompter().AnswerMessage(IDNO);
  EXPECT_FALSE(frame->close());
  ASSERT_EQ(asked.size(), before + 2);
  EXPECT_EQ(asked[before].text, LoadStrFormat(IDS_ASK_STOP_WRITE_ALL, a->GetTitle(), 1, 0, int(blocks)));
  EXPECT_EQ(sink.queue.size(), 2 * blocks);
  EXPECT_TRUE(a->IsOnline() && b->IsOnline());

  // Yes to both, then the save questions; no box comes.
  for (int answer : {IDYES, IDYES, IDNO, IDNO})
    env.prompter().AnswerMessage(answer);
  EXPECT_TRUE(frame->close());
  ASSERT_EQ(asked.size(), before + 6);
  EXPECT_EQ(asked[before + 4].text, LoadStrFormat(IDS_ASK_SAVE_CHANGES, a->GetTitle()));
  EXPECT_TRUE(sink.OfKind(REQ_WRITE_BLOCK).empty());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(MainFrameTest, SaveShowsTheBusyCursorOnlyWhileWriting)
{
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("saved.vtx"));
  auto doc = LoadExampleDoc();
  // (busy, the file exists, questions asked so far) at each change of cursor.
  std::vector<std::tuple<bool, bool, std::size_t>> calls;
  vtx::SetBusyCursorHook(
      [&](bool busy) { calls.emplace_back(busy, QFileInfo::exists(path), env.prompter().asked.size()); });
  const std::size_t before = env.prompter().asked.size();
  env.prompter().AnswerFile(path);
  const bool saved = doc->DoSave(QString(), true);
  vtx::SetBusyCursorHook({});
  EXPECT_TRUE(saved);
  // On once the name is chosen, before the file exists; off once it is written.
  EXPECT_EQ(calls,
            (std::vector<std::tuple<bool, bool, std::size_t>>{{true, false, before + 1}, {false, true, before + 1}}));
}

TEST_F(MainFrameTest, ABoardWindowDeletedWithoutACloseKeepsItsPaneSizes)
{
  auto doc = LoadExampleDoc();
  CChildFrame *child = frame->AddChildFrame(doc.get());
  child->GetSplitter()->TogglePane(1);
  frame->CloseAllChildren();
  SplitterLayout layout{0, 0, 0, 0, 0};
  frame->PaneLayout(PaneCode::Load, layout);
  EXPECT_EQ(layout.hiddenCol, 1); // the hidden column
}

TEST_F(MainFrameTest, FocusFromOutsideMakesTheBoardActiveAndShowsItsStatus)
{
  frame->show();
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  auto docA = LoadExampleDoc();
  auto docB = LoadExampleDoc();
  CChildFrame *a = frame->AddChildFrame(docA.get());
  CChildFrame *b = frame->AddChildFrame(docB.get());
  frame->MdiArea()->setActiveSubWindow(a);
  QWidget *paneA = a->GetPane(CChildFrame::ParList);
  QWidget *otherPaneA = a->GetPane(CChildFrame::VarList);
  for (QWidget *w : {paneA, otherPaneA})
    w->setFocusPolicy(Qt::StrongFocus);
  auto *outside = new QLineEdit(frame->statusBar());
  outside->show();
  outside->setFocus();
  ASSERT_TRUE(WaitFor([&] { return outside->hasFocus(); }, 2000));
  frame->SetActiveChild(b->GetAnswerWindowId());

  docA->SetStatusText(QStringLiteral("board A"));
  paneA->setFocus();
  ASSERT_TRUE(WaitFor([&] { return paneA->hasFocus(); }, 2000));
  EXPECT_EQ(frame->GetActiveChild(), a->GetAnswerWindowId());
  EXPECT_EQ(frame->MessageText(), QStringLiteral("board A"));
  // Moving inside the window refreshes nothing.
  docA->SetStatusText(QStringLiteral("not again"));
  otherPaneA->setFocus();
  ASSERT_TRUE(WaitFor([&] { return otherPaneA->hasFocus(); }, 2000));
  EXPECT_EQ(frame->MessageText(), QStringLiteral("board A"));
}

TEST_F(MainFrameTest, BoardMessageWindowTracesItsMessagesAndAnswers)
{
  static QStringList *s_log = nullptr;
  QStringList log;
  s_log = &log;
  QLoggingCategory::setFilterRules(QStringLiteral("velotrix.frame.debug=true"));
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) { s_log->append(text); });
  CWinCmdDiag *board = frame->GetWinCmdDialog();
  board->ShowMessage(QStringLiteral("question"), 450);
  board->ShowMessage(QStringLiteral("question"), 450);
  board->HideButton()->click();
  qInstallMessageHandler(previous);
  QLoggingCategory::setFilterRules(QString());
  EXPECT_EQ(log.filter(QStringLiteral("display msg")),
            (QStringList{QStringLiteral("display msg: diverso"), QStringLiteral("display msg: uguale")}));
  EXPECT_TRUE(log.contains(QStringLiteral("hide current drive info")));
}

TEST_F(MainFrameTest, MainWindowWithABoardDocumentIsNotBlank)
{
  auto doc = LoadExampleDoc(QStringLiteral("demo-full.vtx"));
  ASSERT_TRUE(doc->AreDescriptionsLoaded());
  frame->resize(1280, 800);
  frame->show();
  frame->AddChildFrame(doc.get());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
  const QImage image = frame->grab().toImage();
  ASSERT_FALSE(image.isNull());
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); y += 7)
    for (int x = 0; x < image.width(); x += 7)
      colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 3);
  EXPECT_EQ(frame->windowTitle().isEmpty(), false);
}

TEST_F(MainFrameTest, LockPanesShowTheirTextOnlyWhileTheLockIsOn)
{
  QLabel *caps = frame->Pane(CLockPane::kCapsId);
  QLabel *num = frame->Pane(CLockPane::kNumId);
  ASSERT_NE(caps, nullptr);
  ASSERT_NE(num, nullptr);
  // Offscreen nothing tells the state: both stay empty.
  EXPECT_EQ(CLockPane::ReadLocks(), 0u);
  EXPECT_TRUE(caps->text().isEmpty());
  unsigned locks = CLockPane::kCapsBit;
  CLockPane::SetLockReader([&locks] { return locks; });
  // A key event refreshes them, without the tick.
  frame->GetOptions().Start_Timer.Set(0);
  frame->ApplyTimerAndTabs();
  QTest::keyClick(frame.get(), Qt::Key_CapsLock);
  EXPECT_EQ(caps->text(), QStringLiteral("CAP"));
  EXPECT_TRUE(num->text().isEmpty());
  locks = CLockPane::kNumBit;
  QTest::keyClick(frame.get(), Qt::Key_NumLock);
  EXPECT_TRUE(caps->text().isEmpty());
  EXPECT_EQ(num->text(), QStringLiteral("NUM"));
  locks = CLockPane::kCapsBit | CLockPane::kNumBit;
  frame->SetLanguage(2);
  EXPECT_EQ(caps->text(), QStringLiteral("MAIUSC"));
  // A lock toggled while another program had the keyboard shows on return.
  locks = 0;
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(frame.get(), &activate);
  EXPECT_TRUE(caps->text().isEmpty());
  EXPECT_TRUE(num->text().isEmpty());
  CLockPane::SetLockReader({});
}

} // namespace

namespace {

TEST(QelApp, StartsWithTheNamedDocumentAndRemembersIt)
{
  TestEnvironment env;
  const QString path = ExamplePath(QStringLiteral("demo-small.vtx"));
  {
    CQelApp app;
    app.SetUniqueName(QString());
    ASSERT_TRUE(app.InitInstance({path}, false, false));
    CMainFrame *frame = app.GetMainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetChildren().size(), 1u);
    EXPECT_EQ(frame->MdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(app.RecentFileMenuTexts(), QStringList{QFileInfo(path).absoluteFilePath()});
    EXPECT_EQ(MainWindowLink::Get(), frame);
    // Opening it again brings the same window forward.
    EXPECT_NE(app.OpenDocumentFile(path), nullptr);
    EXPECT_EQ(frame->MdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(frame->GetOptions().Language.Get(), 1);
  }
  EXPECT_EQ(MainWindowLink::Get(), nullptr);
  // The list survives the run; a missing file ends the start-up.
  CQelApp second;
  second.SetUniqueName(QString());
  EXPECT_FALSE(second.InitInstance({QStringLiteral("/nonexistent/board.vtx")}, false, false));
  ASSERT_NE(second.GetRecentFileList(), nullptr);
  EXPECT_EQ(second.GetRecentFileList()->At(0), QFileInfo(path).absoluteFilePath());
}

TEST(QelApp, StartsWithoutADocument)
{
  TestEnvironment env;
  CQelApp app;
  app.SetUniqueName(QString());
  ASSERT_TRUE(app.InitInstance({}, false, false));
  EXPECT_TRUE(app.GetMainFrame()->GetChildren().empty());
  // New: a board window with an empty document titled "New".
  app.GetMainFrame()->Action(Cmd::FileNew)->trigger();
  ASSERT_EQ(app.GetMainFrame()->GetChildren().size(), 1u);
  CQelDoc *doc = app.GetMainFrame()->GetActiveDocument();
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->GetTitle(), QStringLiteral("New"));
  EXPECT_TRUE(doc->GetPathName().isEmpty());
  // A document handed over by a second copy opens under the busy cursor.
  std::vector<std::pair<bool, std::size_t>> busy; // (on, board windows then)
  vtx::SetBusyCursorHook([&](bool on) { busy.emplace_back(on, app.GetMainFrame()->GetChildren().size()); });
  emit app.documentHandedOver(ExamplePath(QStringLiteral("demo-small.vtx")));
  vtx::SetBusyCursorHook({});
  EXPECT_EQ(busy, (std::vector<std::pair<bool, std::size_t>>{{true, 1}, {false, 2}}));
  EXPECT_EQ(CQelApp::FileFromArguments({QStringLiteral("-style"), QStringLiteral("a.vtx")}), QStringLiteral("a.vtx"));

  // A file refused for its kind or size says why in one box and opens no
  // window; a missing file stays silent, a bad header has only its own box.
  QTemporaryDir dir;
  const QString badHeader = dir.filePath(QStringLiteral("bad.vtx"));
  QFile bad(badHeader);
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write("#Norv tembrano v9\r\n") > 0);
  bad.close();
  const QStringList hostile = MakeHostileFiles(dir.path());
  const auto boxesOf = [&](const std::function<void()> &open) {
    const std::size_t first = env.prompter().asked.size();
    open();
    QStringList texts;
    for (std::size_t i = first; i < env.prompter().asked.size(); ++i)
      texts << env.prompter().asked[i].text;
    return texts;
  };
  CMainFrame &frame = *app.GetMainFrame();
  for (const QString &path : hostile) {
    const QStringList boxes = boxesOf([&] { frame.OnFileOpen(path); });
    ASSERT_EQ(boxes.size(), 1) << qPrintable(path);
    EXPECT_TRUE(boxes[0].startsWith(LoadStrFormat(IDS_OPEN_REFUSED, path, QString()))) << qPrintable(boxes[0]);
    EXPECT_TRUE(boxes[0].endsWith(QStringLiteral("not a regular file")) ||
                boxes[0].endsWith(QStringLiteral("larger than the input bound")))
        << qPrintable(boxes[0]);
  }
  EXPECT_EQ(boxesOf([&] { emit app.documentHandedOver(hostile[0]); }).size(), 1);
  EXPECT_EQ(boxesOf([&] { frame.OnFileOpen(dir.filePath(QStringLiteral("missing.vtx"))); }), QStringList());
  EXPECT_EQ(boxesOf([&] { frame.OnFileOpen(badHeader); }), QStringList{LoadStr(IDS_BAD_HEADER)});
  EXPECT_EQ(frame.GetChildren().size(), 2u);
}

} // namespace
