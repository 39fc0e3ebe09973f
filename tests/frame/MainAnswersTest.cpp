#include "MainFrameFixture.h"

#include "frame/ChildFrm.h"
#include "frame/PrefsPages.h"
#include "frame/StatusBarCtrls.h"

#include "views/ViewState.h"

#include "model/PacketFactory.h"
#include "model/generali.h"
#include "model/DocViewLinks.h"
#include "modbus/SerCodes.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"

namespace {

using namespace mainframe_test;

class MainAnswersTest : public MainFrameTest {
protected:
  // A main frame of its own with a recording trace manager (set in *manager).
  static std::unique_ptr<CMainFrame> FrameWithManager(FakeTraceManager **manager)
  {
    CMainFrame::SetTraceManagerFactory([manager](CMainFrame &) {
      auto m = std::make_unique<FakeTraceManager>();
      m->window = std::make_unique<QWidget>();
      *manager = m.get();
      return m;
    });
    auto frame = std::make_unique<CMainFrame>(false);
    CMainFrame::SetTraceManagerFactory({});
    return frame;
  }
};

// The frame shows what the router reports: the progress bar, the beep the
// user asked for, the message pane of the active board.
TEST_F(MainAnswersTest, ProgressBarMessagePaneAndStatistics)
{
  frame->OnServerAnswer(kSerProgressStart, 40);
  EXPECT_EQ(frame->Progress()->maximum(), 40);
  frame->OnServerAnswer(kSerProgressStep, 10);
  EXPECT_EQ(frame->Progress()->value(), 10);
  frame->OnServerAnswer(kSerProgressStep, 99);
  EXPECT_EQ(frame->Progress()->value(), 40);
  TestEnvironment::resetBeeps();
  frame->GetOptions().Beep_on_error.Set(1);
  frame->OnServerAnswer(kSerBeep, 0);
  EXPECT_EQ(TestEnvironment::beeps(), 1);
  EXPECT_EQ(frame->Progress()->value(), 40); // untouched by 305..310
  frame->GetOptions().Beep_on_error.Set(0);
  frame->OnServerAnswer(kSerBeep, 0);
  EXPECT_EQ(TestEnvironment::beeps(), 1);
  frame->OnServerAnswer(kSerProgressDone, 0);
  EXPECT_EQ(frame->Progress()->value(), 0);
  frame->OnServerAnswer(kSerProgressStart, 40);
  frame->OnServerAnswer(kSerProgressStep, 10);

  FakeChild active(*frame);
  frame->SetActiveChild(active.id);
  active.bits = 8;
  frame->RouteAnswer(*Packet(active.id, REQ_READ_BLOCK, kSerErrTimeout, QStringLiteral("No answer from the board")));
  EXPECT_EQ(frame->MessageText(), QStringLiteral("No answer from the board"));
  EXPECT_EQ(frame->Progress()->value(), 0);
  EXPECT_EQ(frame->Progress()->maximum(), 1);

  CSerStatRecord record;
  record.hWnd = 4711;
  sink.active = 1;
  frame->RequestStatistics(record.hWnd);
  frame->ResetStatistics();
  ASSERT_EQ(sink.queue.size(), 2u);
  EXPECT_EQ(sink.queue[0]->message, REQ_RESET_STATISTICS);
  EXPECT_EQ(sink.queue[1]->message, REQ_STATISTICS);
  EXPECT_EQ(sink.queue[1]->hWnd, 4711u);
  EXPECT_EQ(sink.queue[1]->stat_mode, 10);
  // An answer for a page that is gone is dropped.
  frame->RouteAnswer(*sink.queue[1]);

  // The frame's own packets that cannot be made: the statistics request
  // says so, the reset and the idle request are dropped quietly.
  sink.queue.clear();
  PacketFactory::SetFailure([](std::uint16_t) { return true; });
  frame->RequestStatistics(4711);
  frame->ResetStatistics();
  frame->OnSchedulerTick();
  PacketFactory::SetFailure({});
  EXPECT_TRUE(sink.queue.empty());
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(env.prompter().asked[0].text, QStringLiteral("Not enought memory!"));
}

TEST_F(MainAnswersTest, TraceBufferAnswersAndHousekeeping)
{
  FakeTraceManager *manager = nullptr;
  auto withManager = FrameWithManager(&manager);
  ASSERT_NE(manager, nullptr);
  FakeChild a(*withManager), b(*withManager);
  a.bits = 8;
  withManager->SetActiveChild(a.id);
  withManager->SelectChildByAddress(1);
  EXPECT_EQ(manager->board, a.id); // the first with that address in activation order
  manager->SetAddress(a.id, 1);
  manager->download = a.id;

  withManager->RouteAnswer(*Packet(a.id, ANS_READ_TRACE));
  EXPECT_EQ(manager->buffers, 1);
  EXPECT_EQ(manager->state, 1);

  // Ten buffers keep the automatic mode, the eleventh stops it once.
  manager->mode = 1;
  manager->buffers = 10;
  withManager->OnSchedulerTick();
  EXPECT_EQ(manager->mode, 1);
  manager->buffers = 11;
  withManager->OnSchedulerTick();
  withManager->OnSchedulerTick();
  EXPECT_EQ(manager->mode, 0);
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(env.prompter().asked[0].text, LoadStr(IDS_TOO_MANY_BUFFERS));
  // Its board offline: the manager goes offline too.
  a.bits = 0;
  withManager->OnSchedulerTick();
  EXPECT_EQ(manager->state, 0);
  withManager->RefreshGenMemBuff(a.id);
  EXPECT_EQ(manager->mode, 0);

  // The active window goes: the manager follows the next one.
  b.address = 9;
  {
    FakeChild c(*withManager);
    withManager->SetActiveChild(c.id);
    manager->SetAddress(c.id, 1);
    withManager->SetActiveChild(b.id);
    withManager->SetActiveChild(c.id);
  }
  EXPECT_EQ(manager->board, b.id);
  EXPECT_EQ(manager->address, 9);
}

// Read buffer shows the manager on the active board, the address box puts it
// on another one: each time it takes that board's trace settings at once, and
// later ones from that board's status reports though it is not the active one.
TEST_F(MainAnswersTest, TheManagerTakesTheSettingsOfTheBoardItIsPutOn)
{
  FakeTraceManager *manager = nullptr;
  auto withManager = FrameWithManager(&manager);
  ASSERT_NE(manager, nullptr);
  FakeChild a(*withManager), b(*withManager);
  b.address = 9;
  a.traceItems[CQelDocContainer::TRACE_SAMPLING_TIME] = {10, 0.25f};
  b.traceItems[CQelDocContainer::TRACE_SAMPLING_TIME] = {10, 0.5f};
  withManager->SetActiveChild(a.id);
  withManager->OnReadBuffer();
  EXPECT_EQ(manager->board, a.id);
  EXPECT_EQ(manager->samplingTime, 0.25f);
  withManager->SelectChildByAddress(9);
  EXPECT_EQ(manager->board, b.id);
  EXPECT_EQ(manager->samplingTime, 0.5f);
  // Its board, though not the active one, reports a sampling time read later.
  CMainFrame::StatusValues later;
  later.items = b.traceItems;
  later.items[CQelDocContainer::TRACE_SAMPLING_TIME].second = 0.125f;
  withManager->UpdateStatus(b.id, later);
  EXPECT_EQ(manager->samplingTime, 0.125f);
  EXPECT_EQ(manager->board, b.id);
}

TEST_F(MainAnswersTest, WidthAndPaneCodesClampAndCheckTheirIndexes)
{
  const int widths[11] = {5, 5000, 100, 100, 100, 100, 100, 100, 100, 100, 100};
  views::StoreWidths(views::WidthList::Par, widths);
  EXPECT_EQ(frame->GetOptions().ParWidth.At(0), 10);
  EXPECT_EQ(frame->GetOptions().ParWidth.At(1), 1000);
  int back[11] = {};
  views::ReadWidths(views::WidthList::Par, back);
  EXPECT_EQ(back[0], 10);
  SplitterLayout layout{-1, 250, -1, 300, 2};
  frame->PaneLayout(PaneCode::Store, layout);
  SplitterLayout loaded{0, 0, 0, 0, 2};
  frame->PaneLayout(PaneCode::Load, loaded);
  EXPECT_EQ(loaded.size0, 250);
  EXPECT_EQ(loaded.size1, 300);
  SplitterLayout bad{1, 2, 3, 4, 3};
  frame->PaneLayout(PaneCode::Load, bad);
  EXPECT_EQ(bad.hiddenCol, 1); // number 3 names no stored layout
  EXPECT_EQ(frame->TestpointQuery(), frame->GetOptions().TP_Autofilling.Get() == 0);
}

// A read all's blocks that arrive together refill the parameter list once,
// when all of them are stored; blocks drained apart refill it each time.
TEST_F(MainAnswersTest, BlocksDrainedTogetherRefillTheListOnce)
{
  struct CountingList : QWidget, IDocParList {
    int FindRowByFirstColumn(const QString &) const override { return -1; }
    void RecolorAll() override {}
    void FillList() override { ++fills; }
    int fills = 0;
  };
  QPointer<CountingList> list;
  CChildFrame::SetPaneFactory(CChildFrame::ParList, [&](CQelDoc &, CChildFrame &) { return list = new CountingList; });
  auto doc = LoadExampleDoc(QStringLiteral("demo-full.vtx"));
  CChildFrame *child = frame->AddChildFrame(doc.get());
  CChildFrame::SetPaneFactory(CChildFrame::ParList, {});
  ASSERT_TRUE(list);
  child->RequestGoOnline();
  AnswerGoOnline(*frame, sink, *doc);
  child->OnReadAll();
  const auto blocks = sink.OfKind(REQ_READ_BLOCK);
  ASSERT_GE(blocks.size(), 3u);
  FakeAnswers answers;
  frame->SetAnswerSource(&answers);
  const auto answer = [&](const CRequestPacket *block) {
    answers.waiting.push_back(AnswerOf(*block, std::vector<uint16_t>(block->PktType.par.num_par, 7)));
  };
  const int before = list->fills;
  answer(blocks[0]);
  answer(blocks[1]);
  frame->OnServerAnswer(kSerBeep, 0);
  EXPECT_EQ(list->fills, before + 1);
  answer(blocks[2]);
  frame->OnServerAnswer(kSerBeep, 0);
  EXPECT_EQ(list->fills, before + 2);
  frame->SetAnswerSource(nullptr);
}

} // namespace
