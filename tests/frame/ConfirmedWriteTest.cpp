#include "FakeDocHost.h"
#include "FrameTestSupport.h"
#include "TestSupport.h"

#include "controls/XListCtrl.h"
#include "frame/ChildFrm.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"
#include "modbus/SerCodes.h"
#include "platform/Format.h"
#include "views/ListaPar.h"
#include "views/ViewState.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

constexpr std::int16_t kMaxSpeed = 7, kPar0 = 5, kSwSet = 6, kTrigPos = 10; // demo-small

// One board window online over a recording sink, with the real parameter
// list; the test answers its requests in queue order, as the worker would.
class ConfirmedWrite : public ::testing::Test {
protected:
  void SetUp() override
  {
    CChildFrame::SetPaneFactory(CChildFrame::ParList, [this](CQelDoc &d, CChildFrame &) {
      list = new CParListView;
      d.AddView(list);
      list->OnInitialUpdate();
      return list;
    });
    frame.SetRequestSink(&sink);
    child = frame.AddChildFrame(doc.get());
    doc->SetHost(&host);
    host.PassTo(sink);
    doc->SetSelectedBlock(2); // max_speed's
    doc->RequestParListUpdate();
    doc->UpdateAllViews(nullptr, views::HINT_PAR_LIST);
    ASSERT_FALSE(Row(kMaxSpeed).isEmpty());
    GoOnline();
  }
  void TearDown() override
  {
    CChildFrame::SetPaneFactory(CChildFrame::ParList, {});
    child->SetSaveAnswered();
    delete child;
  }
  void GoOnline()
  {
    sink.Clear();
    frame.SetActiveChild(child->GetAnswerWindow());
    child->OnOnLine();
    AnswerGoOnline(frame, sink, *doc);
    ASSERT_TRUE(doc->IsOnline());
    sink.Clear();
  }
  // The oldest request answered with words, or failed as the worker fails it.
  void Answer(std::vector<uint16_t> words = {}) { frame.RouteAnswer(*AnswerOf(*sink.Take(), std::move(words))); }
  void Fail(uint16_t error, const char16_t *text)
  {
    auto failed = AnswerOf(*sink.Take());
    failed->error = error;
    failed->strVersion = vtx::Format(text, failed->slave);
    frame.RouteAnswer(*failed);
  }
  double Value(int p) const { return doc->GetPar(p).GetValue(0); }
  QString Row(int p) const
  {
    return list->GetListCtrl()->GetItemText(list->FindRowByFirstColumn(QString::asprintf("%4d", p)),
                                            CParListView::COL_UI);
  }

  TestEnvironment env;
  RecordingSink sink;
  FakeDocHost host;
  CMainFrame frame{false};
  std::unique_ptr<CQelDoc> doc = LoadExampleDoc();
  CChildFrame *child = nullptr;
  CParListView *list = nullptr; // owned by the child's splitter
};

TEST_F(ConfirmedWrite, ALostReadBackKeepsWhatTheBoardConfirmedARefusedWriteNothing)
{
  ASSERT_EQ(Value(kMaxSpeed), 1500);
  doc->WriteParValue(kMaxSpeed, 2500);              // typed in the list
  Answer();                                         // the write's echo
  Fail(kSerErrTimeout, u"No answer from slave %d"); // its read-back
  EXPECT_FALSE(doc->IsOnline());
  EXPECT_EQ(doc->GetStatusText(), QStringLiteral("No answer from slave 1"));
  EXPECT_EQ(Value(kMaxSpeed), 2500);
  EXPECT_EQ(Row(kMaxSpeed), QStringLiteral("2500"));
  const QString path = host.dir.filePath(QStringLiteral("saved.vtx"));
  ASSERT_TRUE(doc->OnSaveDocument(path));
  QFile saved(path);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_TRUE(saved.readAll().contains("max_speed=2500;"));

  // Refused: the window goes offline and the value stays.
  GoOnline();
  const double before = Value(kMaxSpeed);
  doc->WriteParValue(kMaxSpeed, 2700);
  Fail(kSerErrException, u"Slave %d answered with exception 3 (Illegal data value)");
  EXPECT_FALSE(doc->IsOnline());
  EXPECT_EQ(Value(kMaxSpeed), before);
}

TEST_F(ConfirmedWrite, TheReadBackHasTheLastWordAndTheProceduresWaitForIt)
{
  // A board that limits the value: one step back to the value before.
  doc->WriteParValue(kMaxSpeed, 2500);
  Answer();
  EXPECT_EQ(Value(kMaxSpeed), 2500);
  Answer({2000});
  EXPECT_EQ(Value(kMaxSpeed), 2000);
  child->OnUndo();
  ASSERT_EQ(sink.OfKind(REQ_WRITE_ONE).size(), 1u);
  EXPECT_EQ(sink.OfKind(REQ_WRITE_ONE)[0]->wData, (std::vector<uint16_t>{1500}));
  EXPECT_TRUE(doc->GetUndoList().empty());
  sink.Clear();

  // A typed command keeps one step.
  doc->WriteParValue(kPar0, 1234);
  Answer();
  Answer({1234});
  EXPECT_EQ(doc->GetUndoList().size(), 1u);

  // The EEPROM procedures wait for the read-back.
  child->EepromSaveAll();
  Answer();
  EXPECT_EQ(child->GetCmdState(), BoardStep::Busy);
  Answer({BoardCommand::EepromSave1});
  EXPECT_EQ(child->GetCmdState(), BoardStep::Done);

  // The reset write is the board's business: its bit is not kept.
  child->OnReset();
  Answer({3}); // the read of is_sw_set, which queues the write at the head
  ASSERT_EQ(sink.OfKind(REQ_WRITE_ONE).size(), 1u);
  Answer();
  EXPECT_EQ(Value(kSwSet), 3);

  // The trace settings take the confirmed value before its read-back.
  child->WriteSetting(kTrigPos, 1500);
  Answer();
  EXPECT_EQ(doc->GetTraceValue(CQelDocContainer::TRACE_TRIG_POS), 1500);
}

} // namespace
