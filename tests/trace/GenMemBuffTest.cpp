#include "TraceTestSupport.h"

#include "TestSupport.h"
#include "chart/ChartCtrl.h"
#include "controls/XTabCtrl.h"
#include "optiontree/OptionTree.h"
#include "model/generali.h"
#include "platform/SaveFile.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "trace/GenMemBuff.h"
#include "trace/MemBuffDlg.h"

#include <QBuffer>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class GenMemBuffTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    CMemBuffDlg::DefaultGains().fill(1.0);
    CMemBuffDlg::DefaultOffsets().fill(0.0);
    mgr.SetBoards(&RegisteredBoards());
    mgr.SetSelectChildHook([this](std::uint8_t address) {
      selected.push_back(address);
      if (other.address == address) {
        mgr.SetAddress(other.id, address);
        mgr.ShowControls(true);
      }
    });
    mgr.show();
  }

  // What the main frame stores from the active document, then shows.
  void Report(FakeChild &board, float sampling, int divider, int delay, int pos, int neg)
  {
    mgr.SetAddress(board.id, board.address);
    mgr.m_fSamplingTime = sampling;
    mgr.m_nBufLength = 1000;
    mgr.m_nDiagnTs = static_cast<std::int16_t>(divider);
    mgr.m_idxDiagnTs = 11;
    mgr.m_nTrigDelay = static_cast<std::int16_t>(delay);
    mgr.m_idxTrigDelay = 12;
    mgr.m_nTrigLevPos = static_cast<std::int16_t>(pos);
    mgr.m_idxTrigLevPos = 13;
    mgr.m_nTrigLevNeg = static_cast<std::int16_t>(neg);
    mgr.m_idxTrigLevNeg = 14;
    mgr.UpdateFields();
  }

  // Types into an edit and presses Enter; the board's read-back then
  // refills the edits (values unchanged here).
  void Enter(int id, const QString &text)
  {
    mgr.SetItemText(id, text);
    mgr.OnOk();
    refused = mgr.GetItemText(id);
    mgr.UpdateFields();
  }

  bool Visible(int id) const { return mgr.GetDlgItem(id)->isVisible(); }

  TestEnvironment env;
  CGenMemBuff mgr;
  FakeChild child;
  FakeChild other;
  std::vector<int> selected;
  QString refused; // the edit's text right after Enter
};

} // namespace

TEST_F(GenMemBuffTest, AttachingShowsTheBoardAndDetachingEmptiesTheFields)
{
  EXPECT_FALSE(Visible(CGenMemBuff::IDC_SAMPLING)) << "only the tabs and file buttons show at first";
  EXPECT_LE(mgr.width(), 1280);
  EXPECT_LE(mgr.height(), 800);
  EXPECT_TRUE(Visible(CGenMemBuff::IDC_OPEN));
  Report(child, 0.5f, 4, 10, -555, 300);
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_ADDRESS), QStringLiteral("5"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_STATE), QStringLiteral("ready to download"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_SAMPLING), QStringLiteral("2.00"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_TRIG_DELAY), QStringLiteral("20.0"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_TRIG_POS), QStringLiteral("-555"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_TRIG_NEG), QStringLiteral("300"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_BUF_LENGTH), QStringLiteral("1000"));
  EXPECT_TRUE(Visible(CGenMemBuff::IDC_SAMPLING));
  EXPECT_TRUE(Visible(CGenMemBuff::IDC_DOWNLOAD));
  EXPECT_TRUE(Visible(266));

  // Divider 0 is the base period itself.
  Report(child, 0.5f, 0, 10, 1, 2);
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_SAMPLING), QStringLiteral("0.500"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_TRIG_DELAY), QStringLiteral("5.00"));

  mgr.SetAddress(kNoWindow, 0);
  mgr.UpdateFields();
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_SAMPLING), QString());
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_TRIG_POS), QString());
}

TEST_F(GenMemBuffTest, AnotherBoardStartsFromTheInitialValues)
{
  Report(child, 0.5f, 4, 10, 100, -100);
  mgr.SetAddress(child.id, child.address);
  EXPECT_EQ(mgr.m_idxTrigLevPos, 13) << "the same board keeps its values";
  EXPECT_EQ(mgr.m_nDiagnTs, 4);

  mgr.SetAddress(other.id, 9);
  EXPECT_EQ(mgr.m_nBufLength, -111);
  EXPECT_FLOAT_EQ(mgr.m_fSamplingTime, -222.0f);
  EXPECT_EQ(mgr.m_nDiagnTs, -333);
  EXPECT_EQ(mgr.m_nTrigDelay, -444);
  EXPECT_EQ(mgr.m_nTrigLevPos, -555);
  EXPECT_EQ(mgr.m_nTrigLevNeg, -666);
  for (std::int16_t idx : {mgr.m_idxDiagnTs, mgr.m_idxTrigLevPos, mgr.m_idxTrigLevNeg, mgr.m_idxTrigDelay})
    EXPECT_EQ(idx, -1);
  // Its document lacks the items: nothing typed reaches a parameter of the last board.
  mgr.UpdateFields();
  other.address = 9;
  Enter(CGenMemBuff::IDC_TRIG_POS, QStringLiteral("50"));
  EXPECT_EQ(refused, QStringLiteral("50")) << "not sent, and the typed text stays";
  Enter(CGenMemBuff::IDC_SAMPLING, QStringLiteral("3"));
  EXPECT_TRUE(other.writes.empty());
  EXPECT_TRUE(child.writes.empty());
}

// Typed times become the divider and the delay in samples; infinities and
// huge values are limited to the parameter.
TEST_F(GenMemBuffTest, TypedValuesBecomeParameterWrites)
{
  enum : int { Sampling = CGenMemBuff::IDC_SAMPLING, Delay = CGenMemBuff::IDC_TRIG_DELAY };
  enum : int { Pos = CGenMemBuff::IDC_TRIG_POS, Neg = CGenMemBuff::IDC_TRIG_NEG };
  const struct {
    float base;
    int divider, edit;
    const char *typed;
    int index; // -1: nothing is written
    double value;
    const char *why;
  } rows[] = {
      {0.5f, 4, Sampling, "2.5", 11, 5.0, ""},
      {0.5f, 4, Sampling, "2.4", 11, 4.0, "the divider is truncated"},
      {0.5f, 4, Delay, "10", 12, 5.0, ""},
      {0.5f, 4, Delay, "1.3", 12, 0.65, "the delay is not made whole"},
      {0.5f, 4, Pos, "1200", 13, 1200, ""},
      {0.5f, 4, Neg, " -800.5 ", 14, -800.5, ""},
      {0.1f, 1, Sampling, "0.2", 11, 2.0, "a whole multiple of a float base is not truncated below"},
      {0.1f, 1, Sampling, "0.3", 11, 3.0, "a whole multiple of a float base is not truncated below"},
      {0.1f, 1, Sampling, "0.25", 11, 2.0, "still truncated between multiples"},
      {0.5f, 1, Sampling, "inf", 11, 32767, ""},
      {0.5f, 1, Sampling, "100000", 11, 32767, "200000 is limited, never wrapped to 3392"},
      {0.5f, 1, Delay, "+Infinity", 12, 32767, ""},
      {0.5f, 1, Pos, "-inf", 13, -32768, ""},
      {0.5f, 1, Neg, "1e9", 14, 1e9, "a finite level goes as typed; the child frame clamps it"},
      {0.5f, 1, Sampling, "-inf", -1, 0, "a negative divider is refused"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(std::string(row.typed) + ": " + row.why);
    child.writes.clear();
    Report(child, row.base, row.divider, 10, 7, -7);
    Enter(row.edit, QString::fromLatin1(row.typed));
    if (row.index < 0) {
      EXPECT_TRUE(child.writes.empty());
      continue;
    }
    ASSERT_EQ(child.writes.size(), 1u);
    EXPECT_EQ(child.writes[0].index, row.index);
    EXPECT_DOUBLE_EQ(child.writes[0].value, row.value);
  }

  // Enter in an edit applies the settings, as the button-less dialog does.
  child.writes.clear();
  mgr.SetItemText(CGenMemBuff::IDC_TRIG_POS, QStringLiteral("99"));
  QTest::keyClick(mgr.GetDlgItem(CGenMemBuff::IDC_TRIG_POS), Qt::Key_Return);
  ASSERT_EQ(child.writes.size(), 1u);
  EXPECT_DOUBLE_EQ(child.writes[0].value, 99);
  EXPECT_TRUE(mgr.isVisible());

  // Unchanged edits write nothing.
  child.writes.clear();
  Report(child, 0.5f, 4, 10, 0, 0);
  mgr.OnOk();
  EXPECT_TRUE(child.writes.empty());
}

TEST_F(GenMemBuffTest, BadValuesAreRefusedAndTheEditShowsItsLastText)
{
  Report(child, 0.5f, 4, 10, 7, -7);
  for (const char *bad : {"nan", "-nan", "abc", "", "2ms", "-3"}) {
    Enter(CGenMemBuff::IDC_SAMPLING, QString::fromLatin1(bad));
    EXPECT_EQ(refused, QStringLiteral("2.00")) << bad;
    Enter(CGenMemBuff::IDC_TRIG_DELAY, QString::fromLatin1(bad));
    EXPECT_EQ(refused, QStringLiteral("20.0")) << bad;
  }
  Enter(CGenMemBuff::IDC_TRIG_POS, QStringLiteral("nan"));
  EXPECT_EQ(refused, QStringLiteral("7"));
  EXPECT_TRUE(child.writes.empty());

  // A zero base period never divides.
  Report(child, 0.0f, 4, 10, 7, -7);
  mgr.SetItemText(CGenMemBuff::IDC_SAMPLING, QStringLiteral("2"));
  mgr.SetItemText(CGenMemBuff::IDC_TRIG_DELAY, QStringLiteral("2"));
  mgr.OnOk();
  EXPECT_TRUE(child.writes.empty());
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_SAMPLING), QStringLiteral("0.000"));

  // No divider parameter: the sampling time is not sent.
  Report(child, 0.5f, 4, 10, 7, -7);
  mgr.m_idxDiagnTs = -1;
  Enter(CGenMemBuff::IDC_SAMPLING, QStringLiteral("3"));
  EXPECT_EQ(refused, QStringLiteral("2.00"));
  EXPECT_TRUE(child.writes.empty());

  // No trigger parameter: a typed number is not sent and stays as typed;
  // a text that is no number is still taken back.
  mgr.m_idxTrigLevPos = mgr.m_idxTrigDelay = -1;
  Enter(CGenMemBuff::IDC_TRIG_DELAY, QStringLiteral("12.5"));
  EXPECT_EQ(refused, QStringLiteral("12.5"));
  Enter(CGenMemBuff::IDC_TRIG_POS, QStringLiteral("abc"));
  EXPECT_EQ(refused, QStringLiteral("7"));
  EXPECT_TRUE(child.writes.empty());
}

TEST_F(GenMemBuffTest, EnterWithoutABoardOrWithAnotherAddress)
{
  mgr.SetItemText(CGenMemBuff::IDC_SAMPLING, QStringLiteral("3"));
  mgr.OnOk();
  mgr.OnDownload();
  EXPECT_EQ(mgr.GetState(), 1);
  EXPECT_TRUE(selected.empty());

  Report(child, 0.5f, 4, 10, 7, -7);
  other.address = 9;
  mgr.SetItemText(CGenMemBuff::IDC_SAMPLING, QStringLiteral("3"));
  Enter(CGenMemBuff::IDC_ADDRESS, QStringLiteral("9"));
  ASSERT_EQ(selected, std::vector<int>{9});
  EXPECT_EQ(mgr.m_hBoardWnd, other.id);
  EXPECT_TRUE(child.writes.empty()) << "nothing is written on a change of board";
  EXPECT_TRUE(Visible(CGenMemBuff::IDC_SAMPLING));

  Enter(CGenMemBuff::IDC_ADDRESS, QStringLiteral("77"));
  EXPECT_EQ(selected.back(), 77);
  EXPECT_EQ(mgr.m_hBoardWnd, kNoWindow);
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_ADDRESS), QStringLiteral("0"));
  EXPECT_TRUE(Visible(CGenMemBuff::IDC_ADDRESS));
  EXPECT_TRUE(Visible(263));
  EXPECT_FALSE(Visible(CGenMemBuff::IDC_SAMPLING));
  EXPECT_FALSE(Visible(CGenMemBuff::IDC_DOWNLOAD));
}

TEST_F(GenMemBuffTest, DownloadPostsTheTraceReadOnlyInManualMode)
{
  Report(child, 0.5f, 4, 10, 7, -7);
  static_cast<QPushButton *>(mgr.GetDlgItem(CGenMemBuff::IDC_AUTOMATIC))->click();
  EXPECT_EQ(mgr.GetMode(), 1);
  EXPECT_TRUE(Visible(CGenMemBuff::IDC_DOWNLOAD)) << "visibility follows at the next ShowControls";
  mgr.ShowControls(true);
  EXPECT_FALSE(Visible(CGenMemBuff::IDC_DOWNLOAD));
  mgr.OnDownload();
  EXPECT_EQ(mgr.GetState(), 1);

  mgr.SetMode(0);
  EXPECT_TRUE(static_cast<QPushButton *>(mgr.GetDlgItem(CGenMemBuff::IDC_MANUAL))->isChecked());
  mgr.OnDownload();
  EXPECT_EQ(mgr.GetState(), 2);
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_STATE), QStringLiteral("download"));
  EXPECT_EQ(child.traceReads, 0) << "posted, not sent";
  EXPECT_TRUE(QTest::qWaitFor([&] { return child.traceReads == 1; }, 5000));

  mgr.SetState(7);
  EXPECT_EQ(mgr.GetState(), 2) << "an unknown state changes nothing";
  mgr.SetState(0);
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_STATE), QStringLiteral("offline"));
}

TEST_F(GenMemBuffTest, ADownloadedBufferOpensATabSavesAndLoadsToTheSameBytes)
{
  Report(child, 0.5f, 2, 10, 7, -7);
  child.labels = {QStringLiteral("speed"), QStringLiteral("speed_ref"), {}, QStringLiteral("Iq"), {}, {}};
  mgr.OnDownload();
  EXPECT_TRUE(QTest::qWaitFor([&] { return child.traceReads == 1; }, 5000));
  const QString lastName = RouteTraceAnswer(mgr, child, TraceAnswer(child.id, 6, 400));

  ASSERT_EQ(mgr.GetBufferCount(), 1);
  EXPECT_EQ(mgr.GetState(), 1);
  EXPECT_EQ(child.marksCleared, 1);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^drive-a-\\d\\d:\\d\\d:\\d\\d$")).match(lastName).hasMatch())
      << lastName.toStdString();
  EXPECT_EQ(mgr.GetTabCtrl()->GetTabText(0), lastName);
  CMemBuffDlg *w = mgr.GetBufferWindow(0);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->GetTrackLabel(1), QStringLiteral("speed_ref"));
  EXPECT_EQ(w->GetSamplingItem()->GetWindowText(), QStringLiteral("1.00 ms"));
  EXPECT_EQ(w->GetTrigDelayItem()->GetWindowText(), QStringLiteral("10.0 ms"));
  EXPECT_DOUBLE_EQ(w->GetRaw(3, 399), TraceWord(399, 3));
  w->GetChart()->resize(800, 500);
  const QImage image = RenderChart(*w->GetChart());
  for (int t = 0; t < 6; ++t)
    EXPECT_GT(CountColour(image, ToQColor(w->GetChart()->GetSeriesColorTable(t)).rgb()), 50) << "track " << t;

  QTemporaryDir dir;
  const QByteArray bytes = SaveOpenSave(mgr, env.prompter(), dir.path());
  EXPECT_EQ(bytes.count("\r\n"), 404);
  ASSERT_EQ(mgr.GetBufferCount(), 2);
  EXPECT_EQ(mgr.GetTabCtrl()->GetCurSel(), 1);
  EXPECT_TRUE(mgr.GetTabCtrl()->GetTabText(1).startsWith(QStringLiteral("first.csv-")));
  ASSERT_EQ(env.prompter().asked.size(), 3u);
  EXPECT_EQ(env.prompter().asked[0].text, QStringLiteral("Save Document"));
  EXPECT_EQ(env.prompter().asked[1].text, QStringLiteral("Open Document"));
  EXPECT_TRUE(env.prompter().asked[1].file.fileMustExist);
  EXPECT_EQ(env.prompter().asked[1].file.filter, QStringLiteral("CSV files (.csv)|*.csv|All Files (*.*)|*.*||"));

  mgr.OnCloseTab();
  EXPECT_EQ(mgr.GetBufferCount(), 1);
  mgr.OnCloseTab();
  mgr.OnCloseTab();
  EXPECT_EQ(mgr.GetBufferCount(), 0);
  mgr.OnSave();
  EXPECT_EQ(env.prompter().asked.size(), 3u) << "no tab, no save";
}

TEST_F(GenMemBuffTest, ChartTimesAreMinusOneWhenTheManagerLacksThem)
{
  auto timesOf = [this](float sampling, int divider, int delay) {
    Report(child, sampling, divider, delay, 0, 0);
    RouteTraceAnswer(mgr, child, TraceAnswer(child.id, 1, 3));
    CMemBuffDlg *w = mgr.GetBufferWindow(mgr.GetBufferCount() - 1);
    return std::make_pair(w->GetSamplingTime(), w->GetTrigDelay());
  };
  EXPECT_EQ(timesOf(0.5f, -1, 4), std::make_pair(-1.0, -1.0)) << "divider not arrived";
  EXPECT_EQ(timesOf(0.0f, 0, 4), std::make_pair(-1.0, -1.0)) << "no positive base period";
  EXPECT_EQ(timesOf(0.5f, 0, 4), std::make_pair(0.5, 2.0));
  EXPECT_EQ(timesOf(0.5f, 3, -444), std::make_pair(1.5, -1.0)) << "delay not arrived";
  mgr.m_nDiagnTs = 3;
  mgr.m_fSamplingTime = -222.0f;
  QString name;
  mgr.AddBufferWindow(name, {}, {}, TraceAnswer(child.id, 1, 3));
  EXPECT_DOUBLE_EQ(mgr.GetBufferWindow(mgr.GetBufferCount() - 1)->GetSamplingTime(), -1.0)
      << "a base period not arrived gives no time";
  EXPECT_EQ(mgr.GetBufferWindow(mgr.GetBufferCount() - 1)->GetSamplingItem()->GetWindowText(),
            QStringLiteral("-1.00 ms"));
  EXPECT_TRUE(name.startsWith(u'-')) << "a never-saved document gives only the time";
}

TEST_F(GenMemBuffTest, AFailedSaveSaysSoAndWritesNothing)
{
  Report(child, 0.5f, 2, 10, 7, -7);
  RouteTraceAnswer(mgr, child, TraceAnswer(child.id, 2, 5));
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("missing/sub/buf.csv"));
  env.prompter().AnswerFile(path);
  mgr.OnSave();
  ASSERT_EQ(env.prompter().asked.size(), 2u);
  EXPECT_EQ(env.prompter().asked[1].kind, ScriptedPrompter::Asked::Message);
  EXPECT_EQ(env.prompter().asked[1].text, vtx::SaveErrorText(vtx::SaveError::FolderNotWritable, path));
  EXPECT_FALSE(QFile::exists(path));

  // A write that fails after the file was made keeps the old file whole.
  const QString old = dir.filePath(QStringLiteral("old.csv"));
  QFile file(old);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(40, 'x'));
  file.close();
  env.prompter().AnswerFile(old);
  {
    const FileSizeLimit limit(64);
    mgr.OnSave();
  }
  ASSERT_EQ(env.prompter().asked.size(), 4u);
  EXPECT_EQ(env.prompter().asked[3].text, vtx::SaveErrorText(vtx::SaveError::FileTooLarge, old));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray(40, 'x'));
}

// A file refused whole adds no tab and leaves the open buffers as they were;
// the message names the file and the fault, except for a header cut short.
TEST_F(GenMemBuffTest, ARefusedFileAddsNoTabAndSaysWhy)
{
  Report(child, 0.5f, 2, 10, 7, -7);
  RouteTraceAnswer(mgr, child, TraceAnswer(child.id, 6, 20));
  auto saved = [this] {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    EXPECT_TRUE(mgr.GetBufferWindow(0)->SaveBuffer(out));
    return out.data();
  };
  const QByteArray before = saved();
  const QByteArray header = "A;B;C;D;E;F\r\n1;1;1;1;1;1\r\n0;0;0;0;0;0\r\n0.5; 2\r\n";
  const struct {
    const char *name;
    QByteArray bytes;
    const char *reason; // empty: the read error alone
  } cases[] = {
      {"gain.csv", "A;B\r\n1;nan;1;1;1;1\r\n0;0;0;0;0;0\r\n0.5; 2\r\n1;2\r\n",
       "Line 2 holds a number that is not finite."},
      {"offset.csv", "A;B\r\n1;1\r\n0;0;0;0;0;-inf\r\n0.5; 2\r\n1;2\r\n", "Line 3 holds a number that is not finite."},
      {"time.csv", "A;B\r\n1;1\r\ninf; 2\r\n1;2\r\n", "Line 3 holds a number that is not finite."},
      {"sample.csv", header + "1;2;3;4;5;6\r\n1;2;1e999\r\n", "Line 6 holds a number that is not finite."},
      {"cut.csv", header + "1;2;3;4;5;6\r\n100;2", "Line 6 is cut: the file ends inside it."},
      {"cuttime.csv", "A;B\r\n1;1\r\n0;0;0;0;0;0\r\n0.5; 2", "Line 4 is cut: the file ends inside it."},
      {"short.csv", "A;B\r\n1;1\r\n0;0;0;0;0;0\r\n", ""},
  };
  QTemporaryDir dir;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    ASSERT_TRUE(WriteFile(path, c.bytes));
    const std::size_t asked = env.prompter().asked.size();
    env.prompter().AnswerFile(path);
    mgr.OnOpen();
    EXPECT_EQ(mgr.GetBufferCount(), 1);
    EXPECT_EQ(mgr.GetTabCtrl()->GetCurSel(), 0);
    EXPECT_EQ(saved(), before);
    EXPECT_EQ(env.prompter().asked.size(), asked + 2) << "the file dialog and one message";
    const QString reason = QString::fromLatin1(c.reason);
    EXPECT_EQ(env.prompter().asked.back().text,
              reason.isEmpty()
                  ? QStringLiteral("Errore lettura file")
                  : QStringLiteral("Errore lettura file\n%1\n%2").arg(QString::fromLatin1(c.name), reason));
  }
}

// Every label and mode button shows its whole text in both languages, and the
// bar still fits a 1280-pixel screen. Under the Italian interface it speaks Italian.
TEST(GenMemBuffText, LabelsFitTheirBoxesInBothLanguages)
{
  TestEnvironment env;
  for (bool italian : {false, true}) {
    if (italian) {
      ASSERT_TRUE(StringTable::Instance().SetLanguage(StringTable::Language::Italian,
                                                      QStringLiteral(VELOTRIX_BIN_DIR "/LangITA11.rcc")));
    }
    CGenMemBuff manager;
    EXPECT_EQ(manager.windowTitle(), italian ? "Gestione buffer di memoria" : "Memory buffer manager");
    int right = 0;
    for (int id : {263, 264, 265, 266, 267, 268, int(CGenMemBuff::IDC_AUTOMATIC), int(CGenMemBuff::IDC_MANUAL)}) {
      QWidget *w = manager.GetDlgItem(id);
      ASSERT_NE(w, nullptr) << id;
      const QString text = w->property("text").toString();
      EXPECT_LE(w->fontMetrics().horizontalAdvance(text), w->width()) << italian << " " << text.toStdString();
      right = std::max(right, w->geometry().right());
    }
    EXPECT_EQ(manager.GetDlgItem(CGenMemBuff::IDC_AUTOMATIC)->property("text").toString(),
              italian ? "Automatico" : "Automatic");
    // The state field shows each state text whole, on one or two lines.
    QWidget *state = manager.GetDlgItem(CGenMemBuff::IDC_STATE);
    for (unsigned id : {IDS_BUFFER_OFFLINE, IDS_BUFFER_READY, IDS_BUFFER_DOWNLOAD}) {
      const QRect need = state->fontMetrics().boundingRect(QRect(0, 0, state->width() - 4, 1000),
                                                           Qt::AlignCenter | Qt::TextWordWrap, LoadStr(id));
      EXPECT_LE(need.width(), state->width() - 4) << italian;
      EXPECT_LE(need.height(), state->height() - 4) << italian;
    }
    EXPECT_LT(right, 1280);
  }
}
