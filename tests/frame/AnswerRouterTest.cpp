// Answer routing with a registry and a display of the test's own: no frame,
// no widget.
#include "MainFrameFixture.h"

#include "frame/AnswerRouter.h"

#include "model/generali.h"
#include "modbus/SerCodes.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"

#include <QApplication>

#include <map>
#include <utility>

namespace {

using namespace mainframe_test;

class FakeBoards : public IBoardRegistry {
public:
  const std::vector<WindowId> &GetChildren() const override { return children; }
  IBoardWindow *Child(WindowId id) const override { return windows.contains(id) ? windows.at(id) : nullptr; }
  WindowId GetActiveChild() const override { return active; }
  ITraceManager *GetTraceManager() const override { return trace; }
  // A board window, most recently activated first.
  void Add(FakeChild &board)
  {
    children.insert(children.begin(), board.id);
    windows[board.id] = &board;
  }

  std::vector<WindowId> children;
  std::map<WindowId, IBoardWindow *> windows; // boards and other windows
  WindowId active = kNoWindow;
  ITraceManager *trace = nullptr;
};

class AnswerRouterTest : public ::testing::Test {
protected:
  // Earlier tests of the same process may leave widgets; the router must add none.
  void SetUp() override { widgetsBefore = QApplication::allWidgets().size(); }
  void TearDown() override { EXPECT_EQ(QApplication::allWidgets().size(), widgetsBefore); }
  qsizetype widgetsBefore = 0;
  TestEnvironment env;
  FakeBoards boards;
  FakeDisplay display;
  CAnswerRouter router{boards, display};
};

TEST_F(AnswerRouterTest, AnswersGoToTheirWindowAndUnknownOnesAreDropped)
{
  FakeChild a, b;
  boards.Add(a);
  boards.Add(b);
  a.bits = b.bits = 8;
  router.RouteAnswer(*Packet(b.id, REQ_READ_BLOCK));
  router.RouteAnswer(*Packet(a.id, REQ_READ_VARS));
  router.RouteAnswer(*Packet(4242, REQ_READ_VARS));
  EXPECT_EQ(b.answers, (std::vector<int>{REQ_READ_BLOCK}));
  EXPECT_EQ(a.answers, (std::vector<int>{REQ_READ_VARS}));
  // The frame's own kinds stay with it; statistics go to their page.
  router.RouteAnswer(*Packet(a.id, REQ_RESET_STATISTICS));
  router.RouteAnswer(*Packet(a.id, CAnswerRouter::kMainFrameOnlyKind));
  router.RouteAnswer(*Packet(4711, REQ_STATISTICS));
  EXPECT_EQ(a.answers.size(), 1u);
  EXPECT_EQ(display.statistics, (std::vector<WindowId>{4711}));
  EXPECT_TRUE(display.progress.empty());
}

TEST_F(AnswerRouterTest, AFailedAnswerTakesItsBoardOfflineWithTheText)
{
  FakeChild other, active;
  boards.Add(other);
  boards.Add(active);
  boards.active = active.id;
  active.bits = other.bits = 8;
  router.RouteAnswer(*Packet(active.id, REQ_READ_BLOCK, kSerErrTimeout, QStringLiteral("No answer from the board")));
  EXPECT_EQ(active.bits, 0);
  EXPECT_TRUE(active.answers.empty());
  EXPECT_EQ(active.status, QStringLiteral("No answer from the board"));
  EXPECT_EQ(display.message, QStringLiteral("No answer from the board"));
  EXPECT_EQ(display.progress, (std::vector<std::pair<char, long>>{{'A', 0}}));
  // Another board's failure does not write the status bar; error 12 shows nothing.
  router.RouteAnswer(*Packet(other.id, REQ_READ_VARS, 12, QStringLiteral("hidden")));
  EXPECT_EQ(other.bits, 0);
  EXPECT_TRUE(other.status.isEmpty());
  EXPECT_EQ(display.message, QStringLiteral("No answer from the board"));
  // Failed answers of a window that is no board (the frame's idle request, a
  // statistics page): nothing goes offline, the status bar keeps its text.
  FakeChild page;
  page.bits = 8;
  boards.windows[page.id] = &page;
  for (uint16_t kind : {REQ_IDLE, REQ_STATISTICS})
    router.RouteAnswer(*Packet(page.id, kind, kSerErrTimeout, QStringLiteral("elsewhere")));
  EXPECT_TRUE(page.codes.empty());
  EXPECT_TRUE(display.statistics.empty());
  EXPECT_EQ(display.message, QStringLiteral("No answer from the board"));
}

TEST_F(AnswerRouterTest, VersionCheckOfTheGoOnlineAnswer)
{
  FakeChild child;
  boards.Add(child);
  boards.active = child.id;
  child.bits = 4;
  // A document without a description takes any board.
  router.RouteAnswer(*Packet(child.id, REQ_GO_ONLINE));
  EXPECT_EQ(child.answers.size(), 1u);
  // A line feed in place of a blank is the same version.
  child.version = QStringLiteral("AB 1.0 rev");
  router.RouteAnswer(*Packet(child.id, REQ_GO_ONLINE, 0, QStringLiteral("AB 1.0\nrev")));
  EXPECT_EQ(child.answers.size(), 2u);
  EXPECT_TRUE(env.prompter().asked.empty());
  // Another board: the warning, offline, and the refusal text.
  auto other = Packet(child.id, REQ_GO_ONLINE, 0, QStringLiteral("XY 2.0"));
  router.RouteAnswer(*other);
  EXPECT_EQ(child.answers.size(), 2u);
  ASSERT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(env.prompter().asked[0].text, LoadStr(IDS_INCOMPATIBILITY_WARNING) + LoadStr(IDS_OFFLINE_VERSION) +
                                              QStringLiteral("AB 1.0 rev") + LoadStr(IDS_ONLINE_VERSION) +
                                              QStringLiteral("XY 2.0"));
  EXPECT_EQ(env.prompter().asked[0].caption, LoadStr(IDS_GENERATOR));
  EXPECT_EQ(child.bits, 0);
  EXPECT_EQ(other->error, CAnswerRouter::kErrorWrongVersion);
  EXPECT_EQ(other->strVersion, QStringLiteral("Wrong online version: XY 2.0"));
  EXPECT_EQ(child.status, QStringLiteral("Wrong online version: XY 2.0"));
  EXPECT_EQ(display.message, QStringLiteral("Wrong online version: XY 2.0"));
  // A board gone offline meanwhile is refused without a box and keeps its text.
  router.RouteAnswer(*Packet(child.id, REQ_GO_ONLINE, 0, QStringLiteral("ZZ 3.0")));
  EXPECT_EQ(env.prompter().asked.size(), 1u);
  EXPECT_EQ(child.answers.size(), 2u);
  EXPECT_EQ(child.status, QStringLiteral("Wrong online version: XY 2.0"));
  EXPECT_EQ(display.message, QStringLiteral("Wrong online version: XY 2.0"));

  // A huge identity is shown by its first 200 characters, and is compared
  // whole: equal to the document's that far, it is still another board.
  QString identity;
  for (int i = 0; identity.size() < 300000; ++i)
    identity += QString::number(i) + u' ';
  identity.truncate(300000);
  const QString shown = identity.left(200) + QStringLiteral("...");
  child.version = identity.left(200) + QStringLiteral("!");
  child.bits = 4;
  router.RouteAnswer(*Packet(child.id, REQ_GO_ONLINE, 0, identity));
  EXPECT_EQ(child.answers.size(), 2u);
  ASSERT_EQ(env.prompter().asked.size(), 2u);
  ASSERT_LT(env.prompter().asked[1].text.size(), 1000);
  EXPECT_EQ(env.prompter().asked[1].text, LoadStr(IDS_INCOMPATIBILITY_WARNING) + LoadStr(IDS_OFFLINE_VERSION) + shown +
                                              LoadStr(IDS_ONLINE_VERSION) + shown);
  ASSERT_LT(child.status.size(), 1000);
  EXPECT_EQ(child.status, QStringLiteral("Wrong online version: ") + shown);
  EXPECT_EQ(display.message, child.status);
}

TEST_F(AnswerRouterTest, ProgressNotesAndBeeps)
{
  router.OnServerAnswer(kSerProgressStart, 40);
  router.OnServerAnswer(kSerTraceStart, -3);
  router.OnServerAnswer(kSerProgressStep, 10);
  router.OnServerAnswer(kSerTraceStep, 12);
  router.OnServerAnswer(kSerBeep, 0);
  router.OnServerAnswer(kSerProgressDone, 0);
  router.OnServerAnswer(kSerTraceFailed, 0);
  EXPECT_EQ(display.progress,
            (std::vector<std::pair<char, long>>{{'S', 40}, {'S', 0}, {'+', 10}, {'+', 12}, {'E', 0}, {'E', 0}}));
  EXPECT_EQ(display.routed, 7); // every note drains, whether or not answers wait
  EXPECT_EQ(display.beeps, 1);
}

TEST_F(AnswerRouterTest, ATraceBufferGoesToTheManagerWithItsBoardsLabels)
{
  FakeChild a;
  boards.Add(a);
  a.bits = 8;
  router.RouteAnswer(*Packet(a.id, ANS_READ_TRACE)); // no manager: dropped
  FakeTraceManager manager;
  boards.trace = &manager;
  manager.download = a.id;
  router.RouteAnswer(*Packet(a.id, ANS_READ_TRACE));
  EXPECT_EQ(a.Count(Call::ClearBufferRead), 2);
  EXPECT_EQ(a.Count(Call::GetBufferName), 2);
  for (int t = 0; t < 6; ++t) {
    EXPECT_EQ(a.Count(Call::TrackScaleFirst + t), 2);
    EXPECT_EQ(a.Count(Call::TrackLabelFirst + t), 2);
  }
  EXPECT_EQ(manager.buffers, 1);
  EXPECT_EQ(manager.scales[5], 1.0);
  EXPECT_EQ(manager.state, ITraceManager::StateReady);
  EXPECT_TRUE(a.answers.empty());
  // Only the running download's board gives a buffer: not a board whose
  // download ended, nor one that is gone.
  manager.download = kNoWindow;
  router.RouteAnswer(*Packet(a.id, ANS_READ_TRACE));
  router.RouteAnswer(*Packet(4242, ANS_READ_TRACE));
  EXPECT_EQ(manager.buffers, 1);
  EXPECT_EQ(a.Count(Call::ClearBufferRead), 3) << "its polls resume all the same";
}

TEST_F(AnswerRouterTest, EveryWaitingAnswerIsDeliveredInOrderWhateverTheNote)
{
  FakeChild child;
  boards.Add(child);
  FakeAnswers answers;
  router.SetSource(&answers);
  for (uint16_t kind : {REQ_READ_BLOCK, REQ_READ_VARS, REQ_WRITE_BLOCK})
    answers.waiting.push_back(Packet(child.id, kind));
  router.OnServerAnswer(kSerBeep, 0);
  EXPECT_EQ(child.answers, (std::vector<int>{REQ_READ_BLOCK, REQ_READ_VARS, REQ_WRITE_BLOCK}));
  EXPECT_TRUE(answers.waiting.empty());
  router.OnServerAnswer(kSerBeep, 0); // a note that finds nothing waiting
  EXPECT_EQ(child.answers.size(), 3u);
}

// What waits for the answers in hand runs once after them, also when a
// modal box inside an answer drains again; a call whose context is gone is
// dropped.
TEST_F(AnswerRouterTest, AfterAnswersRunsOnceTheOutermostDrainEnds)
{
  struct Nesting : FakeChild {
    CAnswerRouter *router = nullptr;
    std::vector<QString> *log = nullptr;
    void ProcessAnswer(const CRequestPacket &pkt) override
    {
      FakeChild::ProcessAnswer(pkt);
      log->push_back(QStringLiteral("answer %1").arg(pkt.message));
      router->AfterAnswers(this, [this] { log->push_back(QStringLiteral("after")); });
      auto doomed = std::make_unique<QObject>();
      router->AfterAnswers(doomed.get(), [this] { log->push_back(QStringLiteral("doomed")); });
      doomed.reset();
      router->DrainAnswers();
    }
  };
  std::vector<QString> log;
  Nesting board;
  board.router = &router;
  board.log = &log;
  boards.Add(board);
  FakeAnswers answers;
  router.SetSource(&answers);
  auto gone = std::make_unique<QObject>();
  router.AfterAnswers(gone.get(), [&] { log.push_back(QStringLiteral("not in a drain")); });
  answers.waiting.push_back(Packet(board.id, REQ_READ_BLOCK));
  answers.waiting.push_back(Packet(board.id, REQ_READ_VARS));
  router.DrainAnswers();
  EXPECT_EQ(log,
            (std::vector<QString>{QStringLiteral("not in a drain"), QStringLiteral("answer %1").arg(REQ_READ_BLOCK),
                                  QStringLiteral("answer %1").arg(REQ_READ_VARS), QStringLiteral("after"),
                                  QStringLiteral("after")}));
  EXPECT_EQ(display.routed, 3);
}

} // namespace
