#include "SerialTestSupport.h"
#include "TestSupport.h"

#include "modbus/SerCodes.h"

#include "platform/Cp1252.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

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
  return std::any_of(notes.begin(), notes.end(), [code](const auto &n) { return n.first == code; });
}

long CountNotes(const std::vector<std::pair<unsigned, long>> &notes, unsigned code)
{
  return std::count_if(notes.begin(), notes.end(), [code](const auto &n) { return n.first == code; });
}

CRequestPacket *ForWindow(CRequestPacket *p, WindowId window)
{
  p->hWnd = window;
  return p;
}

// User and system time of a process in clock ticks (fields 14 and 15 of its
// stat); -1 when it cannot be read. The name in field 2 may hold spaces.
long long CpuTicks(qint64 pid)
{
  QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!file.open(QIODevice::ReadOnly))
    return -1;
  const QByteArray line = file.readAll();
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' '); // from field 3
  if (fields.size() < 13)
    return -1;
  return fields[11].toLongLong() + fields[12].toLongLong();
}

// A manager talking to a fresh simulated board.
class BoardLink : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(sim.Started()) << "boardsim did not start";
    link = std::make_unique<ManagerFixture>(sim.Device());
  }

  CRequestPacket Read(uint16_t kind, uint16_t first, uint16_t count) { return link->Ask(MakeRead(kind, first, count)); }
  CRequestPacket Ask(uint16_t kind, uint8_t slave = 1) { return link->Ask(new CRequestPacket(kNoWindow, slave, kind)); }

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
  const CRequestPacket zero = link.Ask(MakeRead(REQ_READ_BLOCK, 0, 1, 0));
  EXPECT_EQ(zero.error, kSerErrBadSlave);
  EXPECT_FALSE(zero.strVersion.isEmpty());
  EXPECT_EQ(link.Ask(MakeRead(REQ_READ_BLOCK, 0, 1, 248)).error, kSerErrBadSlave);
  EXPECT_EQ(link.Ask(MakeRead(REQ_READ_BLOCK, 10, 0)).error, kSerErrBadRequest);
  EXPECT_EQ(link.Ask(MakeRead(REQ_READ_VARS, 9999, 2)).error, kSerErrBadRequest);
  EXPECT_EQ(link.Ask(MakeRead(REQ_WRITE_BLOCK, 0, 3)).error, kSerErrBadRequest); // wData holds no words
  EXPECT_EQ(link.Ask(new CRequestPacket(kNoWindow, 1, 99)).error, kSerErrBadRequest);
  EXPECT_LT(MsSince(start), 500);
  EXPECT_FALSE(HasNote(link.Notes(), kSerPortOpened));
  // Kinds the manager answers itself need no port either, whatever the slave.
  EXPECT_EQ(link.Ask(new CRequestPacket(kNoWindow, 0, REQ_GO_OFFLINE)).error, kSerOk);
  EXPECT_EQ(link.Ask(new CRequestPacket(kNoWindow, 0, REQ_IDLE)).error, kSerOk);
}

TEST(SerManagerQueue, MissingDeviceGivesAClearErrorAnswer)
{
  ManagerFixture link(QStringLiteral("/dev/ttyVTXnothere"));
  const CRequestPacket a = link.Ask(MakeRead(REQ_READ_ONE, 0, 1));
  EXPECT_EQ(a.error, kSerErrPortMissing);
  EXPECT_TRUE(a.strVersion.contains(QStringLiteral("/dev/ttyVTXnothere"))) << a.strVersion.toStdString();
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
  const CRequestPacket a = Ask(REQ_GO_ONLINE);
  EXPECT_EQ(a.error, kSerOk) << a.strVersion.toStdString();
  EXPECT_EQ(a.message, REQ_GO_ONLINE);
  EXPECT_EQ(a.strVersion, QStringLiteral("NORV DMX0512 v1.03"));
  EXPECT_EQ(a.strLanguages, QStringLiteral("en;it;"));
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
  const CRequestPacket a = link->Ask(p);
  ASSERT_EQ(a.error, kSerOk) << a.strVersion.toStdString();
  EXPECT_EQ(a.message, ANS_DESCRIPTION);
  EXPECT_EQ(a.strVersion, Cp1252::Decode(bytes));
  EXPECT_TRUE(a.strVersion.contains(QStringLiteral("Velocit\u00e0")));
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
  const CRequestPacket block = Read(REQ_READ_BLOCK, 100, 10);
  ASSERT_EQ(block.error, kSerOk) << block.strVersion.toStdString();
  const auto &w = block.wAnsData;
  ASSERT_EQ(w.size(), 10u);
  EXPECT_FLOAT_EQ(WordsToFloat(w[1], w[0]), 0.75f); // speed_kp
  EXPECT_FLOAT_EQ(WordsToFloat(w[3], w[2]), 12.5f); // speed_ki
  EXPECT_EQ(WordsToLong(w[5], w[4]), 100000.0);     // pos_target
  EXPECT_EQ(WordsToLong(w[7], w[6]), 5000.0);       // acc_ramp
  EXPECT_EQ(w[8], 1500);                            // max_speed
  EXPECT_EQ(w[9], 0);                               // no parameter at 109
  const CRequestPacket gap = Read(REQ_READ_BLOCK, 5000, 120);
  EXPECT_EQ(gap.error, kSerOk);
  EXPECT_EQ(gap.wAnsData, std::vector<uint16_t>(120, 0));

  // Write one 16-bit register (the command parameter) and read it back.
  EXPECT_EQ(link->Ask(MakeWrite(REQ_WRITE_ONE, 0, {ShortWord(9999)})).error, kSerOk);
  EXPECT_TRUE(sim.WaitForLine(QStringLiteral("COMMAND 9999")));
  EXPECT_EQ(Read(REQ_READ_ONE, 0, 1).wAnsData, std::vector<uint16_t>{9999});

  // A float and a 32-bit value in one block.
  const std::vector<uint16_t> words = {FloatLowWord(-3.25), FloatHighWord(-3.25), LongLowWord(-70000),
                                       LongHighWord(-70000)};
  EXPECT_EQ(link->Ask(MakeWrite(REQ_WRITE_BLOCK, 102, words)).error, kSerOk);
  QString got;
  EXPECT_TRUE(sim.Command(QStringLiteral("get speed_ki"), &got));
  EXPECT_EQ(got, QStringLiteral("OK speed_ki -3.25"));
  EXPECT_TRUE(sim.Command(QStringLiteral("get pos_target"), &got));
  EXPECT_EQ(got, QStringLiteral("OK pos_target -70000"));
}

TEST_F(BoardLink, KTableWithAndWithoutNTable)
{
  // Never more N entries than the document holds.
  auto table = [this](uint16_t mode, uint16_t entries) {
    auto *k = new CRequestPacket(kNoWindow, 1, REQ_K_TABLE);
    k->k_mode = mode;
    k->num_k = entries;
    return link->Ask(k);
  };
  const CRequestPacket only = table(1, 0);
  ASSERT_EQ(only.error, kSerOk) << only.strVersion.toStdString();
  EXPECT_EQ(only.wAnsData, (std::vector<uint16_t>{4096, 1000}));
  EXPECT_TRUE(only.fAnsNTable.empty());
  const CRequestPacket both = table(2, 2);
  ASSERT_EQ(both.error, kSerOk);
  EXPECT_EQ(both.fAnsNTable, (std::vector<float>{0.1f, 0.01f}));
  EXPECT_EQ(table(2, 1).fAnsNTable.size(), 1u);
}

TEST_F(BoardLink, VariablesAndStatusBlockShowLife)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("set win_cmd 10000")));
  ASSERT_TRUE(sim.Command(QStringLiteral("set error_flag 1")));
  const CRequestPacket status = Read(REQ_READ_VARS, 9900, 5);
  ASSERT_EQ(status.error, kSerOk);
  ASSERT_EQ(status.wAnsData.size(), 5u);
  EXPECT_EQ(status.wAnsData[0], 1);             // error_flag
  EXPECT_EQ(status.wAnsData[1], 0);             // warning_flag
  EXPECT_EQ(status.wAnsData[2] & 0x200, 0x200); // status_flag
  EXPECT_EQ(status.wAnsData[3], 10000);         // win_cmd
  const CRequestPacket first = Read(REQ_READ_VARS, 100, 6);
  ASSERT_EQ(first.error, kSerOk);
  // The variables move with the simulator's clock: read until they have.
  EXPECT_TRUE(WaitFor([&] {
    const CRequestPacket second = Read(REQ_READ_VARS, 100, 6);
    return second.error == kSerOk && second.wAnsData != first.wAnsData;
  }));
}

TEST_F(BoardLink, TraceBufferComesSampleMajorWithItsSize)
{
  auto request = [](WindowId window) {
    auto *p = new CRequestPacket(window, 1, REQ_READ_TRACE);
    p->trace_width_reg = 201;
    p->trace_length_reg = 202;
    return p;
  };
  auto trace = [&] { return link->Ask(request(kNoWindow)); };
  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_width 3")));
  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_length 250")));
  const CRequestPacket a = trace();
  ASSERT_EQ(a.error, kSerOk) << a.strVersion.toStdString();
  EXPECT_EQ(a.message, ANS_READ_TRACE);
  EXPECT_EQ(a.trace_tracks, 3);
  EXPECT_EQ(a.trace_samples, 250);
  ASSERT_EQ(a.wAnsData.size(), 750u);
  // The simulated tracks are the same wave shifted by a third of a turn each:
  // sample 0 of tracks 0 and 1 sit next to each other, not 250 words apart.
  EXPECT_NE(a.wAnsData[0], a.wAnsData[1]);
  EXPECT_TRUE(HasNote(link->Notes(), kSerTraceStart));
  EXPECT_TRUE(HasNote(link->Notes(), kSerTraceDone));

  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_width 9")));
  const CRequestPacket refused = trace();
  EXPECT_EQ(refused.error, kSerErrMalformed);
  EXPECT_TRUE(refused.wAnsData.empty());

  // Cancelled, the read being performed stops before its next exchange and a
  // waiting one is dropped; neither is answered. Another window's stays, and
  // so does the same window's read of another kind: a cancel is no failure.
  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_width 3")));
  ASSERT_TRUE(sim.Command(QStringLiteral("delay 50 all")));
  const long before = sim.Requests();
  for (WindowId window : {7u, 7u, 8u}) {
    CRequestPacket *p = request(window);
    link->Manager().AddRequest(p);
  }
  CRequestPacket *poll = MakeRead(REQ_READ_ONE, 0, 1);
  poll->hWnd = 7;
  link->Manager().AddRequest(poll);
  const auto linkErrors = [&] {
    const auto notes = link->Notes();
    return std::count_if(notes.begin(), notes.end(), [](const auto &n) { return n.first == kSerLinkError; });
  };
  ASSERT_TRUE(WaitFor([&] { return sim.Requests() >= before + 3; }, 5000)); // sizes and the first page
  const auto errorsBefore = linkErrors();
  link->Manager().CancelRequests(7, REQ_READ_TRACE);
  const long cancelled = sim.Requests();
  const std::unique_ptr<CRequestPacket> other = link->WaitAnswer(10000);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->hWnd, 8u);
  EXPECT_EQ(other->wAnsData.size(), 750u);
  const std::unique_ptr<CRequestPacket> polled = link->WaitAnswer(10000);
  ASSERT_TRUE(polled);
  EXPECT_EQ(polled->hWnd, 7u);
  EXPECT_EQ(polled->error, kSerOk);
  EXPECT_EQ(linkErrors(), errorsBefore) << "a cancel is no link error";
  EXPECT_LE(sim.Requests() - cancelled, 1 + 2 + 7 + 1) << "the page on its way, window 8's sizes and pages, the poll";
}

TEST_F(BoardLink, StatisticsIdleAndGoOfflineAreAnsweredByTheManager)
{
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1).error, kSerOk);
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1).error, kSerOk);
  auto *stats = new CRequestPacket(kNoWindow);
  stats->message = REQ_STATISTICS;
  stats->stat_mode = 10;
  const CRequestPacket s = link->Ask(stats);
  EXPECT_EQ(s.error, kSerOk);
  EXPECT_EQ(s.stat_record.correctComms, 2);
  EXPECT_EQ(s.stat_record.totalErrors, 0);
  EXPECT_GT(s.stat_record.meanAnswerTimeMs, 0);

  // No wire: a board that never answers does not slow these down.
  ASSERT_TRUE(sim.Command(QStringLiteral("noreply all")));
  const auto start = Clock::now();
  const CRequestPacket offline = Ask(REQ_GO_OFFLINE);
  Ask(REQ_RESET_STATISTICS, 0);
  const CRequestPacket zero = Ask(REQ_STATISTICS, 0);
  EXPECT_LT(MsSince(start), 150);
  EXPECT_EQ(offline.error, kSerOk);
  EXPECT_EQ(zero.stat_record.correctComms, 0);

  // Idle gives the port back.
  EXPECT_EQ(link->Manager().IsActive(), 1);
  Ask(REQ_IDLE, 0);
  EXPECT_EQ(link->Manager().IsActive(), 0);
}

TEST_F(BoardLink, SimulatedBoardTakesANewSlaveAddressAndRefusesEmptyFaults)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("slave 5")));
  const CRequestPacket moved = link->Ask(MakeRead(REQ_READ_ONE, 108, 1, 5));
  EXPECT_EQ(moved.error, kSerOk) << moved.strVersion.toStdString();
  EXPECT_EQ(moved.wAnsData, std::vector<uint16_t>{1500});
  EXPECT_EQ(link->Ask(MakeRead(REQ_READ_ONE, 108, 1, 1)).error, kSerErrTimeout);
  // A fault for no request at all would otherwise stay for good.
  EXPECT_FALSE(sim.Command(QStringLiteral("noreply 0")));
  EXPECT_FALSE(sim.Command(QStringLiteral("delay 100 x")));
  EXPECT_EQ(link->Ask(MakeRead(REQ_READ_ONE, 108, 1, 5)).error, kSerOk);
}

// ---- faults ---------------------------------------------------------------

TEST_F(BoardLink, TimeOutsAreRetriedAndSpentRetriesGiveAnError)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("noreply 2")));
  const CRequestPacket saved = Read(REQ_READ_ONE, 108, 1);
  EXPECT_EQ(saved.error, kSerOk) << saved.strVersion.toStdString();
  EXPECT_EQ(saved.wAnsData, std::vector<uint16_t>{1500});

  ASSERT_TRUE(sim.Command(QStringLiteral("noreply 3")));
  const CRequestPacket lost = Read(REQ_READ_ONE, 108, 1);
  EXPECT_EQ(lost.error, kSerErrTimeout);
  EXPECT_TRUE(lost.wAnsData.empty());

  EXPECT_EQ(Read(REQ_READ_ONE, 108, 1).error, kSerOk);
  const CRequestPacket stats = Ask(REQ_STATISTICS, 0);
  EXPECT_EQ(stats.stat_record.timeouts, 5);
  EXPECT_EQ(stats.stat_record.retries, 4);

  // Settings below their range take the defaults: a 300 ms time-out waits for
  // an answer that takes 150 ms; -1 still means no retry.
  link->Manager().SetCommParam(1, 115200, 2, -300, -5, -1, 0);
  ASSERT_TRUE(sim.Command(QStringLiteral("delay 150 1")));
  EXPECT_EQ(Read(REQ_READ_ONE, 108, 1).error, kSerOk);
  ASSERT_TRUE(sim.Command(QStringLiteral("noreply 1")));
  EXPECT_EQ(Read(REQ_READ_ONE, 108, 1).error, kSerErrTimeout);
  EXPECT_EQ(Ask(REQ_STATISTICS, 0).stat_record.retries, 4);
}

// A late answer must not pass for the answer of the next request: the board
// answers after the time-out (300 ms), or slower than time-out and drain
// together (500 ms), when the retry takes the first attempt's late answer and
// the board then answers the retry too.
TEST_F(BoardLink, ALateAnswerIsNotTakenForTheNextOne)
{
  const std::vector<uint16_t> next = {1, 1000, static_cast<uint16_t>(-1000), 10};
  for (const char *delay : {"delay 300 1", "delay 500 1"}) { // time-out 200 ms, drain 200 ms
    SCOPED_TRACE(delay);
    ASSERT_TRUE(sim.Command(QString::fromLatin1(delay)));
    const CRequestPacket first = Read(REQ_READ_ONE, 108, 1);
    EXPECT_EQ(first.error, kSerOk);
    EXPECT_EQ(first.wAnsData, std::vector<uint16_t>{1500});
    EXPECT_EQ(Read(REQ_READ_BLOCK, 200, 4).wAnsData, next);
    for (uint16_t r = 200; r < 204; ++r)
      EXPECT_EQ(Read(REQ_READ_ONE, r, 1).wAnsData, std::vector<uint16_t>{next[r - 200]}) << "register " << r;
  }
}

TEST_F(BoardLink, BadCrcIsRetriedThenReported)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("badcrc 1")));
  EXPECT_EQ(Read(REQ_READ_ONE, 108, 1).error, kSerOk);
  ASSERT_TRUE(sim.Command(QStringLiteral("badcrc all")));
  const CRequestPacket bad = Read(REQ_READ_ONE, 108, 1);
  EXPECT_EQ(bad.error, kSerErrCrc);
  EXPECT_TRUE(bad.wAnsData.empty());
  ASSERT_TRUE(sim.Command(QStringLiteral("clear")));
  EXPECT_EQ(Read(REQ_READ_ONE, 108, 1).error, kSerOk);
}

TEST_F(BoardLink, ExceptionIsReportedAtOnceWithoutRetry)
{
  ASSERT_TRUE(sim.Command(QStringLiteral("exception 4 1")));
  const CRequestPacket a = Read(REQ_READ_BLOCK, 100, 2);
  EXPECT_EQ(a.error, kSerErrException);
  EXPECT_TRUE(a.strVersion.contains(QStringLiteral("exception 4"))) << a.strVersion.toStdString();
  // The next request is served as usual.
  EXPECT_EQ(link->Ask(MakeWrite(REQ_WRITE_BLOCK, 9990, std::vector<uint16_t>(10, 0))).error, kSerOk);
  const CRequestPacket stats = Ask(REQ_STATISTICS, 0);
  EXPECT_EQ(stats.stat_record.exceptions, 1);
  EXPECT_EQ(stats.stat_record.retries, 0);
}

TEST_F(BoardLink, ShortAnswersAreErrorsNeverPartialSuccess)
{
  link = std::make_unique<ManagerFixture>(sim.Device(), 200, 0);
  ASSERT_TRUE(sim.Command(QStringLiteral("short 1")));
  const CRequestPacket a = Read(REQ_READ_BLOCK, 100, 10);
  EXPECT_EQ(a.error, kSerErrMalformed);
  EXPECT_TRUE(a.wAnsData.empty());
  // A short page of a description: no partial text.
  ASSERT_TRUE(sim.Command(QStringLiteral("short 1")));
  const CRequestPacket d = Ask(REQ_DESCRIPTION);
  EXPECT_EQ(d.error, kSerErrMalformed);
  EXPECT_EQ(d.message, REQ_DESCRIPTION);
  EXPECT_FALSE(d.strVersion.contains(QStringLiteral("Version")));
  EXPECT_TRUE(HasNote(link->Notes(), kSerProgressFailed));
}

TEST_F(BoardLink, AWriteConfirmedForAnotherRegisterIsAnError)
{
  link = std::make_unique<ManagerFixture>(sim.Device(), 200, 0);
  ASSERT_TRUE(sim.Command(QStringLiteral("badecho 2")));
  EXPECT_EQ(link->Ask(MakeWrite(REQ_WRITE_ONE, 108, {1200})).error, kSerErrMalformed);
  EXPECT_EQ(link->Ask(MakeWrite(REQ_WRITE_BLOCK, 200, {7, 8})).error, kSerErrMalformed);
  // A true echo is still a success, and exceptions still come through.
  const CRequestPacket good = link->Ask(MakeWrite(REQ_WRITE_BLOCK, 200, {7, 8}));
  EXPECT_EQ(good.error, kSerOk) << good.strVersion.toStdString();
  ASSERT_TRUE(sim.Command(QStringLiteral("exception 2 1")));
  const CRequestPacket exception = link->Ask(MakeWrite(REQ_WRITE_ONE, 0, {1}));
  EXPECT_EQ(exception.error, kSerErrException);
  EXPECT_TRUE(exception.strVersion.contains(QStringLiteral("exception 2"))) << exception.strVersion.toStdString();
}

// A simulator whose parent died without a word waits like an idle board
// instead of spinning on its ended input, and still serves.
TEST(BoardSimInput, AnEndedInputLeavesItIdleAndServing)
{
  BoardSimProcess sim;
  ASSERT_TRUE(sim.Started());
  sim.CloseInput();
  const long long before = CpuTicks(sim.ProcessId());
  ASSERT_GE(before, 0);
  std::this_thread::sleep_for(std::chrono::seconds(2)); // the span measured, not a wait for it
  const long long used = CpuTicks(sim.ProcessId()) - before;
  EXPECT_LT(used, sysconf(_SC_CLK_TCK) * 2 / 20) << "clock ticks in 2 s; 5 % of a core is the limit";
  ManagerFixture link(sim.Device());
  EXPECT_EQ(link.Ask(MakeRead(REQ_READ_ONE, 108, 1)).wAnsData, std::vector<uint16_t>{1500});
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
  ASSERT_EQ(link.Ask(MakeRead(REQ_READ_ONE, 0, 1)).error, kSerOk);
  sim->Command(QStringLiteral("hangup"));
  ASSERT_TRUE(sim->WaitForExit());
  const auto start = Clock::now();
  // Lost during the exchange; the retry finds the device gone.
  const uint16_t lost = link.Ask(MakeRead(REQ_READ_ONE, 0, 1)).error;
  EXPECT_TRUE(lost == kSerErrLinkLost || lost == kSerErrPortMissing) << lost;
  EXPECT_EQ(link.Manager().IsActive(), 0);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(link.Ask(MakeRead(REQ_READ_ONE, 0, 1)).error, kSerErrPortMissing);
  EXPECT_LT(MsSince(start), 2000);
  sim = std::make_unique<BoardSimProcess>(arguments);
  ASSERT_TRUE(sim->Started());
  const CRequestPacket back = link.Ask(MakeRead(REQ_READ_ONE, 108, 1));
  EXPECT_EQ(back.error, kSerOk);
  EXPECT_EQ(back.wAnsData, std::vector<uint16_t>{1500});
}

TEST_F(BoardLink, PortIsExclusiveUntilClosed)
{
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1).error, kSerOk);
  {
    ManagerFixture second(sim.Device());
    EXPECT_EQ(second.Ask(MakeRead(REQ_READ_ONE, 0, 1)).error, kSerErrPortBusy);
  }
  Ask(REQ_IDLE, 0);
  ASSERT_EQ(link->Manager().IsActive(), 0);
  // The simulator keeps its end open, so the terminal outlives our close: a
  // flag left behind would keep every later open out (root aside).
  const int fd = ::open(sim.Device().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  int exclusive = -1;
  ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  ::close(fd);
  EXPECT_EQ(exclusive, 0);
  EXPECT_EQ(Read(REQ_READ_ONE, 0, 1).error, kSerOk);
}

TEST_F(BoardLink, NewSettingsReopenThePortAtTheNextRequest)
{
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1).error, kSerOk);
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1).error, kSerOk);
  auto opened = [this] {
    int n = 0;
    for (const auto &note : link->Notes())
      n += note.first == kSerPortOpened;
    return n;
  };
  EXPECT_EQ(opened(), 1);
  link->Manager().SetCommParam(1, 38400, 2, 200, 0, 2, 0);
  ASSERT_EQ(Read(REQ_READ_ONE, 0, 1).error, kSerOk);
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

// A failed request takes its window's waiting requests with it, so a board
// that goes offline gets nothing more of what it had asked; another window's
// stay, and so does what its own window queues once it has the failure.
TEST_F(BoardLink, AFailedRequestDropsOnlyTheWaitingRequestsOfItsWindow)
{
  link = std::make_unique<ManagerFixture>(sim.Device(), 1000, 0);
  ASSERT_TRUE(sim.Command(QStringLiteral("noreply 1")));
  constexpr WindowId kFailing = 601;
  constexpr WindowId kOther = 602;
  auto poll = [this](WindowId window, uint16_t first) {
    CRequestPacket *p = MakeRead(REQ_READ_VARS, first, 1);
    p->hWnd = window;
    link->Manager().AddRequest(p);
  };
  poll(kFailing, 0);
  ASSERT_TRUE(WaitFor([this] { return sim.Requests() == 1; }));
  poll(kFailing, 1);
  poll(kOther, 2);
  poll(kFailing, 3);
  poll(kOther, 4);
  const auto failed = link->WaitAnswer();
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->error, kSerErrTimeout);
  poll(kFailing, 5);
  std::vector<std::pair<WindowId, uint16_t>> answered;
  for (int i = 0; i < 3; ++i) {
    const auto a = link->WaitAnswer();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->error, kSerOk) << a->strVersion.toStdString();
    answered.emplace_back(a->hWnd, a->PktType.var.first_var);
  }
  EXPECT_EQ(answered, (std::vector<std::pair<WindowId, uint16_t>>{{kOther, 2}, {kOther, 4}, {kFailing, 5}}));
  EXPECT_EQ(sim.Requests(), 4);
}

// One call queues a list in its order. Removing a window takes its waiting
// requests, gives back the steps of its write-all blocks and frees the one
// being performed unanswered; another window's stay.
TEST_F(BoardLink, AListQueuesInOrderAndRemovingAWindowTakesAllItAsked)
{
  link = std::make_unique<ManagerFixture>(sim.Device(), 5000, 0);
  ASSERT_TRUE(sim.Command(QStringLiteral("delay 1000 1")));
  constexpr WindowId kRemoved = 611;
  constexpr WindowId kKept = 612;
  CRequestPacket *held = ForWindow(MakeRead(REQ_READ_ONE, 108, 1), kRemoved);
  link->Manager().AddRequest(held);
  ASSERT_TRUE(WaitFor([this] { return sim.Requests() == 1; }));
  CRequestPacket *block = ForWindow(MakeWrite(REQ_WRITE_BLOCK, 200, {7, 8}), kRemoved);
  block->PktType.par.step = 3;
  std::vector<CRequestPacket *> list = {block, ForWindow(MakeRead(REQ_READ_VARS, 1, 1), kRemoved),
                                        ForWindow(MakeRead(REQ_READ_VARS, 2, 1), kKept),
                                        ForWindow(MakeRead(REQ_READ_VARS, 3, 1), kKept)};
  link->Manager().AddRequests(list);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(link->Manager().RemoveRequests(kRemoved), std::vector<uint16_t>{3});
  std::vector<std::pair<WindowId, uint16_t>> answered;
  for (int i = 0; i < 2; ++i) {
    const auto a = link->WaitAnswer();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->error, kSerOk) << a->strVersion.toStdString();
    answered.emplace_back(a->hWnd, a->PktType.var.first_var);
  }
  EXPECT_EQ(answered, (std::vector<std::pair<WindowId, uint16_t>>{{kKept, 2}, {kKept, 3}}));
  EXPECT_EQ(sim.Requests(), 3);
  EXPECT_EQ(link->Manager().GetAnsPktListSize(), 0);
}

// A request given up while the worker waits out the silent time before its
// exchange never reaches the board. New settings make the next request open
// the port and wait the whole silent time (1000 ms, the most there is) first.
TEST_F(BoardLink, ARequestGivenUpDuringTheSilentWaitNeverReachesTheBoard)
{
  link = std::make_unique<ManagerFixture>(sim.Device(), 200, 2, 1000);
  constexpr WindowId kStopped = 621;
  constexpr WindowId kOther = 622;
  const struct {
    const char *what;
    std::function<CRequestPacket *()> make;
    std::function<void()> giveUp;
  } cases[] = {
      {"a window's write removed",
       [] {
         return ForWindow(MakeWrite(REQ_WRITE_BLOCK, 200, {7, 8}), kStopped);
       },
       [this] { link->Manager().RemoveRequests(kStopped); }},
      {"a trace read cancelled",
       [] {
         auto *p = new CRequestPacket(kStopped, 1, REQ_READ_TRACE);
         p->trace_width_reg = 201;
         p->trace_length_reg = 202;
         return p;
       },
       [this] { link->Manager().CancelRequests(kStopped, REQ_READ_TRACE); }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    link->Manager().SetCommParam(1, 115200, 2, 200, 1000, 2, 0);
    const long opened = CountNotes(link->Notes(), kSerPortOpened);
    const long before = sim.Requests();
    CRequestPacket *request = c.make();
    link->Manager().AddRequest(request);
    ASSERT_TRUE(WaitFor([&] { return CountNotes(link->Notes(), kSerPortOpened) > opened; }));
    c.giveUp();
    CRequestPacket *read = ForWindow(MakeRead(REQ_READ_ONE, 108, 1), kOther);
    link->Manager().AddRequest(read);
    const auto a = link->WaitAnswer();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->hWnd, kOther) << "the request given up was answered";
    EXPECT_EQ(a->error, kSerOk) << a->strVersion.toStdString();
    EXPECT_EQ(sim.Requests(), before + 1) << "only the other window's read reaches the board";
    EXPECT_EQ(link->Manager().GetAnsPktListSize(), 0);
  }
  EXPECT_FALSE(HasNote(link->Notes(), kSerLinkError));
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
