#include "SerialTestSupport.h"
#include "TestSupport.h"

#include "modbus/SerCodes.h"

#include "platform/Cp1252.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t)
{
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

bool HasNote(const std::vector<std::pair<unsigned, long>> &notes, unsigned code)
{
  for (const auto &n : notes)
    if (n.first == code)
      return true;
  return false;
}

// A manager talking to a fresh simulated board.
class BoardLink : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(sim.Started()) << "boardsim did not start";
    link = std::make_unique<ManagerFixture>(sim.Device());
  }

  std::unique_ptr<CRequestPacket> Read(uint16_t kind, uint16_t first, uint16_t count)
  {
    return link->Exchange(MakeRead(kind, first, count));
  }

  BoardSimProcess sim;
  std::unique_ptr<ManagerFixture> link;
};

} // namespace

// ---- queues, without a worker or a wire ----------------------------------

TEST(SerManagerQueue, QueuingTakesOwnershipAndDropsASecondWaitingIdleRequest)
{
  CSerManager manager(kNoWindow); // no worker: requests stay queued
  CRequestPacket *p = new CRequestPacket(kNoWindow, 1, REQ_READ_ONE);
  manager.AddRequest(p);
  EXPECT_EQ(p, nullptr);
  CRequestPacket *idle = new CRequestPacket(kNoWindow, 0, REQ_IDLE);
  manager.AddHeadRequest(idle);
  EXPECT_EQ(idle, nullptr);
  idle = new CRequestPacket(kNoWindow, 0, REQ_IDLE);
  manager.AddHeadRequest(idle); // deleted, not queued (ASan would see a leak otherwise)
  EXPECT_EQ(idle, nullptr);
  CRequestPacket *none = nullptr;
  manager.AddRequest(none);
  EXPECT_EQ(manager.GetReqPktListSize(), 2);
  EXPECT_EQ(manager.GetAnsPktListSize(), 0);
  EXPECT_EQ(manager.GetAnsware(), nullptr);
  EXPECT_EQ(manager.IsActive(), 0);
  // The destructor frees what is still queued.
}

TEST(SerManagerQueue, DeviceRuleAndOverrides)
{
  EXPECT_EQ(CSerManager::DeviceForPort(1), QStringLiteral("/dev/ttyUSB0"));
  EXPECT_EQ(CSerManager::DeviceForPort(12), QStringLiteral("/dev/ttyUSB11"));
  EXPECT_EQ(CSerManager::DeviceForPort(0), QStringLiteral("/dev/ttyUSB0"));
  CSerManager manager(kNoWindow);
  manager.SetCommParam(3, 19200, 2, 300, 16, 5, 1);
  qputenv("VELOTRIX_SERIAL_DEVICE", "/dev/pts/77");
  EXPECT_EQ(manager.DevicePath(), QStringLiteral("/dev/pts/77"));
  manager.SetDevicePath(QStringLiteral("/tmp/board"));
  EXPECT_EQ(manager.DevicePath(), QStringLiteral("/tmp/board"));
  manager.SetDevicePath({});
  qunsetenv("VELOTRIX_SERIAL_DEVICE");
  EXPECT_EQ(manager.DevicePath(), QStringLiteral("/dev/ttyUSB2"));
}

TEST(SerManagerQueue, BadSlaveAndBadRequestsAreAnsweredWithoutOpeningThePort)
{
  ManagerFixture link(QStringLiteral("/nonexistent/tty")); // any open would fail with another code
  const auto start = Clock::now();
  auto zero = link.Exchange(MakeRead(REQ_READ_BLOCK, 0, 1, 0));
  auto high = link.Exchange(MakeRead(REQ_READ_BLOCK, 0, 1, 248));
  auto empty = link.Exchange(MakeRead(REQ_READ_BLOCK, 10, 0));
  auto beyond = link.Exchange(MakeRead(REQ_READ_VARS, 9999, 2));
  auto tooMany = link.Exchange(MakeRead(REQ_WRITE_BLOCK, 0, 3)); // wData holds no words
  auto unknown = link.Exchange(new CRequestPacket(kNoWindow, 1, 99));
  ASSERT_TRUE(zero && high && empty && beyond && tooMany && unknown);
  EXPECT_EQ(zero->error, kSerErrBadSlave);
  EXPECT_EQ(high->error, kSerErrBadSlave);
  EXPECT_EQ(empty->error, kSerErrBadRequest);
  EXPECT_EQ(beyond->error, kSerErrBadRequest);
  EXPECT_EQ(tooMany->error, kSerErrBadRequest);
  EXPECT_EQ(unknown->error, kSerErrBadRequest);
  EXPECT_FALSE(zero->strVersion.isEmpty());
  EXPECT_LT(MsSince(start), 500);
  EXPECT_FALSE(HasNote(link.Notes(), kSerPortOpened));
  // Kinds the manager answers itself need no port either, whatever the slave.
  auto offline = link.Exchange(new CRequestPacket(kNoWindow, 0, REQ_GO_OFFLINE));
  auto idle = link.Exchange(new CRequestPacket(kNoWindow, 0, REQ_IDLE));
  ASSERT_TRUE(offline && idle);
  EXPECT_EQ(offline->error, kSerOk);
  EXPECT_EQ(idle->error, kSerOk);
}

TEST(SerManagerQueue, MissingDeviceGivesAClearErrorAnswer)
{
  ManagerFixture link(QStringLiteral("/dev/ttyVTXnothere"));
  auto a = link.Exchange(MakeRead(REQ_READ_ONE, 0, 1));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->error, kSerErrPortMissing);
  EXPECT_TRUE(a->strVersion.contains(QStringLiteral("/dev/ttyVTXnothere"))) << a->strVersion.toStdString();
  EXPECT_EQ(link.Manager().IsActive(), 0);
}

TEST(SerManagerQueue, BeepOnErrorIsLeftToTheFrame)
{
  for (int beep : {0, 1}) {
    std::mutex lock;
    std::vector<unsigned> codes;
    {
      CSerManager manager(kNoWindow);
      manager.SetNotify([&](unsigned code, long) {
        std::lock_guard guard(lock);
        codes.push_back(code);
      });
      manager.SetCommParam(1, 4800, 2, 100, 0, 0, beep);
      manager.SetDevicePath(QStringLiteral("/dev/ttyVTXnothere"));
      manager.CreateThread(0, 0, nullptr, 0xFFFFFFFF);
      CRequestPacket *p = MakeRead(REQ_READ_ONE, 0, 1);
      manager.AddRequest(p);
      ASSERT_TRUE(WaitFor([&] { return manager.GetAnsPktListSize() > 0; }));
      ASSERT_EQ(manager.GetAnsPktListSize(), 1);
    }
    const bool beeped = std::find(codes.begin(), codes.end(), kSerBeep) != codes.end();
    EXPECT_EQ(beeped, beep == 1);
    EXPECT_NE(std::find(codes.begin(), codes.end(), kSerLinkError), codes.end());
    EXPECT_NE(std::find(codes.begin(), codes.end(), kSerAnswerReady), codes.end());
  }
}

// ---- every request kind against the simulated board -----------------------

TEST_F(BoardLink, GoOnlineBringsIdentityAndLanguages)
{
  auto a = link->Exchange(new CRequestPacket(kNoWindow, 1, REQ_GO_ONLINE));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->error, kSerOk) << a->strVersion.toStdString();
  EXPECT_EQ(a->message, REQ_GO_ONLINE);
  EXPECT_EQ(a->strVersion, QStringLiteral("NORV DMX0512 v1.03"));
  EXPECT_EQ(a->strLanguages, QStringLiteral("en;it;"));
  EXPECT_EQ(link->Manager().IsActive(), 1);
}

TEST_F(BoardLink, DescriptionArrivesWholeByPagesWithProgress)
{
  QFile file(QStringLiteral(VELOTRIX_EXAMPLES_DIR "/demo-small.vtx"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray bytes = file.readAll();
  bytes.remove(0, bytes.indexOf('\n') + 1);
  auto *p = new CRequestPacket(kNoWindow, 1, REQ_DESCRIPTION);
  p->language = 2;
  auto a = link->Exchange(p);
  ASSERT_TRUE(a);
  ASSERT_EQ(a->error, kSerOk) << a->strVersion.toStdString();
  EXPECT_EQ(a->message, ANS_DESCRIPTION);
  EXPECT_EQ(a->strVersion, Cp1252::Decode(bytes));
  EXPECT_TRUE(a->strVersion.contains(QStringLiteral("Velocit\u00e0")));
  const auto notes = link->Notes();
  long pages = -1;
  long lastStep = 0;
  for (const auto &n : notes) {
    if (n.first == kSerProgressStart)
      pages = n.second;
    if (n.first == kSerProgressStep)
      lastStep = n.second;
  }
  EXPECT_EQ(pages, (bytes.size() + 239) / 240);
  EXPECT_EQ(lastStep, pages);
  EXPECT_TRUE(HasNote(notes, kSerProgressDone));
}

TEST_F(BoardLink, ParameterRegistersReadWriteAndGapsReadZero)
{
  auto block = Read(REQ_READ_BLOCK, 100, 10);
  ASSERT_TRUE(block);
  ASSERT_EQ(block->error, kSerOk) << block->strVersion.toStdString();
  const auto &w = block->wAnsData;
  ASSERT_EQ(w.size(), 10u);
  EXPECT_FLOAT_EQ(WordsToFloat(w[1], w[0]), 0.75f); // speed_kp
  EXPECT_FLOAT_EQ(WordsToFloat(w[3], w[2]), 12.5f); // speed_ki
  EXPECT_EQ(WordsToLong(w[5], w[4]), 100000.0);     // pos_target
  EXPECT_EQ(WordsToLong(w[7], w[6]), 5000.0);       // acc_ramp
  EXPECT_EQ(w[8], 1500);                            // max_speed
  EXPECT_EQ(w[9], 0);                               // no parameter at 109
  auto gap = Read(REQ_READ_BLOCK, 5000, 120);
  ASSERT_TRUE(gap);
  EXPECT_EQ(gap->error, kSerOk);
  EXPECT_EQ(gap->wAnsData, std::vector<uint16_t>(120, 0));

  // Write one 16-bit register (the command parameter) and read it back.
  auto *write = new CRequestPacket(kNoWindow, 1, REQ_WRITE_ONE);
  write->PktType.par.first_par = 0;
  write->PktType.par.num_par = 1;
  write->wData = {ShortWord(9999)};
  auto written = link->Exchange(write);
  ASSERT_TRUE(written);
  EXPECT_EQ(written->error, kSerOk);
  EXPECT_TRUE(sim.WaitForLine(QStringLiteral("COMMAND 9999")));
  auto one = Read(REQ_READ_ONE, 0, 1);
  ASSERT_TRUE(one);
  ASSERT_EQ(one->wAnsData.size(), 1u);
  EXPECT_EQ(one->wAnsData[0], 9999);

  // A float and a 32-bit value in one block.
  auto *many = new CRequestPacket(kNoWindow, 1, REQ_WRITE_BLOCK);
  many->PktType.par.first_par = 102;
  many->PktType.par.num_par = 4;
  many->wData = {FloatLowWord(-3.25), FloatHighWord(-3.25), LongLowWord(-70000), LongHighWord(-70000)};
  auto manyAnswer = link->Exchange(many);
  ASSERT_TRUE(manyAnswer);
  EXPECT_EQ(manyAnswer->error, kSerOk);
  QString got;
  EXPECT_TRUE(sim.Command(QStringLiteral("get speed_ki"), &got));
  EXPECT_EQ(got, QStringLiteral("OK speed_ki -3.25"));
  EXPECT_TRUE(sim.Command(QStringLiteral("get pos_target"), &got));
  EXPECT_EQ(got, QStringLiteral("OK pos_target -70000"));
}

TEST_F(BoardLink, KTableWithAndWithoutNTable)
{
  auto *k = new CRequestPacket(kNoWindow, 1, REQ_K_TABLE);
  k->k_mode = 1;
  auto only = link->Exchange(k);
  ASSERT_TRUE(only);
  ASSERT_EQ(only->error, kSerOk) << only->strVersion.toStdString();
  EXPECT_EQ(only->wAnsData, (std::vector<uint16_t>{4096, 1000}));
  EXPECT_TRUE(only->fAnsNTable.empty());

  auto *kn = new CRequestPacket(kNoWindow, 1, REQ_K_TABLE);
  kn->k_mode = 2;
  kn->num_k = 2;
  auto both = link->Exchange(kn);
  ASSERT_TRUE(both);
  ASSERT_EQ(both->error, kSerOk);
  ASSERT_EQ(both->fAnsNTable.size(), 2u);
  EXPECT_FLOAT_EQ(both->fAnsNTable[0], 0.1f);
  EXPECT_FLOAT_EQ(both->fAnsNTable[1], 0.01f);

  // Never more N entries than the document holds.
  auto *kn1 = new CRequestPacket(kNoWindow, 1, REQ_K_TABLE);
  kn1->k_mode = 2;
  kn1->num_k = 1;
  auto one = link->Exchange(kn1);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->fAnsNTable.size(), 1u);
}

TEST_F(BoardLink, VariablesAndStatusBlockShowLife)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("set win_cmd 10000")));
  ASSERT_TRUE(sim.Command(QStringLiteral("set error_flag 1")));
  auto status = Read(REQ_READ_VARS, 9900, 5);
  ASSERT_TRUE(status);
  ASSERT_EQ(status->error, kSerOk);
  ASSERT_EQ(status->wAnsData.size(), 5u);
  EXPECT_EQ(status->wAnsData[0], 1);             // error_flag
  EXPECT_EQ(status->wAnsData[1], 0);             // warning_flag
  EXPECT_EQ(status->wAnsData[2] & 0x200, 0x200); // status_flag
  EXPECT_EQ(status->wAnsData[3], 10000);         // win_cmd
  auto first = Read(REQ_READ_VARS, 100, 6);
  ASSERT_TRUE(first);
  ASSERT_EQ(first->error, kSerOk);
  // The variables move with the simulator's clock: read until they have.
  std::unique_ptr<CRequestPacket> second;
  EXPECT_TRUE(WaitFor([&] {
    second = Read(REQ_READ_VARS, 100, 6);
    return second && second->error == kSerOk && second->wAnsData != first->wAnsData;
  }));
}

TEST_F(BoardLink, TraceBufferComesSampleMajorWithItsSize)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_width 3")));
  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_length 250")));
  auto *p = new CRequestPacket(kNoWindow, 1, REQ_READ_TRACE);
  p->trace_width_reg = 201;
  p->trace_length_reg = 202;
  auto a = link->Exchange(p);
  ASSERT_TRUE(a);
  ASSERT_EQ(a->error, kSerOk) << a->strVersion.toStdString();
  EXPECT_EQ(a->message, ANS_READ_TRACE);
  EXPECT_EQ(a->trace_tracks, 3);
  EXPECT_EQ(a->trace_samples, 250);
  ASSERT_EQ(a->wAnsData.size(), 750u);
  // The simulated tracks are the same wave shifted by a third of a turn each:
  // sample 0 of tracks 0 and 1 sit next to each other, not 250 words apart.
  EXPECT_NE(a->wAnsData[0], a->wAnsData[1]);
  EXPECT_TRUE(HasNote(link->Notes(), kSerTraceStart));
  EXPECT_TRUE(HasNote(link->Notes(), kSerTraceDone));

  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_width 9")));
  auto *bad = new CRequestPacket(kNoWindow, 1, REQ_READ_TRACE);
  bad->trace_width_reg = 201;
  bad->trace_length_reg = 202;
  auto refused = link->Exchange(bad);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->error, kSerErrMalformed);
  EXPECT_TRUE(refused->wAnsData.empty());
}

TEST_F(BoardLink, StatisticsIdleAndGoOfflineAreAnsweredByTheManager)
{
  ASSERT_TRUE(Read(REQ_READ_ONE, 0, 1));
  ASSERT_TRUE(Read(REQ_READ_ONE, 0, 1));
  auto *stats = new CRequestPacket(kNoWindow);
  stats->message = REQ_STATISTICS;
  stats->stat_mode = 10;
  auto s = link->Exchange(stats);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->error, kSerOk);
  EXPECT_EQ(s->stat_record.correctComms, 2);
  EXPECT_EQ(s->stat_record.totalErrors, 0);
  EXPECT_GT(s->stat_record.meanAnswerTimeMs, 0);

  // No wire: a board that never answers does not slow these down.
  ASSERT_TRUE(sim.Command(QStringLiteral("noreply all")));
  const auto start = Clock::now();
  auto offline = link->Exchange(new CRequestPacket(kNoWindow, 1, REQ_GO_OFFLINE));
  auto reset = link->Exchange(new CRequestPacket(kNoWindow, 0, REQ_RESET_STATISTICS));
  auto *again = new CRequestPacket(kNoWindow, 0, REQ_STATISTICS);
  auto zero = link->Exchange(again);
  ASSERT_TRUE(offline && reset && zero);
  EXPECT_LT(MsSince(start), 150);
  EXPECT_EQ(offline->error, kSerOk);
  EXPECT_EQ(zero->stat_record.correctComms, 0);

  // Idle gives the port back.
  EXPECT_EQ(link->Manager().IsActive(), 1);
  auto idle = link->Exchange(new CRequestPacket(kNoWindow, 0, REQ_IDLE));
  ASSERT_TRUE(idle);
  EXPECT_EQ(link->Manager().IsActive(), 0);
}

TEST_F(BoardLink, SimulatedBoardTakesANewSlaveAddressAndRefusesEmptyFaults)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("slave 5")));
  auto moved = link->Exchange(MakeRead(REQ_READ_ONE, 108, 1, 5));
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->error, kSerOk) << moved->strVersion.toStdString();
  EXPECT_EQ(moved->wAnsData, std::vector<uint16_t>{1500});
  auto old = link->Exchange(MakeRead(REQ_READ_ONE, 108, 1, 1));
  ASSERT_TRUE(old);
  EXPECT_EQ(old->error, kSerErrTimeout);
  // A fault for no request at all would otherwise stay for good.
  EXPECT_FALSE(sim.Command(QStringLiteral("noreply 0")));
  EXPECT_FALSE(sim.Command(QStringLiteral("delay 100 x")));
  auto still = link->Exchange(MakeRead(REQ_READ_ONE, 108, 1, 5));
  ASSERT_TRUE(still);
  EXPECT_EQ(still->error, kSerOk);
}

// ---- faults ---------------------------------------------------------------

TEST_F(BoardLink, TimeOutsAreRetriedAndSpentRetriesGiveAnError)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("noreply 2")));
  auto saved = Read(REQ_READ_ONE, 108, 1);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->error, kSerOk) << saved->strVersion.toStdString();
  EXPECT_EQ(saved->wAnsData, std::vector<uint16_t>{1500});

  ASSERT_TRUE(sim.Command(QStringLiteral("noreply 3")));
  auto lost = Read(REQ_READ_ONE, 108, 1);
  ASSERT_TRUE(lost);
  EXPECT_EQ(lost->error, kSerErrTimeout);
  EXPECT_TRUE(lost->wAnsData.empty());

  auto after = Read(REQ_READ_ONE, 108, 1);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->error, kSerOk);
  auto stats = link->Exchange(new CRequestPacket(kNoWindow, 0, REQ_STATISTICS));
  EXPECT_EQ(stats->stat_record.timeouts, 5);
  EXPECT_EQ(stats->stat_record.retries, 4);
}

TEST_F(BoardLink, ALateAnswerIsNotTakenForTheNextOne)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("delay 300 1"))); // time-out is 200 ms
  auto first = Read(REQ_READ_ONE, 108, 1);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->error, kSerOk);
  EXPECT_EQ(first->wAnsData, std::vector<uint16_t>{1500});
  auto next = Read(REQ_READ_BLOCK, 200, 4);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->error, kSerOk);
  EXPECT_EQ(next->wAnsData, (std::vector<uint16_t>{1, 1000, static_cast<uint16_t>(-1000), 10}));
}

// A board slower than time-out and drain together: the retry takes the late
// answer of the first attempt, and the board then answers the retry too. That
// second answer must not pass for the answer of the next request.
TEST_F(BoardLink, ARecoveredTimeOutLeavesNoAnswerForTheNextRequest)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("delay 500 1"))); // time-out 200 ms, drain 200 ms
  auto first = Read(REQ_READ_ONE, 108, 1);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->error, kSerOk);
  EXPECT_EQ(first->wAnsData, std::vector<uint16_t>{1500});
  for (uint16_t r = 200; r < 204; ++r) {
    auto next = Read(REQ_READ_ONE, r, 1);
    ASSERT_TRUE(next);
    ASSERT_EQ(next->error, kSerOk);
    EXPECT_EQ(next->wAnsData,
              (std::vector<uint16_t>{std::vector<uint16_t>{1, 1000, static_cast<uint16_t>(-1000), 10}[r - 200]}))
        << "register " << r;
  }
}

TEST_F(BoardLink, BadCrcIsRetriedThenReported)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("badcrc 1")));
  auto saved = Read(REQ_READ_ONE, 108, 1);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->error, kSerOk);
  ASSERT_TRUE(sim.Command(QStringLiteral("badcrc all")));
  auto bad = Read(REQ_READ_ONE, 108, 1);
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->error, kSerErrCrc);
  EXPECT_TRUE(bad->wAnsData.empty());
  ASSERT_TRUE(sim.Command(QStringLiteral("clear")));
  auto good = Read(REQ_READ_ONE, 108, 1);
  ASSERT_TRUE(good);
  EXPECT_EQ(good->error, kSerOk);
}

TEST_F(BoardLink, ExceptionIsReportedAtOnceWithoutRetry)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("exception 4 1")));
  auto a = Read(REQ_READ_BLOCK, 100, 2);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->error, kSerErrException);
  EXPECT_TRUE(a->strVersion.contains(QStringLiteral("exception 4"))) << a->strVersion.toStdString();
  // The next request is served as usual.
  auto *trace = new CRequestPacket(kNoWindow, 1, REQ_WRITE_BLOCK);
  trace->PktType.par.first_par = 9990;
  trace->PktType.par.num_par = 10;
  trace->wData.assign(10, 0);
  auto ok = link->Exchange(trace);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->error, kSerOk);
  auto stats = link->Exchange(new CRequestPacket(kNoWindow, 0, REQ_STATISTICS));
  EXPECT_EQ(stats->stat_record.exceptions, 1);
  EXPECT_EQ(stats->stat_record.retries, 0);
}

TEST_F(BoardLink, ShortAnswersAreErrorsNeverPartialSuccess)
{
  link = std::make_unique<ManagerFixture>(sim.Device(), 200, 0);
  ASSERT_TRUE(sim.Command(QStringLiteral("short 1")));
  auto a = Read(REQ_READ_BLOCK, 100, 10);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->error, kSerErrMalformed);
  EXPECT_TRUE(a->wAnsData.empty());
  // A short page of a description: no partial text.
  ASSERT_TRUE(sim.Command(QStringLiteral("short 1")));
  auto d = link->Exchange(new CRequestPacket(kNoWindow, 1, REQ_DESCRIPTION));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->error, kSerErrMalformed);
  EXPECT_EQ(d->message, REQ_DESCRIPTION);
  EXPECT_FALSE(d->strVersion.contains(QStringLiteral("Version")));
  EXPECT_TRUE(HasNote(link->Notes(), kSerProgressFailed));
}

TEST_F(BoardLink, AWriteConfirmedForAnotherRegisterIsAnError)
{
  link = std::make_unique<ManagerFixture>(sim.Device(), 200, 0);
  ASSERT_TRUE(sim.Command(QStringLiteral("badecho 2")));
  auto *one = new CRequestPacket(kNoWindow, 1, REQ_WRITE_ONE);
  one->PktType.par.first_par = 108;
  one->PktType.par.num_par = 1;
  one->wData = {1200};
  auto single = link->Exchange(one);
  ASSERT_TRUE(single);
  EXPECT_EQ(single->error, kSerErrMalformed);
  auto *block = new CRequestPacket(kNoWindow, 1, REQ_WRITE_BLOCK);
  block->PktType.par.first_par = 200;
  block->PktType.par.num_par = 2;
  block->wData = {7, 8};
  auto many = link->Exchange(block);
  ASSERT_TRUE(many);
  EXPECT_EQ(many->error, kSerErrMalformed);
  // A true echo is still a success, and exceptions still come through.
  auto *again = new CRequestPacket(kNoWindow, 1, REQ_WRITE_BLOCK);
  again->PktType.par.first_par = 200;
  again->PktType.par.num_par = 2;
  again->wData = {7, 8};
  auto good = link->Exchange(again);
  ASSERT_TRUE(good);
  EXPECT_EQ(good->error, kSerOk) << good->strVersion.toStdString();
  ASSERT_TRUE(sim.Command(QStringLiteral("exception 2 1")));
  auto *refused = new CRequestPacket(kNoWindow, 1, REQ_WRITE_ONE);
  refused->PktType.par.num_par = 1;
  refused->wData = {1};
  auto exception = link->Exchange(refused);
  ASSERT_TRUE(exception);
  EXPECT_EQ(exception->error, kSerErrException);
  EXPECT_TRUE(exception->strVersion.contains(QStringLiteral("exception 2"))) << exception->strVersion.toStdString();
}

TEST(BoardHangUp, GivesErrorAnswersAndTheLinkRecoversWhenTheDeviceIsBack)
{
  // A stable name for the pseudo-terminal, as a USB adapter has.
  QTemporaryDir dir;
  const QString device = dir.filePath(QStringLiteral("board"));
  const QStringList arguments = {QStringLiteral("--link"), device};
  auto sim = std::make_unique<BoardSimProcess>(arguments);
  ASSERT_TRUE(sim->Started());
  ManagerFixture link(device);
  ASSERT_EQ(link.Exchange(MakeRead(REQ_READ_ONE, 0, 1))->error, kSerOk);
  sim->Command(QStringLiteral("hangup"));
  ASSERT_TRUE(sim->WaitForExit());
  const auto start = Clock::now();
  auto lost = link.Exchange(MakeRead(REQ_READ_ONE, 0, 1));
  ASSERT_TRUE(lost) << "no answer after the hang-up";
  // Lost during the exchange; the retry finds the device gone.
  EXPECT_TRUE(lost->error == kSerErrLinkLost || lost->error == kSerErrPortMissing) << lost->error;
  EXPECT_EQ(link.Manager().IsActive(), 0);
  for (int i = 0; i < 3; ++i) {
    auto a = link.Exchange(MakeRead(REQ_READ_ONE, 0, 1));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->error, kSerErrPortMissing);
  }
  EXPECT_LT(MsSince(start), 2000);
  sim = std::make_unique<BoardSimProcess>(arguments);
  ASSERT_TRUE(sim->Started());
  auto back = link.Exchange(MakeRead(REQ_READ_ONE, 108, 1));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->error, kSerOk);
  EXPECT_EQ(back->wAnsData, std::vector<uint16_t>{1500});
}

TEST_F(BoardLink, PortIsExclusive)
{
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1)->error, kSerOk);
  ManagerFixture second(sim.Device());
  auto a = second.Exchange(MakeRead(REQ_READ_ONE, 0, 1));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->error, kSerErrPortBusy);
}

TEST_F(BoardLink, ClosingThePortGivesUpItsExclusiveUse)
{
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1)->error, kSerOk);
  auto idle = link->Exchange(new CRequestPacket(kNoWindow, 0, REQ_IDLE));
  ASSERT_TRUE(idle);
  ASSERT_EQ(link->Manager().IsActive(), 0);
  // The simulator keeps its end open, so the terminal outlives our close: a
  // flag left behind would keep every later open out (root aside).
  const int fd = ::open(sim.Device().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  int exclusive = -1;
  ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  ::close(fd);
  EXPECT_EQ(exclusive, 0);
  EXPECT_EQ(Read(REQ_READ_ONE, 0, 1)->error, kSerOk);
}

TEST_F(BoardLink, NewSettingsReopenThePortAtTheNextRequest)
{
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1)->error, kSerOk);
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1)->error, kSerOk);
  auto opened = [this] {
    int n = 0;
    for (const auto &note : link->Notes())
      n += note.first == kSerPortOpened;
    return n;
  };
  EXPECT_EQ(opened(), 1);
  link->Manager().SetCommParam(1, 38400, 2, 200, 0, 2, 0);
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1)->error, kSerOk);
  EXPECT_EQ(opened(), 2);
  EXPECT_TRUE(HasNote(link->Notes(), kSerPortClosed));
}

TEST_F(BoardLink, HeadAndTailOrderAndAnswersInOrder)
{
  // The board holds its first answer for a second (the time-out is longer).
  link = std::make_unique<ManagerFixture>(sim.Device(), 5000, 0);
  ASSERT_TRUE(sim.Command(QStringLiteral("delay 1000 1")));
  CRequestPacket *busy = MakeRead(REQ_READ_ONE, 108, 1);
  link->Manager().AddRequest(busy);
  // The board has it: the worker waits for its answer while the others queue.
  ASSERT_TRUE(WaitFor([this] { return sim.Requests() == 1; }));
  for (uint16_t r = 200; r < 204; ++r) {
    CRequestPacket *p = MakeRead(REQ_READ_ONE, r, 1);
    link->Manager().AddRequest(p);
  }
  CRequestPacket *urgent = MakeRead(REQ_READ_ONE, 0, 1);
  link->Manager().AddHeadRequest(urgent);
  std::vector<uint16_t> order;
  for (int i = 0; i < 6; ++i) {
    auto a = link->WaitAnswer();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->error, kSerOk);
    order.push_back(a->PktType.par.first_par);
  }
  EXPECT_EQ(order, (std::vector<uint16_t>{108, 0, 200, 201, 202, 203}));
}

TEST_F(BoardLink, DestructionWithPacketsQueuedIsPromptAndFreesThem)
{
  link = std::make_unique<ManagerFixture>(sim.Device(), 500, 20);
  ASSERT_TRUE(sim.Command(QStringLiteral("noreply all")));
  for (int i = 0; i < 10; ++i) {
    CRequestPacket *p = MakeRead(REQ_READ_BLOCK, 100, 2);
    link->Manager().AddRequest(p);
  }
  // The worker is in the middle of the first exchange.
  ASSERT_TRUE(WaitFor([this] { return sim.Requests() >= 1; }));
  const auto start = Clock::now();
  link->Destroy(); // ASan reports any packet left behind
  EXPECT_LT(MsSince(start), 1500);
}
