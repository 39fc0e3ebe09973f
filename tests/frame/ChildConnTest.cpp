#include "FakeDocHost.h"
#include "FrameTestSupport.h"
#include "TestSupport.h"

#include "frame/BlockPlan.h"
#include "frame/CommandTable.h"
#include "frame/FrameCodes.h"
#include "platform/StringIds.h"

#include "model/generali.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <tuple>

namespace {

constexpr WindowId kWnd = 77;

// Lines of a one-block description: parameters numbered floats, longs, shorts.
QString Doc(const QStringList &items)
{
  return QStringLiteral("Version = TEST 1;\nK[] = 4096;\nN[] = 0.1;\nU[] = rpm;\nb1 Main#0; b=0; a=0;\n") +
         items.join(u'\n') + u'\n';
}

QString Short(int index, int address, const QString &name = {}, int value = 0)
{
  return QStringLiteral("p%1 %2=%3; m=-32768; d=0; M=32767; k=-1; n=-1; s=0; b=1; p=%4; v=0; a=0; u=-1;")
      .arg(index)
      .arg(name.isEmpty() ? QStringLiteral("s%1").arg(index) : name)
      .arg(value)
      .arg(address);
}

class ChildConnTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    g_hInitFrame = kNoWindow;
    docHost.PassTo(sink);
    doc = LoadExampleDoc();
    ASSERT_TRUE(doc->AreDescriptionsLoaded());
    conn = std::make_unique<TestConn>(kWnd, &sink);
    conn->SetConnDocument(doc.get());
  }
  void Online(const QString &identity = {})
  {
    conn->RequestGoOnline();
    auto go = sink.Take();
    go->strVersion = identity;
    conn->ProcessAnswer(*go);
    sink.Clear();
  }
  void Answer(const CRequestPacket &request, std::vector<uint16_t> words)
  {
    conn->ProcessAnswer(*AnswerOf(request, std::move(words)));
  }

  TestEnvironment env;
  RecordingSink sink;
  FakeDocHost docHost; // the document's own requests go to the sink too
  std::unique_ptr<CQelDoc> doc;
  std::unique_ptr<TestConn> conn;
};

TEST_F(ChildConnTest, GoOnlineAndOfflineMoveStatesAndQueueTheirRequests)
{
  EXPECT_EQ(conn->GetReadState(), -1);
  EXPECT_EQ(conn->GoOnline(), 0);
  ASSERT_EQ(sink.queue.size(), 1u);
  const CRequestPacket &go = *sink.queue[0];
  EXPECT_EQ(go.message, REQ_GO_ONLINE);
  EXPECT_EQ(go.hWnd, kWnd);
  EXPECT_EQ(go.slave, 1); // "MODBUS = 1"
  EXPECT_EQ(conn->QueryState(), 4);
  EXPECT_EQ(conn->GetReadState(), 1);
  EXPECT_EQ(doc->GetStatusText(), QStringLiteral("Online"));
  EXPECT_EQ(conn->icon, StateIcon::Offline);

  Answer(go, {});
  EXPECT_EQ(conn->QueryState(), 8);
  EXPECT_EQ(conn->GetReadState(), 2);
  EXPECT_EQ(conn->GetCmdState(), 2);
  // A loaded document keeps its own identity.
  EXPECT_EQ(doc->GetVersion(), QStringLiteral("NORV DMX0512 v1.03"));
  EXPECT_EQ(conn->icon, StateIcon::Ok);

  sink.Clear();
  EXPECT_EQ(conn->GoOffline(), 8);
  ASSERT_EQ(sink.queue.size(), 1u);
  EXPECT_EQ(sink.queue[0]->message, REQ_GO_OFFLINE);
  EXPECT_EQ(conn->GetReadState(), 0);
  EXPECT_EQ(conn->wentOffline, 1);
  EXPECT_EQ(conn->QueryState(), 0);

  // Answers to an offline board change nothing.
  auto late = std::make_unique<CRequestPacket>(kWnd, 1, REQ_GO_ONLINE);
  conn->ProcessAnswer(*late);
  EXPECT_EQ(conn->QueryState(), 0);

  // The go-offline answer that comes after the next go-online is no fault.
  auto offline = sink.Take();
  conn->RequestGoOnline();
  static QStringList *s_said = nullptr;
  QStringList said;
  s_said = &said;
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) { s_said->append(text); });
  conn->ProcessAnswer(*offline);
  qInstallMessageHandler(previous);
  EXPECT_EQ(said, QStringList());
  EXPECT_EQ(conn->QueryState(), 4);
}

TEST_F(ChildConnTest, GoOnlineAnswerTakesTheBoardIdentityWithoutADescription)
{
  auto empty = std::make_unique<CQelDoc>();
  empty->AddLanguage({"std", "fr"});
  empty->SelectLanguage(QStringLiteral("fr"));
  conn->SetConnDocument(empty.get());
  conn->RequestGoOnline();
  auto go = sink.Take();
  go->strVersion = QStringLiteral("AB 1.0\nrev 2");
  go->strLanguages = QStringLiteral("std;en;it");
  conn->ProcessAnswer(*go);
  EXPECT_EQ(empty->GetVersion(), QStringLiteral("AB 1.0 rev 2"));
  // The board's languages come after the document's, which keeps its choice.
  EXPECT_EQ(empty->GetLanguageList(), (QStringList{"std", "fr", "std", "en", "it"}));
  EXPECT_EQ(empty->GetLanguageName(), QStringLiteral("fr"));
  // Without a description the poll reads two registers of the status block.
  sink.Clear();
  conn->Poll();
  ASSERT_EQ(sink.queue.size(), 1u);
  EXPECT_EQ(sink.queue[0]->message, REQ_READ_VARS);
  EXPECT_EQ(sink.queue[0]->PktType.var.first_var, 9900);
  EXPECT_EQ(sink.queue[0]->PktType.var.num_var, 2);
  // And a read all is refused so that a waiting backup sees the failure.
  sink.Clear();
  conn->BackupReadAll();
  EXPECT_TRUE(sink.queue.empty());
  EXPECT_EQ(conn->GetReadState(), 0);
  EXPECT_EQ(empty->GetStatusText(), LoadStr(IDS_READ_ALL_REFUSED));
  conn->SetConnDocument(doc.get());
}

TEST_F(ChildConnTest, ReadAllSendsKTableThenBlocksAndEndsOnTheLastAnswer)
{
  Online();
  conn->OnReadAll();
  ASSERT_EQ(sink.queue.size(), 3u);
  const CRequestPacket &k = *sink.queue[0];
  EXPECT_EQ(k.message, REQ_K_TABLE);
  EXPECT_EQ(k.num_k, 2);
  EXPECT_EQ(k.k_mode, 2);
  EXPECT_EQ(k.PktType.par.step, 0);
  const CRequestPacket &b1 = *sink.queue[1];
  EXPECT_EQ(b1.message, REQ_READ_BLOCK);
  EXPECT_EQ(b1.PktType.par.first_par, 0);
  EXPECT_EQ(b1.PktType.par.num_par, 113); // 0..112
  EXPECT_EQ(b1.PktType.par.step, 1);
  const CRequestPacket &b2 = *sink.queue[2];
  EXPECT_EQ(b2.PktType.par.first_par, 200);
  EXPECT_EQ(b2.PktType.par.num_par, 8);
  EXPECT_EQ(b2.PktType.par.step, 2);
  EXPECT_EQ(doc->GetStatusText(), QStringLiteral("Read all param ..."));

  // The K table inside a read all is silent.
  auto kAnswer = AnswerOf(k, {4096, 1000});
  kAnswer->fAnsNTable = {0.5f, 0.25f};
  conn->ProcessAnswer(*kAnswer);
  EXPECT_EQ(doc->GetStatusText(), QStringLiteral("Read all param ..."));
  EXPECT_FLOAT_EQ(doc->GetNTable()[0], 0.5f);

  // Out of order: done exactly at the last block. Every answer refills the list.
  EXPECT_EQ(conn->fillList, 1);
  Answer(b2, std::vector<uint16_t>(8, 5));
  EXPECT_EQ(conn->GetReadState(), 2);
  EXPECT_EQ(conn->fillList, 2);
  std::vector<uint16_t> words(113, 0);
  words[108] = 1234; // max_speed
  Answer(b1, words);
  EXPECT_EQ(conn->GetReadState(), 4);
  EXPECT_EQ(conn->GetStep(), 0);
  EXPECT_EQ(doc->GetStatusText(), QStringLiteral("Read all param ...done!"));
  EXPECT_EQ(conn->fillList, 3);
  EXPECT_EQ(doc->GetPar(7).GetValue(0), 1234);
  // Values read in a read all are not undo records.
  EXPECT_TRUE(doc->GetUndoList().empty());

  // Two overlapping read alls: both K tables are silent.
  sink.Clear();
  conn->OnReadAll();
  conn->OnReadAll();
  const auto kTables = sink.OfKind(REQ_K_TABLE);
  ASSERT_EQ(kTables.size(), 2u);
  for (const CRequestPacket *kt : kTables) {
    conn->ProcessAnswer(*AnswerOf(*kt, {4096, 1000}));
    EXPECT_EQ(doc->GetStatusText(), QStringLiteral("Read all param ..."));
  }
}

TEST_F(ChildConnTest, WriteAllCutsRunsAtGapsPairsAndTheCommandParameter)
{
  // s1 is par0: it holds the last board command, which a write all must
  // not send again.
  auto runs =
      LoadDocText(Doc({QStringLiteral("l0 lg=70000; m=0; d=0; M=100000; k=-1; n=-1; s=0; b=1; p=16; v=0; a=0; u=-1;"),
                       Short(1, 11, {}, 9999), Short(2, 10, {}, 2), Short(3, 12, {}, -3), Short(4, 13, {}, 4)}));
  conn->SetConnDocument(runs.get());
  Online();
  conn->WriteAllParameters();
  ASSERT_EQ(sink.queue.size(), 3u);
  const CRequestPacket &a = *sink.queue[0];
  EXPECT_EQ(a.message, REQ_WRITE_BLOCK);
  EXPECT_EQ(a.PktType.par.first_par, 10);
  EXPECT_EQ(a.PktType.par.num_par, 1);
  EXPECT_EQ(a.PktType.par.step, 1);
  EXPECT_EQ(a.wData, (std::vector<uint16_t>{2}));
  const CRequestPacket &b = *sink.queue[1];
  EXPECT_EQ(b.PktType.par.first_par, 12);
  EXPECT_EQ(b.PktType.par.num_par, 2);
  EXPECT_EQ(b.PktType.par.step, 2);
  EXPECT_EQ(b.wData, (std::vector<uint16_t>{0xFFFD, 4}));
  const CRequestPacket &c = *sink.queue[2];
  EXPECT_EQ(c.PktType.par.first_par, 16);
  EXPECT_EQ(c.PktType.par.num_par, 2);
  EXPECT_EQ(c.PktType.par.step, 3);
  EXPECT_EQ(c.wData, (std::vector<uint16_t>{70000 & 0xFFFF, 70000 >> 16}));
  Answer(c, {});
  Answer(a, {});
  EXPECT_EQ(runs->GetStatusText(), QStringLiteral("Write all param ..."));
  Answer(b, {});
  EXPECT_EQ(runs->GetStatusText(), QStringLiteral("Write all param ...done!"));

  // A float goes low word first: speed_kp, 0.75 at 100 in the example.
  conn->SetConnDocument(doc.get());
  Online();
  conn->WriteAllParameters();
  const auto kp =
      std::find_if(sink.queue.begin(), sink.queue.end(), [](const auto &p) { return p->PktType.par.first_par == 100; });
  ASSERT_NE(kp, sink.queue.end());
  EXPECT_EQ((*kp)->wData, (std::vector<uint16_t>{FloatLowWord(0.75), FloatHighWord(0.75)}));
}

// One character per register: '.' none, 's' a short, "pt" a pair.
std::vector<blockplan::Cell> Cells(const std::string &map)
{
  using blockplan::Cell;
  std::vector<Cell> cells;
  for (char c : map)
    cells.push_back(c == 's' ? Cell::Short : c == 'p' ? Cell::Pair : c == 't' ? Cell::Tail : Cell::Empty);
  return cells;
}

TEST(BlockPlan, ReadAllSpansGapsWriteAllCutsAndNeitherSplitsAPair)
{
  using R = std::vector<blockplan::Run>;
  struct Case {
    const char *what;
    std::string map;
    int command;
    R read;
    R write;
  } cases[] = {
      {"a float at the read window's edge goes whole to the next block", std::string(119, 's') + "pt", -1,
       R{{0, 119}, {119, 2}}, R{{0, 119}, {119, 2}}},
      // par0 at 0 is left out: the run 1..119 is open when the float comes.
      {"a write block closes before a pair that does not fit", std::string(120, 's') + "pt", 0, R{{0, 120}, {120, 2}},
       R{{1, 119}, {120, 2}}},
      // par0 at 11 holds the last board command, which a write all must not send again.
      {"gaps, pairs and the command parameter", "..........ssss..pt....", 11, R{{10, 8}}, R{{10, 1}, {12, 2}, {16, 2}}},
      {"120 registers", std::string(130, 's'), -1, R{{0, 120}, {120, 10}}, R{{0, 120}, {120, 10}}},
      // Overlapping parameters: a tail whose start another took is not written over.
      {"a tail without its start", "sts", -1, R{{0, 3}}, R{{0, 1}, {2, 1}}},
      {"a pair reaching par0's register", "spts", 2, R{{0, 4}}, R{{0, 1}, {3, 1}}},
  };
  for (const Case &c : cases) {
    const auto cells = Cells(c.map);
    EXPECT_EQ(blockplan::ReadAllRuns(cells), c.read) << c.what;
    EXPECT_EQ(blockplan::WriteAllRuns(cells, c.command), c.write) << c.what;
  }
}

TEST(BlockPlan, PollsMergeSortedRangesUpTo120RegistersWithoutWrapping)
{
  using R = std::vector<blockplan::Run>;
  const std::pair<R, R> cases[] = {
      {R{{120, 1}, {0, 1}, {119, 1}}, R{{0, 120}, {120, 1}}},
      {R{{0, 1}, {119, 2}}, R{{0, 1}, {119, 2}}}, // a pair past 120 starts the next block
      {R{{202, 1}, {105, 1}, {110, 2}, {200, 2}, {110, 1}}, R{{105, 98}}},
      {R{{9998, 1}, {9999, 2}}, R{{9998, 1}}}, // the pair would run past the last register
  };
  for (const auto &[items, runs] : cases)
    EXPECT_EQ(blockplan::PollRuns(items, 10000), runs);
}

TEST_F(ChildConnTest, SingleWritesGoWithTheirReadBack)
{
  Online();
  EXPECT_TRUE(conn->WriteParameter(0, 0.5, 1, 1)); // speed_kp, a float at 100
  ASSERT_EQ(sink.queue.size(), 2u);
  const CRequestPacket &w = *sink.queue[0];
  EXPECT_EQ(w.message, REQ_WRITE_BLOCK);
  EXPECT_EQ(w.PktType.par.first_par, 100);
  EXPECT_EQ(w.PktType.par.num_par, 2);
  EXPECT_EQ(w.PktType.par.mark, 1);
  EXPECT_EQ(w.track, 1);
  EXPECT_EQ(w.wData, (std::vector<uint16_t>{FloatLowWord(0.5), FloatHighWord(0.5)}));
  const CRequestPacket &r = *sink.queue[1];
  EXPECT_EQ(r.message, REQ_READ_BLOCK);
  EXPECT_EQ(r.PktType.par.num_par, 2);
  EXPECT_EQ(r.PktType.par.mark, 1);
  EXPECT_EQ(r.track, 0); // the write's answer takes the undo step
  EXPECT_EQ(doc->GetStatusText(), QStringLiteral("Write speed_kp = 0.5"));

  // The list shows what the board sent back, and the change is undoable.
  Answer(w, {});
  Answer(r, {FloatLowWord(0.25), FloatHighWord(0.25)});
  EXPECT_DOUBLE_EQ(doc->GetPar(0).GetValue(0), 0.25);
  EXPECT_TRUE(doc->NeedsEditorReopen());
  ASSERT_EQ(doc->GetUndoList().size(), 1u);
  EXPECT_DOUBLE_EQ(doc->GetUndoList().back().previous, 0.75);
  EXPECT_TRUE(doc->GetStatusText().startsWith(QStringLiteral("Read speed_kp = ")));

  // Out of range values are clamped before they go.
  sink.Clear();
  conn->WriteParameter(7, 99999, 1, 0); // max_speed, at most 3000
  EXPECT_EQ(sink.queue[0]->message, REQ_WRITE_ONE);
  EXPECT_EQ(sink.queue[0]->wData, (std::vector<uint16_t>{3000}));
  EXPECT_EQ(sink.queue[1]->message, REQ_READ_ONE);
  EXPECT_EQ(sink.queue[1]->PktType.par.num_par, 1);

  // par0 shows its own text; an index out of range queues nothing.
  sink.Clear();
  EXPECT_TRUE(conn->WriteCommand(BoardCommand::EepromSave1));
  EXPECT_EQ(sink.queue[0]->PktType.par.first_par, 0);
  EXPECT_EQ(sink.queue[0]->wData, (std::vector<uint16_t>{9999}));
  EXPECT_EQ(sink.queue[0]->track, 0);
  EXPECT_EQ(doc->GetStatusText(), QStringLiteral("Comand sent"));
  sink.Clear();
  EXPECT_FALSE(conn->WriteParameter(500, 1, 1, 0));
  EXPECT_TRUE(sink.queue.empty());
}

TEST_F(ChildConnTest, ReadBackOfSixteenBitsIsSignedAndTracksOnlyWhenAsked)
{
  Online();
  auto read = std::make_unique<CRequestPacket>(kWnd, 1, REQ_READ_ONE);
  read->PktType.par.first_par = 202; // trig_lev_neg
  read->PktType.par.num_par = 1;
  read->track = 0;
  doc->SetModifiedFlag(false);
  Answer(*read, {0xFFFF});
  EXPECT_EQ(doc->GetPar(11).GetValue(0), -1);
  EXPECT_TRUE(doc->IsModified());
  EXPECT_TRUE(doc->GetUndoList().empty());
  // The same value again changes nothing.
  doc->SetModifiedFlag(false);
  read->track = 1;
  Answer(*read, {0xFFFF});
  EXPECT_FALSE(doc->IsModified());
  EXPECT_TRUE(doc->GetUndoList().empty());
  // par0's tracked read-back is a step of its own, whatever it reads.
  read->PktType.par.first_par = 0;
  Answer(*read, {1234});
  EXPECT_EQ(doc->GetPar(5).GetValue(0), 1234);
  Answer(*read, {1234});
  ASSERT_EQ(doc->GetUndoList().size(), 2u);
  EXPECT_TRUE(doc->GetUndoList().back().command);
  // A short answer is a fault: the board goes offline and says why.
  Answer(*read, {});
  EXPECT_EQ(conn->QueryState(), 0);
  EXPECT_EQ(doc->GetStatusText(), LoadStrFormat(IDS_SHORT_ANSWER, 0, 1));
}

TEST_F(ChildConnTest, UndoWritesOnlineAndRestoresOffline)
{
  Online();
  doc->PushUndo(7, 20);
  doc->PushUndo(7, 10);
  conn->OnUndo();
  ASSERT_EQ(sink.queue.size(), 2u);
  EXPECT_EQ(sink.queue[0]->wData, (std::vector<uint16_t>{10}));
  EXPECT_EQ(sink.queue[0]->track, 0);
  EXPECT_EQ(doc->GetUndoList().size(), 1u);
  // Online, a record of par0 sends no command.
  sink.Clear();
  doc->PushUndo(5, 9999);
  conn->OnUndo();
  EXPECT_TRUE(sink.queue.empty());
  EXPECT_EQ(doc->GetUndoList().size(), 1u);
  conn->RequestGoOffline();
  doc->SetModifiedFlag(false);
  conn->OnUndo();
  EXPECT_EQ(doc->GetPar(7).GetValue(0), 20);
  EXPECT_TRUE(doc->IsModified());
}

TEST_F(ChildConnTest, AValueChangedOfflineOutlivesRefreshesUntilWrittenOrReadAll)
{
  const int delay = doc->GetTrigDelayPar(); // register 203, last of the trace settings
  Parametri &par = doc->GetPar(delay);
  doc->WriteParValue(static_cast<std::int16_t>(delay), 30); // offline
  Online();
  conn->Poll();
  const auto settings = sink.OfKind(REQ_READ_BLOCK);
  ASSERT_EQ(settings.size(), 1u);
  EXPECT_EQ(settings[0]->PktType.par.refresh, 1);
  // The board's value becomes the old one and the trace manager's; the others follow the board.
  Answer(*settings[0], {5, 1000, 0xFC18, 12});
  EXPECT_EQ(doc->GetPar(doc->GetDiagnTsPar()).GetValue(0), 5);
  EXPECT_EQ(par.GetValue(0), 30);
  EXPECT_EQ(par.GetValue(Parametri::SEL_OLD), 12);
  EXPECT_EQ(doc->GetTraceValue(CQelDocContainer::TRACE_TRIG_DELAY), 12.0f);
  EXPECT_TRUE(doc->GetStatusText().endsWith(QStringLiteral("[12 ui]"))) << doc->GetStatusText().toStdString();

  // A row read keeps it too; what else reads it, or confirms a write all of
  // it, ends the offline change, and the next refresh follows the board.
  const auto rowRead = [&](std::uint16_t word) {
    Answer(*doc->NewReadRequest(static_cast<std::uint16_t>(delay)), {word});
    return par.GetValue(0);
  };
  EXPECT_EQ(rowRead(13), 30);
  conn->WriteAllParameters();
  const auto blocks = sink.OfKind(REQ_WRITE_BLOCK);
  ASSERT_FALSE(blocks.empty());
  Answer(*blocks.back(), {}); // 200..207
  EXPECT_EQ(rowRead(14), 14);
  par.SetOfflineChange(true);
  sink.Clear();
  conn->WriteParameter(static_cast<std::uint16_t>(delay), 40, 1, 0);
  Answer(*sink.OfKind(REQ_READ_ONE).at(0), {40}); // the read-back of a typed write
  EXPECT_EQ(rowRead(15), 15);
  par.SetOfflineChange(true);
  sink.Clear();
  conn->OnReadAll();
  Answer(*sink.OfKind(REQ_READ_BLOCK).at(1), std::vector<uint16_t>(8, 16));
  EXPECT_EQ(par.GetValue(0), 16);
  EXPECT_EQ(rowRead(17), 17);
}

// Undo after a command typed into par0 takes back that command, which it
// cannot: nothing is sent and the status bar says so; the next undo takes
// back the edit before it, whenever that edit's read-back came.
TEST_F(ChildConnTest, UndoOfATypedCommandSendsNothing)
{
  Online();
  const uint16_t maxSpeed = doc->GetPar(7).GetAddress();
  for (bool lateReadBack : {false, true}) {
    SCOPED_TRACE(lateReadBack);
    doc->GetPar(7).SetRawValue(1400);
    conn->WriteParameter(7, 1500, 1, 1); // max_speed, typed in the list
    Answer(*sink.Take(), {});
    const auto maxRead = sink.Take();
    if (!lateReadBack)
      Answer(*maxRead, {1500});
    conn->WriteParameter(5, 1234, 1, 1); // par0, typed in the list
    Answer(*sink.Take(), {});
    const auto commandRead = sink.Take();
    if (lateReadBack)
      Answer(*maxRead, {1500});
    Answer(*commandRead, {1234});
    doc->SetStatusText({});
    conn->OnUndo();
    EXPECT_TRUE(sink.queue.empty());
    EXPECT_EQ(doc->GetPar(7).GetValue(0), 1500);
    EXPECT_EQ(doc->GetStatusText(), LoadStr(IDS_CANNOT_UNDO_COMMAND));
    conn->OnUndo();
    ASSERT_EQ(sink.queue.size(), 2u);
    EXPECT_EQ(sink.queue[0]->PktType.par.first_par, maxSpeed);
    EXPECT_EQ(sink.queue[0]->wData, (std::vector<uint16_t>{1400}));
    Answer(*sink.queue[1], {1400});
    EXPECT_TRUE(doc->GetUndoList().empty());
    sink.Clear();
  }
  // A command from the menu leaves no step; a typed one undone offline
  // changes nothing either.
  conn->WriteCommand(BoardCommand::EepromSave1);
  Answer(*sink.queue[1], {9999});
  EXPECT_TRUE(doc->GetUndoList().empty());
  conn->WriteParameter(5, 1234, 1, 1);
  Answer(*sink.queue[2], {});
  Answer(*sink.queue[3], {1234});
  conn->RequestGoOffline();
  conn->OnUndo();
  EXPECT_EQ(doc->GetPar(5).GetValue(0), 1234);
  EXPECT_EQ(doc->GetStatusText(), LoadStr(IDS_CANNOT_UNDO_COMMAND));
}

TEST_F(ChildConnTest, PollReadsStatusBlockShownVariablesAndExtrasSortedByAddress)
{
  Online(); // queues the trace settings as extras
  conn->Poll();
  ASSERT_EQ(sink.queue.size(), 3u);
  const CRequestPacket &status = *sink.queue[0];
  EXPECT_EQ(status.PktType.var.first_var, 9900);
  EXPECT_EQ(status.PktType.var.num_var, 5); // the standard variables' registers
  const CRequestPacket &pars = *sink.queue[1];
  EXPECT_EQ(pars.message, REQ_READ_BLOCK);
  EXPECT_EQ(pars.PktType.par.first_par, 200);
  EXPECT_EQ(pars.PktType.par.num_par, 4);
  const CRequestPacket &vars = *sink.queue[2];
  EXPECT_EQ(vars.message, REQ_READ_VARS);
  EXPECT_EQ(vars.PktType.var.first_var, 105); // dc_voltage; current at 110; trace items at 200, 202
  EXPECT_EQ(vars.PktType.var.num_var, 98);
  // The extras are read once.
  sink.Clear();
  conn->Poll();
  ASSERT_EQ(sink.queue.size(), 2u);
  EXPECT_EQ(sink.queue[1]->PktType.var.first_var, 105);
  EXPECT_EQ(sink.queue[1]->PktType.var.num_var, 6);
  // Nothing while a trace buffer is coming.
  sink.Clear();
  doc->MarkTraceReadPending();
  conn->Poll();
  EXPECT_TRUE(sink.queue.empty());
}

TEST_F(ChildConnTest, PollSkipsWatchRowsThatNameNoVariable)
{
  Online();
  conn->Poll(); // the extras go once
  auto polled = [&] {
    sink.Clear();
    conn->Poll();
    std::vector<std::pair<int, int>> reads;
    for (const auto &p : sink.queue)
      reads.emplace_back(p->PktType.var.first_var, p->PktType.var.num_var);
    return reads;
  };
  auto &rows = doc->GetVarRows();
  ASSERT_FALSE(rows.empty());
  rows[0].index = -1;
  const auto without = polled();
  // An index past the variables (a stale document row) reads nothing more and
  // is kept as it is.
  rows[0].index = doc->GetVarCount() + 3;
  EXPECT_EQ(polled(), without);
  EXPECT_EQ(rows[0].index, doc->GetVarCount() + 3);
  // Its answer leaves the row blank.
  for (const auto &p : sink.queue)
    Answer(*p, std::vector<uint16_t>(p->PktType.var.num_var, 1));
  EXPECT_FALSE(rows[0].hasValue);
}

TEST_F(ChildConnTest, StatusBlockAnswerSetsIconsRowsAndWinCmdTriggers)
{
  Online();
  auto status = std::make_unique<CRequestPacket>(kWnd, 1, REQ_READ_VARS);
  status->PktType.var.first_var = 9900;
  status->PktType.var.num_var = 5;
  // error_flag, warning_flag, status_flag, win_cmd, speed_actual
  Answer(*status, {0, 0, 0x600, 0, 100});
  EXPECT_EQ(conn->icon, StateIcon::OkStop);
  const VarRowRecord &speed = doc->GetVarRows()[0];
  EXPECT_EQ(speed.index, 2);
  EXPECT_EQ(speed.hasValue, 1);
  EXPECT_EQ(speed.refresh, 1);
  EXPECT_EQ(speed.uiText, QStringLiteral("100"));
  Answer(*status, {1, 0, 0, 0, 100});
  EXPECT_EQ(conn->icon, StateIcon::Error);
  // Any variable poll compares its change word (0 for an ordinary block).
  auto plain = std::make_unique<CRequestPacket>(kWnd, 1, REQ_READ_VARS);
  plain->PktType.var.first_var = 105; // dc_voltage
  plain->PktType.var.num_var = 1;
  conn->icon = -1;
  Answer(*plain, {320});
  EXPECT_EQ(conn->icon, StateIcon::Error);
  conn->icon = -1;
  Answer(*plain, {321});
  EXPECT_EQ(conn->icon, -1);

  sink.Clear();
  Answer(*status, {0, 0, 0, 10000, 0});
  Answer(*status, {0, 0, 0, 10000, 0});
  EXPECT_EQ(sink.OfKind(REQ_K_TABLE).size(), 1u);
  Answer(*status, {0, 0, 0, 5, 0});
  EXPECT_EQ(conn->WinCmdAction(), 2);
  EXPECT_EQ(conn->WinCmdAction(), 1);
  Answer(*status, {0, 0, 0, 10000, 0});
  EXPECT_EQ(sink.OfKind(REQ_K_TABLE).size(), 2u);
  EXPECT_EQ(conn->WinCmdAction(), 0);
  EXPECT_EQ(sink.OfKind(REQ_K_TABLE).back()->PktType.par.step, 0);
  // 10001 reads all parameters.
  Answer(*status, {0, 0, 0, 10001, 0});
  EXPECT_EQ(sink.OfKind(REQ_READ_BLOCK).size(), 2u);
  conn->ProcessAnswer(*AnswerOf(*sink.OfKind(REQ_K_TABLE).back(), {1, 2}));
  EXPECT_EQ(doc->GetStatusText(), QStringLiteral("Read all param ..."));
  // A K table outside a read all says so.
  sink.Clear();
  Answer(*status, {0, 0, 0, 0, 0});
  Answer(*status, {0, 0, 0, 10000, 0});
  conn->ProcessAnswer(*AnswerOf(*sink.OfKind(REQ_K_TABLE)[0], {1, 2}));
  EXPECT_EQ(doc->GetStatusText(), QStringLiteral("K table read"));
}

TEST_F(ChildConnTest, TrackCodesAndSpecialParameters)
{
  EXPECT_FALSE(conn->TrackLabel(0).isEmpty()); // c_diag_rec1 links variable 104
  EXPECT_TRUE(conn->TrackLabel(5).isEmpty());  // no c_diag_rec6
  EXPECT_EQ(conn->TrackScale(5), 1.0);
  EXPECT_TRUE(conn->SetSpecialParValue(doc->GetTrigNegPar(), 0x1FFFF));
  EXPECT_EQ(doc->GetTraceValue(CQelDocContainer::TRACE_TRIG_NEG), -1.0f);
  EXPECT_FALSE(conn->SetSpecialParValue(0, 5));
  // The address code marks the document modified only on a change.
  doc->SetModifiedFlag(false);
  conn->SetAddress(1);
  EXPECT_FALSE(doc->IsModified());
  conn->SetAddress(0x105);
  EXPECT_TRUE(doc->IsModified());
  EXPECT_EQ(conn->GetAddress(), 5);
}

TEST_F(ChildConnTest, EveryResetRequestReadsAndTheFirstAnswerWrites)
{
  doc->SetHost(&docHost);
  Online();
  // The frame's Reset and the variable list's go the same way, at the head.
  conn->OnReset();
  doc->RequestSwSetRead();
  ASSERT_EQ(sink.queue.size(), 2u);
  for (const auto &read : sink.queue) {
    EXPECT_EQ(read->message, REQ_READ_ONE);
    EXPECT_EQ(read->PktType.par.first_par, 1);
  }
  auto first = sink.Take();
  auto second = sink.Take();
  Answer(*first, {3});
  ASSERT_EQ(sink.queue.size(), 1u);
  EXPECT_EQ(sink.queue[0]->message, REQ_WRITE_ONE);
  EXPECT_EQ(sink.queue[0]->wData, (std::vector<uint16_t>{0x1003}));
  EXPECT_FALSE(doc->IsResetPending());
  Answer(*second, {0x1003});
  EXPECT_EQ(sink.OfKind(REQ_WRITE_ONE).size(), 1u);
  // Going offline drops a pending reset.
  doc->RequestSwSetRead();
  conn->RequestGoOffline();
  EXPECT_FALSE(doc->IsResetPending());
  doc->SetHost(nullptr);
}

TEST_F(ChildConnTest, BoardCommandsAskFirstAndWriteOnlyOnline)
{
  Online();
  env.prompter().AnswerMessage(IDCANCEL);
  conn->OnEepSave1();
  EXPECT_TRUE(sink.queue.empty());
  env.prompter().AnswerMessage(IDOK);
  conn->OnEepLoad2();
  ASSERT_EQ(sink.queue.size(), 2u);
  EXPECT_EQ(sink.queue[0]->wData, (std::vector<uint16_t>{8887}));
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_ASK_LOAD_EEP2));
  // Code 127: EEPROM save of set 1, answered when its read-back arrives.
  sink.Clear();
  conn->EepromSaveAll();
  EXPECT_EQ(conn->GetCmdState(), 3);
  EXPECT_EQ(sink.queue[0]->wData, (std::vector<uint16_t>{9999}));
  Answer(*sink.queue[1], {9999});
  EXPECT_EQ(conn->GetCmdState(), 4);
  // The board's message answers go only to an online board.
  sink.Clear();
  doc->SetWinCmdValue(3);
  conn->AnswerWinCmd(2);
  EXPECT_EQ(sink.queue[0]->wData, (std::vector<uint16_t>{3003}));
  conn->RequestGoOffline();
  sink.Clear();
  env.prompter().AnswerMessage(IDOK);
  conn->OnEepSave2();
  conn->AnswerWinCmd(1);
  EXPECT_TRUE(sink.queue.empty());
}

TEST_F(ChildConnTest, DefaultLoadOffersTheDictionarySets)
{
  auto sets = LoadDocText(Doc({Short(0, 0, QStringLiteral("par0")),
                               QStringLiteral("s0=[DefaultCombo#0]Factory[DefaultCombo#1]Pump[DefaultCombo#3]Fan")}));
  conn->SetConnDocument(sets.get());
  Online();
  conn->defaultChoice = 1;
  conn->OnDefLoad();
  EXPECT_EQ(conn->offeredDefaults, (QStringList{"Factory", "Pump"}));
  ASSERT_FALSE(sink.queue.empty());
  EXPECT_EQ(sink.queue[0]->wData, (std::vector<uint16_t>{5001}));

  auto none = LoadDocText(Doc({Short(0, 0, QStringLiteral("par0"))}));
  conn->SetConnDocument(none.get());
  sink.Clear();
  conn->OnDefLoad();
  EXPECT_TRUE(sink.queue.empty());
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_DEFAULTS_HINT));
  conn->SetConnDocument(doc.get());
}

// The example board's description as the board sends it: no header line and
// no watch-row line.
QString BoardDescriptionText()
{
  QFile file(ExamplePath(QStringLiteral("demo-small.vtx")));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  QString text = QString::fromLatin1(file.readAll());
  text.remove(0, text.indexOf(u'\n') + 1);
  text.remove(QRegularExpression(QStringLiteral("L = [^\\n]*\\n")));
  return text;
}

// A document without a description on a host whose library is a folder of
// its own.
struct HostedBoard {
  explicit HostedBoard(RecordingSink &sink) : host(folder.path())
  {
    host.PassTo(sink);
    doc.SetHost(&host);
  }
  QTemporaryDir folder;
  FakeDocHost host;
  CQelDoc doc;
};

TEST_F(ChildConnTest, InitializeAsksTheBoardAndLoadsItsDescription)
{
  HostedBoard hosted(sink);
  CQelDoc *board = &hosted.doc;
  conn->SetConnDocument(board);
  Online(QStringLiteral("NORV DMX0512 v1.03"));
  conn->OnInitDescriptions();
  ASSERT_EQ(sink.queue.size(), 1u);
  EXPECT_EQ(sink.queue[0]->message, REQ_DESCRIPTION);
  EXPECT_EQ(g_hInitFrame, kWnd);
  // Polls wait while the description comes.
  sink.Clear();
  conn->Poll();
  EXPECT_TRUE(sink.queue.empty());

  auto answer = std::make_unique<CRequestPacket>(kWnd, 1, ANS_DESCRIPTION);
  answer->strVersion = BoardDescriptionText();
  conn->ProcessAnswer(*answer);
  EXPECT_TRUE(board->AreDescriptionsLoaded());
  EXPECT_EQ(board->GetParCount(), 17);
  EXPECT_TRUE(board->IsModified());
  EXPECT_EQ(g_hInitFrame, kNoWindow);
  EXPECT_TRUE(board->IsOnline());
  // The library keeps a copy, and the next initialization reads it instead
  // of asking the board.
  const QString copy = hosted.folder.path() + QStringLiteral("/!NORV_DMX0512_v1.03.vtx");
  EXPECT_TRUE(QFile::exists(copy));
  board->SetDescriptionsLoaded(false);
  sink.Clear();
  conn->OnInitDescriptions();
  EXPECT_TRUE(sink.OfKind(REQ_DESCRIPTION).empty());
  EXPECT_EQ(sink.OfKind(REQ_K_TABLE).size(), 1u); // the read all that follows
  EXPECT_TRUE(board->AreDescriptionsLoaded());

  // A copy cut right after a key's ';' would put pos_target on par0's
  // registers: it is not used, quietly, and the board's upload replaces it.
  QFile file(copy);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray whole = file.readAll();
  file.close();
  const QByteArray l3("l3 pos_target=100000; m=-1000000; d=0; M=1000000; k=-1; n=-1;");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(whole.left(whole.indexOf(l3) + l3.size()));
  file.close();
  for (bool busy : {true, false}) {
    SCOPED_TRACE(busy ? "another board's upload outstanding" : "the board asked");
    g_hInitFrame = busy ? kWnd + 1 : kNoWindow;
    board->SetDescriptionsLoaded(false);
    env.prompter().asked.clear();
    sink.Clear();
    conn->OnInitDescriptions();
    EXPECT_TRUE(env.prompter().asked.empty());
    EXPECT_FALSE(board->AreDescriptionsLoaded());
    EXPECT_EQ(board->GetParCount(), 0);
    EXPECT_TRUE(sink.OfKind(REQ_K_TABLE).empty());
    EXPECT_EQ(sink.OfKind(REQ_DESCRIPTION).size(), busy ? 0u : 1u);
    EXPECT_EQ(board->GetStatusText(), LoadStrFormat(busy ? IDS_COPY_UNUSED_RETRY : IDS_COPY_UNUSED_ASKING, copy));
  }
  conn->ProcessAnswer(*answer);
  EXPECT_EQ(board->GetParCount(), 17);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), whole) << "written over the copy that was read";
  conn->SetConnDocument(doc.get());
}

TEST_F(ChildConnTest, OnlyAnUploadOfTheAnsweringBoardAndWholeBecomesTheLibraryCopy)
{
  const QString identity = QStringLiteral("NORV DMX0512 v1.03");
  const QString text = BoardDescriptionText();
  QString damaged = text;
  damaged.replace(QStringLiteral("\nf2 "), QStringLiteral("\nf9 "));
  const QString misplaced =
      QString(text).replace(QStringLiteral("s=0; b=4; p=0; v=1"), QStringLiteral("s=0; b=5; p=0; v=1"));
  QString unnamed = text;
  unnamed.remove(QRegularExpression(QStringLiteral("Version = [^\\n]*\\n")));
  const QString cut = text.left(text.lastIndexOf(QStringLiteral("; u=")) + 4);
  // Complete but for its line end: the L line joined after it is ours.
  const QString unended = text.left(text.lastIndexOf(u';') + 1);
  const struct {
    const char *what;
    QString upload;
    QString version; // after the load
    bool stored;
    bool refused; // and said so
  } cases[] = {
      {"another board's description", QString(text).replace(identity, QStringLiteral("NORV DMX0512 v1.04")),
       QStringLiteral("NORV DMX0512 v1.04"), false, false},
      {"a description with refused lines", damaged, identity, false, true},
      {"a parameter on a block not sent", misplaced, identity, false, true},
      {"a description cut inside its last line", cut, identity, false, true},
      {"a description cut right after its last ';'", unended, identity, false, true},
      {"a description without a version line", unnamed, identity, true, false},
      {"the answering board's description", text, identity, true, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    env.prompter().asked.clear();
    HostedBoard hosted(sink);
    CQelDoc *board = &hosted.doc;
    conn->SetConnDocument(board);
    Online(identity);
    conn->OnInitDescriptions();
    auto answer = std::make_unique<CRequestPacket>(kWnd, 1, ANS_DESCRIPTION);
    answer->strVersion = c.upload;
    conn->ProcessAnswer(*answer);
    // Loaded as the board sent it either way.
    EXPECT_TRUE(board->AreDescriptionsLoaded());
    EXPECT_GT(board->GetParCount(), 0);
    EXPECT_EQ(board->GetVersion(), c.version);
    EXPECT_EQ(QDir(hosted.folder.path()).entryList(QDir::Files).size(), c.stored ? 1 : 0);
    EXPECT_EQ(QFile::exists(hosted.folder.path() + QStringLiteral("/!NORV_DMX0512_v1.03.vtx")), c.stored);
    EXPECT_EQ(board->GetRefusedLineCount() > 0, c.refused);
    const QString report = LoadStrFormat(IDS_LINES_REFUSED, board->GetRefusedLineCount(), board->GetFirstRefusedLine());
    // Said first: the standard items' boxes follow.
    EXPECT_EQ(!env.prompter().asked.empty() && env.prompter().asked.front().text == report, c.refused);
    conn->RequestGoOffline();
    sink.Clear();
  }
  conn->SetConnDocument(doc.get());
}

// Two boards on one line: the one that answered at 247 may describe itself
// as slave 3. The window keeps writing to the board it reached.
TEST_F(ChildConnTest, AnUploadKeepsTheWindowsSlaveAddress)
{
  for (const QString &line : {QStringLiteral("MODBUS = 3;"), QStringLiteral("MODBUS = 0;")}) {
    SCOPED_TRACE(line.toStdString());
    env.prompter().asked.clear();
    HostedBoard hosted(sink);
    CQelDoc *board = &hosted.doc;
    ASSERT_EQ(board->GetSlaveAddress(), 247);
    conn->SetConnDocument(board);
    Online(QStringLiteral("NORV DMX0512 v1.03"));
    conn->OnInitDescriptions();
    auto answer = std::make_unique<CRequestPacket>(kWnd, 247, ANS_DESCRIPTION);
    answer->strVersion = BoardDescriptionText().replace(QStringLiteral("MODBUS = 1;"), line);
    conn->ProcessAnswer(*answer);
    EXPECT_EQ(board->GetSlaveAddress(), 247);
    // Not taken, the line is not refused either: no box, and a copy is kept.
    EXPECT_TRUE(env.prompter().asked.empty());
    EXPECT_EQ(QDir(hosted.folder.path()).entryList(QDir::Files).size(), 1);
    sink.Clear();
    conn->WriteParameter(7, 1234, 1, 0); // max_speed typed
    ASSERT_FALSE(sink.queue.empty());
    for (const auto &request : sink.queue)
      EXPECT_EQ(request->slave, 247);
    conn->RequestGoOffline();
    sink.Clear();
  }
  conn->SetConnDocument(doc.get());
}

TEST_F(ChildConnTest, AFrameGoneWhileWaitingFreesTheDescriptionSlot)
{
  {
    TestConn other(99, &sink);
    auto board = std::make_unique<CQelDoc>();
    other.SetConnDocument(board.get());
    other.RequestGoOnline();
    other.ProcessAnswer(*sink.Take());
    other.OnInitDescriptions();
    EXPECT_EQ(g_hInitFrame, 99u);
    other.SetConnDocument(nullptr);
  }
  EXPECT_EQ(g_hInitFrame, kNoWindow);
}

// Each board command of the table: in a state where its rule holds it is
// enabled and running it reaches its handler (something is queued, asked or
// changed); where the rule does not hold it is disabled.
TEST_F(ChildConnTest, EachBoardCommandFollowsItsRuleAndReachesItsHandler)
{
  CQelDoc blank; // no descriptions
  const auto loaded = [&] {};
  const auto online = [&] { Online(); };
  const auto blankOnline = [&] {
    conn->SetConnDocument(&blank);
    Online();
  };
  const auto blankOffline = [&] { conn->SetConnDocument(&blank); };
  struct Case {
    int id;
    std::function<void()> holds;
    std::function<void()> fails; // empty: always enabled
  };
  const Case cases[] = {
      {Cmd::OnLine, loaded, {}},
      {Cmd::ToggleUnits, loaded, {}},
      {Cmd::ImportFile, [&] { conn->importFile = QStringLiteral("/nonexistent/old.par"); }, blankOffline},
      {Cmd::CompareFile, [&] { conn->importFile = QStringLiteral("/nonexistent/old.par"); }, blankOffline},
      {Cmd::Undo, [&] { doc->PushUndo(7, 20); }, online},
      {Cmd::ReadAll, online, loaded},
      {Cmd::WriteAll, online, blankOnline},
      {Cmd::EepSave1, online, loaded},
      {Cmd::EepLoad1, online, loaded},
      {Cmd::EepSave2,
       [&] {
         Online();
         conn->visLevel = 1;
       },
       online},
      {Cmd::EepLoad2,
       [&] {
         Online();
         conn->visLevel = 2;
       },
       online},
      {Cmd::DefLoad, online, loaded},
      {Cmd::InitDescriptions, blankOnline,
       [&] {
         blankOnline();
         g_hInitFrame = kWnd + 1; // another board waits for its description
       }},
      {Cmd::InitLanguage, [&] { conn->languageChoice = QStringLiteral("std"); }, blankOffline},
      {Cmd::Reset, online, loaded},
      {Cmd::FindFirstModified, loaded, blankOffline},
      {Cmd::FindNextModified, loaded, blankOffline},
      {Cmd::FindPrevModified, loaded, blankOffline},
  };
  const auto fresh = [&] {
    g_hInitFrame = kNoWindow;
    conn = std::make_unique<TestConn>(kWnd, &sink);
    doc = LoadExampleDoc();
    doc->SetHost(&docHost);
    conn->SetConnDocument(doc.get());
    sink.Clear();
  };
  const auto observed = [&] {
    return std::tuple(sink.queue.size(), env.prompter().asked.size(), conn->ConnectionBits(), doc->IsInternalUnits(),
                      doc->GetUndoList().size(), conn->storedLanguage);
  };
  std::set<int> seen;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.id);
    seen.insert(c.id);
    const commands::Row *row = commands::Find(c.id);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->scope, commands::Scope::Board);
    fresh();
    c.holds();
    EXPECT_TRUE(conn->IsCommandEnabled(c.id));
    const auto before = observed();
    EXPECT_TRUE(commands::RunBoardCommand(*conn, c.id));
    EXPECT_NE(observed(), before);
    if (c.fails) {
      fresh();
      c.fails();
      EXPECT_FALSE(conn->IsCommandEnabled(c.id));
    }
    conn->SetConnDocument(doc.get());
  }
  for (const commands::Row &row : commands::Table())
    EXPECT_TRUE(row.scope != commands::Scope::Board || seen.count(row.id)) << row.id;

  // Check marks: connected, and internal units.
  fresh();
  bool checked = true;
  EXPECT_TRUE(conn->IsCommandEnabled(Cmd::OnLine, &checked));
  EXPECT_FALSE(checked);
  Online();
  conn->OnToggleUnits();
  EXPECT_TRUE(conn->IsCommandEnabled(Cmd::OnLine, &checked));
  EXPECT_TRUE(checked);
  EXPECT_TRUE(conn->IsCommandEnabled(Cmd::ToggleUnits, &checked));
  EXPECT_TRUE(checked);
  g_hInitFrame = kNoWindow;
}

TEST_F(ChildConnTest, FindModifiedWalksAndSaysWhenThereIsNone)
{
  conn->OnFindFirstModified();
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_NO_MODIFIED_PARAMETERS));
  doc->GetPar(7).SetRawValue(100);
  doc->GetPar(8).SetRawValue(100);
  conn->OnFindFirstModified();
  const auto first = conn->GetFindPos();
  conn->OnFindNextModified();
  EXPECT_GT(conn->GetFindPos(), first);
  const auto last = conn->GetFindPos();
  conn->OnFindNextModified();
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_NO_MORE_MODIFIED));
  EXPECT_EQ(conn->GetFindPos(), last);
}

} // namespace

namespace {

TEST_F(ChildConnTest, BoardCommandsNeedASixteenBitPar0)
{
  auto floats =
      LoadDocText(Doc({QStringLiteral("f0 fl=0; m=-100; d=0; M=100; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;")}));
  conn->SetConnDocument(floats.get());
  Online();
  EXPECT_EQ(conn->GetCommandParIndex(), -1);
  EXPECT_FALSE(conn->WriteCommand(BoardCommand::EepromSave1));
  EXPECT_TRUE(sink.queue.empty());
  EXPECT_EQ(floats->GetStatusText(), LoadStr(IDS_NO_COMMAND_PAR));
  conn->SetConnDocument(doc.get());
}

TEST_F(ChildConnTest, KTableAnswersStayInsideTheTables)
{
  Online();
  auto k = std::make_unique<CRequestPacket>(kWnd, 1, REQ_K_TABLE);
  k->wAnsData.assign(300, 7);
  k->fAnsNTable.assign(300, 2.0f);
  conn->ProcessAnswer(*k);
  EXPECT_EQ(doc->GetKTable().size(), 2u);
  EXPECT_EQ(doc->GetKTable()[1], 7);
  EXPECT_EQ(doc->GetNTable().size(), 2u);
  EXPECT_FLOAT_EQ(doc->GetNTable()[1], 2.0f);
}

TEST_F(ChildConnTest, ImportOfAnUnreadableFileChangesNothing)
{
  conn->importFile = QStringLiteral("/nonexistent/old.vtx");
  const double before = doc->GetPar(7).GetValue(0);
  conn->ImportCompareFile(false);
  EXPECT_EQ(env.prompter().asked.back().text, LoadStrFormat(IDS_FILE_UNREADABLE, conn->importFile));
  EXPECT_EQ(doc->GetPar(7).GetValue(0), before);
  // Cancelled: nothing at all.
  conn->importFile.clear();
  const auto asked = env.prompter().asked.size();
  conn->ImportCompareFile(true);
  EXPECT_EQ(env.prompter().asked.size(), asked);
  // Refused at once, for import and compare alike, with no report.
  QTemporaryDir dir;
  for (const QString &hostile : MakeHostileFiles(dir.path())) {
    for (const bool compare : {false, true}) {
      SCOPED_TRACE(hostile.toStdString());
      conn->importFile = hostile;
      QElapsedTimer clock;
      clock.start();
      conn->ImportCompareFile(compare);
      EXPECT_LT(clock.elapsed(), 2000);
      EXPECT_EQ(env.prompter().asked.back().text, LoadStrFormat(IDS_FILE_UNREADABLE, hostile));
    }
  }
  EXPECT_TRUE(env.launcher().opened.isEmpty());
  EXPECT_EQ(doc->GetPar(7).GetValue(0), before);
}

// Going offline in the middle of a write all replaces its status text, but
// not the text of a short answer that took the board offline.
TEST_F(ChildConnTest, ImportTakesTheBoardOfflineAndSaysSo)
{
  const QString offline = QStringLiteral("Offline");
  Online();
  conn->WriteAllParameters();
  conn->importFile = ExamplePath(QStringLiteral("demo-small.vtx"));
  conn->ImportCompareFile(false);
  EXPECT_EQ(conn->QueryState(), 0);
  EXPECT_EQ(doc->GetStatusText(), offline);
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_DATA_IMPORTED));

  // As Quit takes every board offline.
  Online();
  conn->WriteAllParameters();
  conn->GoOfflineSilently();
  EXPECT_EQ(doc->GetStatusText(), offline);

  Online();
  conn->WriteAllParameters();
  conn->Poll();
  const auto polls = sink.OfKind(REQ_READ_BLOCK);
  ASSERT_FALSE(polls.empty());
  const auto shortAnswer = AnswerOf(*polls[0]);
  conn->ProcessAnswer(*shortAnswer);
  EXPECT_EQ(conn->QueryState(), 0);
  EXPECT_EQ(doc->GetStatusText(), LoadStrFormat(IDS_SHORT_ANSWER, 0, int(shortAnswer->PktType.par.num_par)));
}

} // namespace

namespace {

TEST_F(ChildConnTest, ReadAllOfABoardWithoutParametersEndsWithItsKTable)
{
  auto bare = LoadDocText(Doc({QStringLiteral("v0 a; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;")}));
  ASSERT_TRUE(bare->AreDescriptionsLoaded());
  conn->SetConnDocument(bare.get());
  Online();
  conn->OnReadAll();
  ASSERT_EQ(sink.queue.size(), 1u);
  EXPECT_EQ(sink.queue[0]->message, REQ_K_TABLE);
  EXPECT_EQ(conn->GetReadState(), 2);
  Answer(*sink.queue[0], {4096});
  EXPECT_EQ(conn->GetReadState(), 4);
  EXPECT_EQ(bare->GetStatusText(), QStringLiteral("Read all param ...done!"));
  conn->SetConnDocument(doc.get());
}

} // namespace

namespace {

// A reply of zeros for a block request (the K table: a plausible table).
void Reply(CChildConn &conn, const CRequestPacket &request)
{
  if (request.message == REQ_K_TABLE)
    conn.ProcessAnswer(*AnswerOf(request, {4096, 1000}));
  else
    conn.ProcessAnswer(*AnswerOf(request, std::vector<uint16_t>(request.PktType.par.num_par, 0)));
}

TEST_F(ChildConnTest, EachReadAllAndWriteAllEndsWithItsOwnBlocks)
{
  Online();
  // Each run reaches the queue in one call that holds all its packets.
  auto take = [&] {
    std::vector<std::unique_ptr<CRequestPacket>> queued;
    queued.swap(sink.queue);
    EXPECT_EQ(sink.handed, std::vector<std::size_t>{queued.size()});
    for (std::size_t i = 1; i < queued.size(); ++i)
      EXPECT_EQ(queued[i]->PktType.par.step, queued[i - 1]->PktType.par.step + 1);
    sink.handed.clear();
    return queued;
  };
  const QString reading = QStringLiteral("Read all param ...");
  const QString read = QStringLiteral("Read all param ...done!");
  const QString written = QStringLiteral("Write all param ...done!");

  // A read all started while another still answers ends with its own blocks.
  conn->OnReadAll();
  auto r1 = take();
  ASSERT_EQ(r1.size(), 3u);
  Reply(*conn, *r1[0]);
  Reply(*conn, *r1[1]);
  conn->OnReadAll();
  auto r2 = take();
  ASSERT_EQ(r2.size(), 3u);
  Reply(*conn, *r1[2]);
  Reply(*conn, *r2[0]);
  Reply(*conn, *r2[1]);
  EXPECT_EQ(conn->GetReadState(), 2);
  EXPECT_EQ(doc->GetStatusText(), reading);
  Reply(*conn, *r2[2]);
  EXPECT_EQ(conn->GetReadState(), 4);
  EXPECT_EQ(doc->GetStatusText(), read);

  // The backup's read all (code 126) during a write all.
  conn->WriteAllParameters();
  auto w = take();
  ASSERT_GT(w.size(), 3u);
  Reply(*conn, *w[0]);
  conn->BackupReadAll();
  auto r3 = take();
  for (std::size_t i = 1; i < w.size(); ++i)
    Reply(*conn, *w[i]);
  EXPECT_EQ(doc->GetStatusText(), written);
  EXPECT_EQ(conn->GetReadState(), 3);
  for (const auto &pkt : r3)
    Reply(*conn, *pkt);
  EXPECT_EQ(conn->GetReadState(), 4);

  // A write all during a read all: each says done after its own blocks.
  conn->OnReadAll();
  auto r4 = take();
  conn->WriteAllParameters();
  auto w2 = take();
  for (std::size_t i = 0; i + 1 < w2.size(); ++i)
    Reply(*conn, *w2[i]);
  for (const auto &pkt : r4)
    Reply(*conn, *pkt);
  EXPECT_EQ(doc->GetStatusText(), read);
  Reply(*conn, *w2.back());
  EXPECT_EQ(doc->GetStatusText(), written);
}

// Offline during a write all takes the window's requests off the queue and
// says in one box how far the board got; a read all stops without a word.
TEST_F(ChildConnTest, OfflineStopsAWriteAllAndSaysHowFarTheBoardGot)
{
  const auto &asked = env.prompter().asked;
  const QString mix = QStringLiteral("Its parameters may now hold a mix of old and new values.");
  const auto oneOnTheLine = [&](int blocks) {
    return QStringLiteral(
               "Write all stopped: the board had confirmed 1 of the %1 blocks.\n1 more had been sent and may "
               "have been written too.\n")
               .arg(blocks) +
           mix;
  };
  Online();
  conn->WriteAllParameters();
  const int blocks = static_cast<int>(sink.queue.size());
  ASSERT_GT(blocks, 3);
  Reply(*conn, *sink.Take());
  Reply(*conn, *sink.Take());
  doc->AddExtraPollPar(7);
  conn->Poll();
  const int shown = conn->statusShown;
  conn->OnOnLine();
  ASSERT_EQ(sink.queue.size(), 1u);
  EXPECT_EQ(sink.queue[0]->message, REQ_GO_OFFLINE);
  // The status says so at once, not at the next status text.
  EXPECT_EQ(doc->GetStatusText(), QStringLiteral("Offline"));
  EXPECT_GT(conn->statusShown, shown);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.back().text,
            QStringLiteral("Write all stopped: the board had confirmed 2 of the %1 blocks.\n").arg(blocks) + mix);

  // A block sent but unanswered when it stops may have been written too.
  Online();
  conn->WriteAllParameters();
  Reply(*conn, *sink.Take());
  auto onTheLine = sink.Take();
  conn->GoOffline();
  EXPECT_EQ(asked.back().text, oneOnTheLine(blocks));

  // The blocks dropped are counted against the newest write all first.
  Online();
  conn->WriteAllParameters();
  conn->WriteAllParameters();
  ASSERT_EQ(sink.queue.size(), 2u * blocks);
  Reply(*conn, *sink.Take());
  onTheLine = sink.Take();
  conn->OnOnLine();
  EXPECT_EQ(asked.back().text, oneOnTheLine(blocks));

  const std::size_t boxes = asked.size();
  Online();
  conn->OnReadAll();
  conn->OnOnLine();
  EXPECT_EQ(asked.size(), boxes);
}

TEST_F(ChildConnTest, APacketThatCannotBeMadeSaysSoAndStopsOnlyItsOperation)
{
  doc->SetHost(&docHost);
  Online();
  std::set<uint16_t> failing;
  PacketFailure failure([&](uint16_t kind) { return failing.count(kind) != 0; });
  const auto asked = [&] { return env.prompter().asked.size(); };
  const QString noMemory = QStringLiteral("Not enought memory!");

  // Read all: what was queued stays, and the read all never ends as done.
  failing = {REQ_READ_BLOCK};
  conn->OnReadAll();
  EXPECT_EQ(env.prompter().asked.back().text, noMemory);
  EXPECT_EQ(env.prompter().asked.back().type & MB_ICONMASK, unsigned(MB_ICONWARNING));
  ASSERT_EQ(sink.queue.size(), 1u);
  EXPECT_EQ(conn->GetReadState(), 0);
  Reply(*conn, *sink.Take());
  EXPECT_NE(doc->GetStatusText(), QStringLiteral("Read all param ...done!"));

  // A single write goes out without its read-back; code 127 then fails.
  failing = {REQ_READ_ONE};
  auto before = asked();
  EXPECT_FALSE(conn->WriteParameter(7, 100, 1, 0));
  ASSERT_EQ(sink.queue.size(), 1u);
  EXPECT_EQ(sink.queue[0]->message, REQ_WRITE_ONE);
  EXPECT_EQ(asked(), before + 1);
  conn->EepromSaveAll();
  EXPECT_EQ(conn->GetCmdState(), 0);

  // The reset write: said, not written, no longer pending.
  sink.Clear();
  failing = {REQ_WRITE_ONE};
  doc->RequestSwSetRead();
  Answer(*sink.Take(), {3});
  EXPECT_TRUE(sink.queue.empty());
  EXPECT_FALSE(doc->IsResetPending());
  EXPECT_EQ(env.prompter().asked.back().text, noMemory);

  // Polls, the status block and going offline skip without a word.
  failing = {REQ_READ_VARS, REQ_READ_BLOCK, REQ_GO_OFFLINE, REQ_K_TABLE};
  before = asked();
  doc->AddExtraPollPar(7);
  conn->Poll();
  conn->RequestGoOffline();
  EXPECT_TRUE(sink.queue.empty());
  EXPECT_EQ(asked(), before);

  // Going online says so and stays offline: no procedure waits on it.
  failing = {REQ_GO_ONLINE};
  conn->RequestGoOnline();
  EXPECT_EQ(asked(), before + 1);
  EXPECT_EQ(conn->QueryState(), 0);
  EXPECT_EQ(conn->GetReadState(), 0);
  doc->SetHost(nullptr);
}

TEST_F(ChildConnTest, BoardNumbersBeyondAnIntAreNeverCastPlainly)
{
  Online();
  // A float variable answering NaN (motor_power at 100).
  auto nan = std::make_unique<CRequestPacket>(kWnd, 1, REQ_READ_VARS);
  nan->PktType.var.first_var = 100;
  nan->PktType.var.num_var = 2;
  Answer(*nan, {0xFFFF, 0xFFFF});

  // A float parameter far beyond an int; a 32-bit variable scaled beyond one
  // shows its raw integer in internal units.
  auto scaled = LoadDocText(QStringLiteral("Version = TEST 1;\nK[] = 4096;\nN[] = 1000;\nU[] = rpm;\n"
                                           "b1 Main#0; b=0; a=0;\n"
                                           "f0 fl=0; m=-3e38; d=0; M=3e38; k=-1; n=-1; s=0; b=1; p=2; v=0; a=0; u=-1;\n"
                                           "w0 big; k=-1; n=0; s=0; b=1; p=0; v=0; a=0; u=-1;\n"));
  conn->SetConnDocument(scaled.get());
  Online();
  auto huge = std::make_unique<CRequestPacket>(kWnd, 1, REQ_READ_BLOCK);
  huge->PktType.par.first_par = 2;
  huge->PktType.par.num_par = 2;
  Answer(*huge, {FloatLowWord(3e38), FloatHighWord(3e38)});
  EXPECT_FLOAT_EQ(float(scaled->GetPar(0).GetValue(0)), 3e38f);
  auto &rows = scaled->GetVarRows();
  if (rows.empty())
    rows.resize(1);
  rows[0].index = 0;
  auto poll = std::make_unique<CRequestPacket>(kWnd, 1, REQ_READ_VARS);
  poll->PktType.var.first_var = 0;
  poll->PktType.var.num_var = 2;
  Answer(*poll, {0xFFFF, 0x7FFF});
  EXPECT_EQ(rows[0].uiText, QStringLiteral("2147483647"));
  conn->SetConnDocument(doc.get());
}

} // namespace

namespace {

// Writes down, in order, what an answer does to the window, the lists and
// the views, with the document state each step sees.
class OrderConn : public TestConn, public CView, public IDocVarList {
public:
  OrderConn(WindowId id, RecordingSink *sink) : TestConn(id, sink), m_sink(sink) {}

  std::vector<QString> log;

  void OnUpdate(CView *, long hint, QObject *) override { log.push_back(QStringLiteral("update %1").arg(hint, 0, 16)); }
  void InvalidateRow(int row) override
  {
    const auto &rows = GetConnDocument()->GetVarRows();
    log.push_back(QStringLiteral("row %1 refresh=%2").arg(row).arg(row >= 0 ? rows[row].refresh : -1));
  }

protected:
  void ShowStatusText() override
  {
    const CQelDoc &d = *GetConnDocument();
    log.push_back(QStringLiteral("status undo=%1 modified=%2").arg(d.GetUndoList().size()).arg(d.IsModified()));
  }
  void SetStateIcon(int id) override { log.push_back(QStringLiteral("icon %1").arg(id)); }
  void FillParList() override
  {
    log.push_back(QStringLiteral("fill edit=%1").arg(GetConnDocument()->NeedsEditorReopen()));
  }
  void UpdateWinCmdText() override
  {
    log.push_back(QStringLiteral("wincmd %1 k=%2")
                      .arg(GetConnDocument()->GetWinCmdValue())
                      .arg(m_sink->OfKind(REQ_K_TABLE).size()));
  }

private:
  RecordingSink *m_sink;
};

} // namespace

TEST_F(ChildConnTest, AnswersKeepTheOrderOfTheirEffects)
{
  OrderConn order(kWnd, &sink);
  order.SetConnDocument(doc.get());
  doc->AddView(&order);
  doc->SetVarListView(&order);
  order.RequestGoOnline();
  order.ProcessAnswer(*AnswerOf(*sink.Take()));
  sink.Clear();
  order.log.clear();
  doc->SetModifiedFlag(false);

  // A marked, tracked read-back of a trace setting.
  auto read = std::make_unique<CRequestPacket>(kWnd, 1, REQ_READ_ONE);
  read->PktType.par.first_par = 202; // trig_lev_neg
  read->PktType.par.num_par = 1;
  read->PktType.par.mark = 1;
  read->track = 1;
  order.ProcessAnswer(*AnswerOf(*read, {7}));
  EXPECT_EQ(order.log, (std::vector<QString>{"status undo=1 modified=1", "fill edit=1", "update a000",
                                             "status undo=1 modified=1"}));
  EXPECT_EQ(doc->GetTraceValue(CQelDocContainer::TRACE_TRIG_NEG), 7.0f);

  // A status-block poll: each variable's rows, then its own hook; the icon last.
  order.log.clear();
  auto status = std::make_unique<CRequestPacket>(kWnd, 1, REQ_READ_VARS);
  status->PktType.var.first_var = 9900;
  status->PktType.var.num_var = 5;
  order.ProcessAnswer(*AnswerOf(*status, {1, 0, 0x600, 10000, 100}));
  EXPECT_EQ(order.log,
            (std::vector<QString>{"row 4 refresh=1", "row 5 refresh=1", "row 3 refresh=1", "wincmd 10000 k=1",
                                  "row 0 refresh=1", QStringLiteral("icon %1").arg(StateIcon::ErrorStop)}));

  // The K table: the list refills, then the text.
  order.log.clear();
  order.ProcessAnswer(*AnswerOf(*sink.OfKind(REQ_K_TABLE)[0], {4096, 1000}));
  EXPECT_EQ(order.log, (std::vector<QString>{"fill edit=1", "status undo=1 modified=1"}));

  // A read all: the last block says done before the list refills.
  sink.Clear();
  order.OnReadAll();
  order.ProcessAnswer(*AnswerOf(*sink.queue[0], {4096, 1000}));
  order.log.clear();
  order.ProcessAnswer(*AnswerOf(*sink.queue[1], std::vector<uint16_t>(113, 0)));
  order.ProcessAnswer(*AnswerOf(*sink.queue[2], std::vector<uint16_t>(8, 3)));
  EXPECT_EQ(order.log, (std::vector<QString>{"fill edit=1", "update a000", "status undo=1 modified=1", "fill edit=1",
                                             "update a000", "status undo=1 modified=1"}));
  doc->SetVarListView(nullptr);
}
