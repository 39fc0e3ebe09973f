#include "MainFrameFixture.h"

#include "frame/StatusBarCtrls.h"

#include "model/generali.h"
#include "platform/StringIds.h"

#include <utility>

namespace {

using namespace mainframe_test;

class MainProceduresTest : public MainFrameTest {
protected:
  // As the Graphics page's OK does.
  void SetTimer(bool on)
  {
    frame->GetOptions().Start_Timer.Set(on ? 1 : 0);
    frame->ApplyTimerAndTabs();
  }
  // The boards answer as if online, and the scheduler runs.
  void TickOnline(std::initializer_list<FakeChild *> boards, int ticks = 3)
  {
    for (FakeChild *b : boards) {
      b->bits = 8;
      b->readState = b->cmdState = 2;
    }
    for (int i = 0; i < ticks; ++i)
      frame->OnSchedulerTick();
  }
};

TEST_F(MainProceduresTest, SchedulerPollsOnlineBoardsInTurnWhileTheQueueIsShort)
{
  FakeChild a(*frame), b(*frame), c(*frame), off(*frame);
  a.bits = b.bits = c.bits = 8;
  for (int i = 0; i < 3; ++i)
    frame->OnSchedulerTick();
  EXPECT_EQ(a.Count(Call::Poll), 1);
  EXPECT_EQ(b.Count(Call::Poll), 1);
  EXPECT_EQ(c.Count(Call::Poll), 1);
  EXPECT_EQ(off.Count(Call::Poll), 0);
  sink.waiting = 5;
  frame->OnSchedulerTick();
  EXPECT_EQ(a.Count(Call::Poll) + b.Count(Call::Poll) + c.Count(Call::Poll), 3);
  // No idle request while a board is connected.
  sink.active = 1;
  frame->OnSchedulerTick();
  EXPECT_TRUE(sink.OfKind(REQ_IDLE).empty());
}

TEST_F(MainProceduresTest, IdleRequestGoesAtTheHeadWhenNoBoardIsConnected)
{
  FakeChild a(*frame);
  sink.active = 1;
  auto waiting = Packet(a.id, REQ_READ_VARS);
  CRequestPacket *raw = waiting.release();
  sink.AddRequest(raw);
  frame->OnSchedulerTick();
  frame->OnSchedulerTick();
  ASSERT_EQ(sink.queue.size(), 3u);
  EXPECT_EQ(sink.queue[0]->message, REQ_IDLE);
  EXPECT_EQ(sink.queue[0]->slave, 0);
  EXPECT_EQ(sink.queue[0]->hWnd, WindowRegistry::Instance().IdOf(frame.get()));
  EXPECT_EQ(frame->ActivityBitmap()->CurrentBitmap(), CExtBitmap::kBitmapActive);
  sink.active = 0;
  frame->OnSchedulerTick();
  EXPECT_EQ(frame->ActivityBitmap()->CurrentBitmap(), CExtBitmap::kBitmapIdle);
}

TEST_F(MainProceduresTest, BackupAllReadsEveryBoardThenAsksToSave)
{
  FakeChild a(*frame), b(*frame);
  env.prompter().AnswerMessage(IDOK);
  frame->OnBackupAll();
  EXPECT_EQ(frame->GetBackupState(), 1);
  EXPECT_EQ(a.Count(Call::GoOnline), 1);
  EXPECT_FALSE(frame->IsCommandEnabled(Cmd::BackupAll));
  frame->OnSchedulerTick(); // still connecting
  EXPECT_EQ(frame->GetBackupState(), 1);
  a.bits = b.bits = 8;
  a.readState = b.readState = 2;
  frame->OnSchedulerTick();
  EXPECT_EQ(frame->GetBackupState(), 2);
  EXPECT_EQ(a.Count(Call::BackupReadAll), 1);
  // No polling during a backup.
  EXPECT_EQ(a.Count(Call::Poll) + b.Count(Call::Poll), 0);
  a.readState = 4;
  frame->OnSchedulerTick();
  EXPECT_EQ(frame->GetBackupState(), 2);
  b.readState = 4;
  env.prompter().AnswerMessage(IDYES);
  frame->OnSchedulerTick();
  EXPECT_EQ(frame->GetBackupState(), 0);
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_ALL_BACKUP_DONE));
  EXPECT_EQ(a.bits, 0); // offline before the question
  EXPECT_EQ(a.Count(Call::SaveBackup), 1);
  EXPECT_EQ(b.Count(Call::SaveBackup), 1);
}

TEST_F(MainProceduresTest, BackupAllAbortsWhenABoardFails)
{
  FakeChild a(*frame), b(*frame);
  env.prompter().AnswerMessage(IDOK);
  frame->OnBackupAll();
  a.readState = 2;
  b.readState = 0;
  frame->OnSchedulerTick();
  EXPECT_EQ(frame->GetBackupState(), 0);
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_BACKUP_CANT_CONNECT));
  EXPECT_EQ(a.Count(Call::GoOffline), 1);
  EXPECT_TRUE(frame->IsCommandEnabled(Cmd::BackupAll));
  // In the second state a refused read all aborts with 505.
  env.prompter().AnswerMessage(IDOK);
  frame->OnBackupAll();
  a.readState = b.readState = 2;
  frame->OnSchedulerTick();
  b.readState = 0;
  frame->OnSchedulerTick();
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_BACKUP_ERROR));
}

TEST_F(MainProceduresTest, EepromAllSavesEveryBoardAndKeepsPolling)
{
  auto a = std::make_unique<FakeChild>(*frame);
  env.prompter().AnswerMessage(IDOK);
  frame->OnMemorizeAllToEEP();
  EXPECT_EQ(frame->GetEEPState(), 1);
  a->bits = 8;
  a->cmdState = 2;
  frame->OnSchedulerTick();
  EXPECT_EQ(a->Count(Call::EepromSaveAll), 1);
  EXPECT_EQ(a->Count(Call::Poll), 1);
  a->cmdState = 4;
  frame->OnSchedulerTick();
  EXPECT_EQ(frame->GetEEPState(), 0);
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_ALL_SAVED_TO_EEP));
  // A window closed mid-way: the procedure ends without a word.
  env.prompter().AnswerMessage(IDOK);
  frame->OnMemorizeAllToEEP();
  const auto asked = env.prompter().asked.size();
  a.reset();
  frame->OnSchedulerTick();
  EXPECT_EQ(frame->GetEEPState(), 0);
  EXPECT_EQ(env.prompter().asked.size(), asked);
  // Nothing open: its own message.
  frame->OnMemorizeAllToEEP();
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_NOTHING_TO_EEP));
}

TEST_F(MainProceduresTest, EepromAllEndsWithItsErrorWhenABoardCannotTakeTheCommand)
{
  // par0 must be a 16-bit parameter: this board has none there.
  auto doc = LoadDocText(QStringLiteral("Version = TEST 1;\nK[] = 4096;\nN[] = 0.1;\nU[] = rpm;\n"
                                        "b1 Main#0; b=0; a=0;\n"
                                        "f0 fl=0; m=-100; d=0; M=100; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\n"));
  frame->AddChildFrame(doc.get());
  env.prompter().AnswerMessage(IDOK);
  frame->OnMemorizeAllToEEP();
  AnswerGoOnline(*frame, sink, *doc);
  ASSERT_TRUE(doc->IsOnline());
  frame->OnSchedulerTick(); // the save command cannot go
  frame->OnSchedulerTick();
  EXPECT_EQ(frame->GetEEPState(), 0);
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_EEP_ERROR));
  EXPECT_FALSE(doc->IsOnline());
}

TEST_F(MainProceduresTest, BackupMarksItsStateBeforeSendingTheBoardsOnlineEepromAfter)
{
  // What a board sees of both states when it is sent online.
  struct Watching : FakeChild {
    explicit Watching(CMainFrame &f) : FakeChild(f), main(f) {}
    int GoOnline() override
    {
      seen.emplace_back(main.GetBackupState(), main.GetEEPState());
      return FakeChild::GoOnline();
    }
    CMainFrame &main;
    std::vector<std::pair<int, int>> seen;
  } board(*frame);
  env.prompter().AnswerMessage(IDOK);
  frame->OnBackupAll();
  // Either blocks both: the one that ends would end the other.
  EXPECT_FALSE(frame->IsCommandEnabled(Cmd::MemorizeAllToEEP));
  frame->ResetAllProcedures();
  env.prompter().AnswerMessage(IDOK);
  frame->OnMemorizeAllToEEP();
  EXPECT_FALSE(frame->IsCommandEnabled(Cmd::BackupAll));
  EXPECT_EQ(board.seen, (std::vector<std::pair<int, int>>{{1, 0}, {0, 0}}));
  EXPECT_EQ(frame->GetEEPState(), 1);
  frame->ResetAllProcedures();
  EXPECT_EQ(frame->GetEEPState(), 0);
}

TEST_F(MainProceduresTest, WithoutTheTimerTheProceduresStartNothingAndSayWhy)
{
  FakeChild a(*frame), b(*frame);
  SetTimer(false);
  frame->OnMemorizeAllToEEP();
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_PROCEDURE_NEEDS_TIMER));
  frame->OnBackupAll();
  EXPECT_EQ(env.prompter().asked.size(), 2u); // no question either time
  EXPECT_EQ(a.Count(Call::GoOnline) + b.Count(Call::GoOnline), 0);
  EXPECT_TRUE(sink.queue.empty());
  // Switched on again, nothing was left pending.
  SetTimer(true);
  TickOnline({&a, &b});
  EXPECT_EQ(a.Count(Call::EepromSaveAll) + a.Count(Call::BackupReadAll), 0);
  EXPECT_TRUE(sink.queue.empty());
}

TEST_F(MainProceduresTest, StoppingTheTimerEndsARunningProcedureForGood)
{
  FakeChild a(*frame), b(*frame);
  // Memorize still going online.
  env.prompter().AnswerMessage(IDOK);
  frame->OnMemorizeAllToEEP();
  SetTimer(false);
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_EEP_ERROR));
  EXPECT_EQ(frame->GetEEPState(), 0);
  EXPECT_EQ(a.Count(Call::GoOffline), 1);
  EXPECT_EQ(b.Count(Call::GoOffline), 1);
  SetTimer(true);
  TickOnline({&a, &b});
  EXPECT_EQ(a.Count(Call::EepromSaveAll) + b.Count(Call::EepromSaveAll), 0);
  // A backup whose reads run.
  env.prompter().AnswerMessage(IDOK);
  frame->OnBackupAll();
  TickOnline({&a, &b}, 1);
  ASSERT_EQ(a.Count(Call::BackupReadAll), 1);
  SetTimer(false);
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_BACKUP_ERROR));
  EXPECT_EQ(frame->GetBackupState(), 0);
  SetTimer(true);
  TickOnline({&a, &b});
  EXPECT_EQ(a.Count(Call::BackupReadAll), 1);
  // Switched off with nothing running: no box.
  const auto asked = env.prompter().asked.size();
  SetTimer(false);
  EXPECT_EQ(env.prompter().asked.size(), asked);
}

// A box shown while a board goes offline runs the timer: the procedure that
// just ended must not be found failed by that tick.
TEST_F(MainProceduresTest, ATickWhileTheBoardsGoOfflineFindsTheProcedureOver)
{
  struct TickingChild : FakeChild {
    using FakeChild::FakeChild;
    CMainFrame *main = nullptr;
    bool ticked = false;
    int GoOffline() override
    {
      const int was = FakeChild::GoOffline();
      if (!std::exchange(ticked, true))
        main->OnSchedulerTick();
      return was;
    }
  } a(*frame);
  a.main = frame.get();
  env.prompter().AnswerMessage(IDOK);
  frame->OnBackupAll();
  TickOnline({&a}, 2);
  ASSERT_EQ(a.Count(Call::BackupReadAll), 1);
  a.readState = 4;
  env.prompter().AnswerMessage(IDNO);
  frame->OnSchedulerTick();
  ASSERT_EQ(env.prompter().asked.size(), 2u);
  EXPECT_EQ(env.prompter().asked.back().text, LoadStr(IDS_ALL_BACKUP_DONE));
}

} // namespace
