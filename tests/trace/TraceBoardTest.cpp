// End to end over the simulated board: the manager's settings written to the
// board, a download requested, the answer routed as the main frame routes it,
// the chart drawn, saved, loaded and saved again. A small child frame stands
// in for the real one: it queues the requests the real one queues.
#include "TraceTestSupport.h"

#include "../modbus/SerialTestSupport.h"
#include "TestSupport.h"
#include "chart/ChartCtrl.h"
#include "controls/XTabCtrl.h"
#include "optiontree/OptionTree.h"
#include "trace/GenMemBuff.h"
#include "trace/MemBuffDlg.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace {

// Parameter index to holding register in examples/demo-small.vtx (block 3,
// base 20): diagn_ts, trig_lev_pos, trig_lev_neg, trig_delay.
const std::map<std::int16_t, std::uint16_t> kRegisters = {{9, 200}, {10, 201}, {11, 202}, {12, 203}};
constexpr std::uint16_t kBufWidthVar = 201;
constexpr std::uint16_t kBufLengthVar = 202;

class BoardChild : public TraceBoard {
public:
  explicit BoardChild(CSerManager &serial) : m_serial(serial) { id = WindowRegistry::Instance().Register(this); }
  ~BoardChild() override { WindowRegistry::Instance().Unregister(id); }

  int QueryState() const override { return 0x08; }
  int GetAddress() const override { return 1; }
  QString GetBufferName() const override { return QStringLiteral("demo-small"); }
  QString TrackLabel(int track) const override { return track == 0 ? QStringLiteral("speed_actual") : QString(); }
  double TrackScale(int) const override { return 1.0; }
  void ReadBuffer() override
  {
    auto *p = new CRequestPacket(id, 1, REQ_READ_TRACE);
    p->trace_width_reg = kBufWidthVar;
    p->trace_length_reg = kBufLengthVar;
    m_serial.AddRequest(p);
    ++traceReads;
  }
  void WriteSetting(std::int16_t index, double value) override
  {
    const auto reg = kRegisters.find(index);
    ASSERT_NE(reg, kRegisters.end());
    auto *write = new CRequestPacket(id, 1, REQ_WRITE_ONE);
    write->PktType.par.first_par = reg->second;
    write->PktType.par.num_par = 1;
    write->wData = {ShortWord(value)};
    m_serial.AddRequest(write);
    auto *readBack = new CRequestPacket(id, 1, REQ_READ_ONE);
    readBack->PktType.par.first_par = reg->second;
    readBack->PktType.par.num_par = 1;
    m_serial.AddRequest(readBack);
  }

  WindowId id = kNoWindow;
  int traceReads = 0;

private:
  CSerManager &m_serial;
};

} // namespace

TEST(TraceBoard, SettingsDownloadChartAndFilesOverTheSimulatedBoard)
{
  TestEnvironment env;
  BoardSimProcess sim;
  ASSERT_TRUE(sim.Started()) << "boardsim did not start";
  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_width 6")));
  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_length 300")));
  ManagerFixture link(sim.Device());
  BoardChild child(link.Manager());
  CGenMemBuff mgr;
  mgr.SetBoards(&RegisteredBoards());
  mgr.show();

  // What the main frame stores from the board's document on a status report.
  mgr.SetAddress(child.id, 1);
  mgr.m_fSamplingTime = 0.5f;
  mgr.m_nBufLength = 300;
  mgr.m_nDiagnTs = 1;
  mgr.m_idxDiagnTs = 9;
  mgr.m_nTrigDelay = 10;
  mgr.m_idxTrigDelay = 12;
  mgr.m_nTrigLevPos = 1000;
  mgr.m_idxTrigLevPos = 10;
  mgr.m_nTrigLevNeg = -1000;
  mgr.m_idxTrigLevNeg = 11;
  mgr.UpdateFields();
  ASSERT_EQ(mgr.GetItemText(CGenMemBuff::IDC_SAMPLING), QStringLiteral("0.500"));

  // Sampling time 2 ms on a 0.5 ms base: the board's divider becomes 4.
  mgr.SetItemText(CGenMemBuff::IDC_SAMPLING, QStringLiteral("2"));
  mgr.SetItemText(CGenMemBuff::IDC_TRIG_POS, QStringLiteral("2500"));
  mgr.OnOk();
  std::map<std::uint16_t, std::uint16_t> readBack;
  for (int i = 0; i < 4; ++i) {
    auto answer = link.WaitAnswer();
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->error, 0) << answer->strVersion.toStdString();
    if (answer->message == REQ_READ_ONE && !answer->wAnsData.empty())
      readBack[answer->PktType.par.first_par] = answer->wAnsData[0];
  }
  EXPECT_EQ(readBack[200], 4);
  EXPECT_EQ(readBack[201], 2500);

  // The read-back reaches the manager through the next status report.
  mgr.SetAddress(child.id, 1);
  mgr.m_nDiagnTs = static_cast<std::int16_t>(readBack[200]);
  mgr.UpdateFields();
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_SAMPLING), QStringLiteral("2.00"));

  mgr.OnDownload();
  ASSERT_TRUE(QTest::qWaitFor([&] { return child.traceReads == 1; }, 5000));
  std::unique_ptr<CRequestPacket> answer = link.WaitAnswer(10000);
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->error, 0) << answer->strVersion.toStdString();
  ASSERT_EQ(answer->message, ANS_READ_TRACE);
  ASSERT_EQ(answer->wAnsData.size(), 1800u);

  // The main frame's routing of the trace answer.
  QString name = child.GetBufferName();
  std::array<QString, 6> labels;
  std::array<double, 6> scales{};
  for (int i = 0; i < 6; ++i) {
    scales[static_cast<size_t>(i)] = child.TrackScale(i);
    labels[static_cast<size_t>(i)] = child.TrackLabel(i);
  }
  mgr.AddBufferWindow(name, labels, scales, *answer);
  mgr.SetState(1);
  answer.reset();

  ASSERT_EQ(mgr.GetBufferCount(), 1);
  CMemBuffDlg *w = mgr.GetBufferWindow(0);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(mgr.GetTabCtrl()->GetTabText(0).startsWith(QStringLiteral("demo-small-")));
  EXPECT_EQ(w->GetSampleCount(), 300u);
  EXPECT_EQ(w->GetTrackLabel(0), QStringLiteral("speed_actual"));
  EXPECT_EQ(w->GetSamplingItem()->GetWindowText(), QStringLiteral("2.00 ms"));
  EXPECT_EQ(w->GetTrigDelayItem()->GetWindowText(), QStringLiteral("20.0 ms"));
  w->GetChart()->resize(900, 500);
  const QImage image = RenderChart(*w->GetChart());
  for (int t = 0; t < 6; ++t)
    EXPECT_GT(CountColour(image, ToQColor(w->GetChart()->GetSeriesColorTable(t)).rgb()), 100) << "track " << t;

  QTemporaryDir dir;
  const QString first = dir.filePath(QStringLiteral("trace.csv"));
  const QString second = dir.filePath(QStringLiteral("again.csv"));
  env.prompter().AnswerFile(first);
  mgr.OnSave();
  env.prompter().AnswerFile(first);
  mgr.OnOpen();
  ASSERT_EQ(mgr.GetBufferCount(), 2);
  EXPECT_EQ(mgr.GetBufferWindow(1)->GetSampleCount(), 300u);
  env.prompter().AnswerFile(second);
  mgr.OnSave();
  QFile a(first), b(second);
  ASSERT_TRUE(a.open(QIODevice::ReadOnly));
  ASSERT_TRUE(b.open(QIODevice::ReadOnly));
  const QByteArray bytes = a.readAll();
  EXPECT_TRUE(bytes.startsWith("speed_actual;Track 1;"));
  EXPECT_EQ(bytes.count("\r\n"), 304);
  EXPECT_EQ(bytes, b.readAll());
}
