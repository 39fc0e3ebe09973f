#include "MainFrameFixture.h"

#include "frame/ChildFrm.h"
#include "frame/PrefsPages.h"
#include "frame/StatusBarCtrls.h"

#include "views/ViewState.h"

#include "model/generali.h"
#include "model/DocViewLinks.h"
#include "modbus/SerCodes.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"

namespace {

using namespace mainframe_test;

class MainAnswersTest : public MainFrameTest {};

TEST_F(MainAnswersTest, AnswersGoToTheirWindowAndUnknownOnesAreDropped)
{
  FakeChild a(*frame), b(*frame);
  a.bits = b.bits = 8;
  frame->RouteAnswer(*Packet(b.id, REQ_READ_BLOCK));
  frame->RouteAnswer(*Packet(a.id, REQ_READ_VARS));
  frame->RouteAnswer(*Packet(4242, REQ_READ_VARS));
  frame->RouteAnswer(*Packet(WindowRegistry::Instance().IdOf(frame.get()), REQ_IDLE));
  EXPECT_EQ(b.answers, (std::vector<int>{REQ_READ_BLOCK}));
  EXPECT_EQ(a.answers, (std::vector<int>{REQ_READ_VARS}));
  // The frame's own kinds stay with it.
  frame->RouteAnswer(*Packet(a.id, REQ_RESET_STATISTICS));
  frame->RouteAnswer(*Packet(a.id, 14));
  EXPECT_EQ(a.answers.size(), 1u);
}

TEST_F(MainAnswersTest, AFailedAnswerTakesItsBoardOfflineWithTheText)
{
  FakeChild other(*frame), active(*frame);
  frame->SetActiveChild(active.id);
  active.bits = other.bits = 8;
  auto failed = Packet(active.id, REQ_READ_BLOCK, kSerErrTimeout);
  failed->strVersion = QStringLiteral("No answer from the board");
  frame->RouteAnswer(*failed);
  EXPECT_EQ(active.bits, 0);
  EXPECT_TRUE(active.answers.empty());
  EXPECT_EQ(active.status, QStringLiteral("No answer from the board"));
  EXPECT_EQ(frame->MessageText(), QStringLiteral("No answer from the board"));
  // Another board's failure does not write the status bar; error 12 shows nothing.
  auto quiet = Packet(other.id, REQ_READ_VARS, 12);
  quiet->strVersion = QStringLiteral("hidden");
  frame->RouteAnswer(*quiet);
  EXPECT_EQ(other.bits, 0);
  EXPECT_TRUE(other.status.isEmpty());
  EXPECT_EQ(frame->MessageText(), QStringLiteral("No answer from the board"));
  // Failed answers of the frame's idle request and of a statistics page reach
  // no board window: nothing goes offline, the status bar keeps its text.
  struct Page : QObject, IBoardWindow {
    std::vector<int> codes;
    int SendCode(int code) override
    {
      codes.push_back(code);
      return 8;
    }
    int GoOffline() override
    {
      codes.push_back(-1);
      return 8;
    }
    void ShowError(const QString &) override { codes.push_back(-2); }
  } page;
  const WindowId pageId = WindowRegistry::Instance().Register(&page);
  for (auto [to, kind] :
       {std::pair{WindowRegistry::Instance().IdOf(frame.get()), REQ_IDLE}, std::pair{pageId, REQ_STATISTICS}}) {
    auto p = Packet(to, kind, kSerErrTimeout);
    p->strVersion = QStringLiteral("elsewhere");
    frame->RouteAnswer(*p);
  }
  EXPECT_TRUE(page.codes.empty());
  EXPECT_EQ(frame->MessageText(), QStringLiteral("No answer from the board"));
  WindowRegistry::Instance().Unregister(pageId);
}

TEST_F(MainAnswersTest, VersionCheckOfTheGoOnlineAnswer)
{
  FakeChild child(*frame);
  frame->SetActiveChild(child.id);
  child.bits = 4;
  // A document without a description takes any board.
  frame->RouteAnswer(*Packet(child.id, REQ_GO_ONLINE));
  EXPECT_EQ(child.answers.size(), 1u);
  // A line feed in place of a blank is the same version.
  child.version = QStringLiteral("AB 1.0 rev");
  auto same = Packet(child.id, REQ_GO_ONLINE);
  same->strVersion = QStringLiteral("AB 1.0\nrev");
  frame->RouteAnswer(*same);
  EXPECT_EQ(child.answers.size(), 2u);
  EXPECT_TRUE(env.prompter().asked.empty());
  // Another board: the warning, offline, and the refusal text.
  auto other = Packet(child.id, REQ_GO_ONLINE);
  other->strVersion = QStringLiteral("XY 2.0");
  frame->RouteAnswer(*other);
  EXPECT_EQ(child.answers.size(), 2u);
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(env.prompter().asked[0].text, LoadStr(IDS_INCOMPATIBILITY_WARNING) + LoadStr(IDS_OFFLINE_VERSION) +
                                              QStringLiteral("AB 1.0 rev") + LoadStr(IDS_ONLINE_VERSION) +
                                              QStringLiteral("XY 2.0"));
  EXPECT_EQ(env.prompter().asked[0].caption, LoadStr(IDS_GENERATOR));
  EXPECT_EQ(child.bits, 0);
  EXPECT_EQ(other->error, 99);
  EXPECT_EQ(other->strVersion, QStringLiteral("Wrong online version: XY 2.0"));
  EXPECT_EQ(child.status, QStringLiteral("Wrong online version: XY 2.0"));
  EXPECT_EQ(frame->MessageText(), QStringLiteral("Wrong online version: XY 2.0"));
  // A board gone offline meanwhile is refused without a box and keeps its text.
  auto late = Packet(child.id, REQ_GO_ONLINE);
  late->strVersion = QStringLiteral("ZZ 3.0");
  frame->RouteAnswer(*late);
  EXPECT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(child.answers.size(), 2u);
  EXPECT_EQ(child.status, QStringLiteral("Wrong online version: XY 2.0"));
  EXPECT_EQ(frame->MessageText(), QStringLiteral("Wrong online version: XY 2.0"));
}

TEST_F(MainAnswersTest, ProgressCodesBeepAndStatistics)
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
  frame->OnServerAnswer(kSerProgressDone, 0);
  EXPECT_EQ(frame->Progress()->value(), 0);
  frame->GetOptions().Beep_on_error.Set(0);
  frame->OnServerAnswer(kSerBeep, 0);
  EXPECT_EQ(TestEnvironment::beeps(), 1);

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
}

// The trace-buffer manager as the frame sees it.
class FakeTraceManager : public ITraceManager {
public:
  QWidget *Window() override { return &window; }
  void SetAddress(WindowId b, int a) override
  {
    board = b;
    address = a;
    state = 1;
    mode = 0;
  }
  WindowId GetBoardWindow() const override { return board; }
  int GetState() const override { return state; }
  void SetState(int s) override { state = s; }
  int GetMode() const override { return mode; }
  void SetMode(int m) override { mode = m; }
  int GetBufferCount() const override { return buffers; }
  void ShowControls(bool) override {}
  void UpdateFields() override {}
  void SetSamplingTime(float v) override { samplingTime = v; }
  void SetBufLength(std::int16_t) override {}
  void SetDiagnTs(std::int16_t, std::int16_t) override {}
  void SetTrigLevPos(std::int16_t, std::int16_t) override {}
  void SetTrigLevNeg(std::int16_t, std::int16_t) override {}
  void SetTrigDelay(std::int16_t, std::int16_t) override {}
  void AddBufferWindow(const QString &h, const std::array<QString, 6> &, const std::array<double, 6> &s,
                       const CRequestPacket &) override
  {
    header = h;
    scales = s;
    ++buffers;
  }

  QWidget window;
  WindowId board = kNoWindow;
  int address = 0, state = 0, mode = 0, buffers = 0;
  float samplingTime = -1;
  QString header;
  std::array<double, 6> scales{};
};

TEST_F(MainAnswersTest, TraceBufferAnswersAndHousekeeping)
{
  FakeTraceManager *manager = nullptr;
  CMainFrame::SetTraceManagerFactory([&](CMainFrame &) {
    auto m = std::make_unique<FakeTraceManager>();
    manager = m.get();
    return m;
  });
  auto withManager = std::make_unique<CMainFrame>(false);
  CMainFrame::SetTraceManagerFactory({});
  ASSERT_NE(manager, nullptr);
  FakeChild a(*withManager), b(*withManager);
  a.bits = 8;
  withManager->SetActiveChild(a.id);
  withManager->SelectChildByAddress(1);
  EXPECT_EQ(manager->board, a.id); // the first with that address in activation order
  manager->SetAddress(a.id, 1);

  withManager->RouteAnswer(*Packet(a.id, ANS_READ_TRACE));
  EXPECT_EQ(a.Count(Call::ClearBufferRead), 1);
  EXPECT_EQ(a.Count(Call::GetBufferName), 1);
  for (int t = 0; t < 6; ++t) {
    EXPECT_EQ(a.Count(Call::TrackScaleFirst + t), 1);
    EXPECT_EQ(a.Count(Call::TrackLabelFirst + t), 1);
  }
  EXPECT_EQ(manager->buffers, 1);
  EXPECT_EQ(manager->scales[5], 1.0);
  EXPECT_EQ(manager->state, 1);
  EXPECT_TRUE(a.answers.empty());

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

// Answers left by a worker that tests play themselves.
class FakeAnswers : public IAnswerSource {
public:
  int GetAnsPktListSize() const override { return static_cast<int>(waiting.size()); }
  CRequestPacket *GetAnsware() override
  {
    if (waiting.empty())
      return nullptr;
    CRequestPacket *first = waiting.front().release();
    waiting.erase(waiting.begin());
    return first;
  }
  std::vector<std::unique_ptr<CRequestPacket>> waiting;
};

TEST_F(MainAnswersTest, EveryWaitingAnswerIsDeliveredInOrderWhateverTheNote)
{
  FakeChild child(*frame);
  FakeAnswers answers;
  frame->SetAnswerSource(&answers);
  for (uint16_t kind : {REQ_READ_BLOCK, REQ_READ_VARS, REQ_WRITE_BLOCK})
    answers.waiting.push_back(Packet(child.id, kind));
  frame->OnServerAnswer(kSerBeep, 0);
  EXPECT_EQ(child.answers, (std::vector<int>{REQ_READ_BLOCK, REQ_READ_VARS, REQ_WRITE_BLOCK}));
  EXPECT_TRUE(answers.waiting.empty());
  frame->OnServerAnswer(kSerBeep, 0); // a note that finds nothing waiting
  EXPECT_EQ(child.answers.size(), 3u);
  frame->SetAnswerSource(nullptr);
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
  auto online = AnswerOf(*sink.OfKind(REQ_GO_ONLINE).at(0));
  online->strVersion = doc->GetVersion();
  frame->RouteAnswer(*online);
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
