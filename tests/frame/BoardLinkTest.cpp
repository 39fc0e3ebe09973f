#include "FrameTestSupport.h"
#include "support/FolderDocHost.h"
#include "TestSupport.h"
#include "../modbus/SerialTestSupport.h"

#include "frame/ChildFrm.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"
#include "platform/StringIds.h"

#include "model/generali.h"

#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class BoardLinkFrame : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(sim.Started()) << "boardsim did not start";
    frame = FrameOnBoard(sim.Device());
    host = std::make_unique<CFolderDocHost>(temp.path(), frame.get());
  }
  void TearDown() override { frame.reset(); }

  CChildFrame *Open(CQelDoc *doc)
  {
    CChildFrame *child = frame->AddChildFrame(doc);
    doc->SetHost(host.get());
    return child;
  }
  // Polls as the timer would, until the condition holds.
  bool TickUntil(const std::function<bool()> &done) { return ::TickUntil(*frame, done); }
  // Online/Offline until the document is online; the requests the board
  // counted meanwhile (no tick polls), or -1 when it did not go online.
  long GoOnline(CChildFrame *child, const CQelDoc &doc)
  {
    const long before = sim.Requests();
    child->OnCommand(Cmd::OnLine);
    return WaitFor([&] { return doc.IsOnline(); }, 8000) ? sim.Requests() - before : -1;
  }
  // The link's time-out, then a fault the board injects from now on.
  bool SlowBoard(int timeoutMs, const QString &fault)
  {
    frame->GetOptions().com_timeout.Set(timeoutMs);
    frame->ApplySerialSettings();
    return sim.Command(fault);
  }
  // Starts a write all (its question answered OK) and waits until the board
  // has received that many of its blocks; the board's count before it.
  long StartWriteAll(CChildFrame *child, long blocks)
  {
    const long before = sim.Requests();
    env.prompter().AnswerMessage(IDOK);
    child->OnCommand(Cmd::WriteAll);
    EXPECT_TRUE(WaitFor([&] { return sim.Requests() >= before + blocks; }, 8000));
    return before;
  }

  TestEnvironment env;
  BoardSimProcess sim;
  QTemporaryDir temp;
  std::unique_ptr<CMainFrame> frame;
  std::unique_ptr<CFolderDocHost> host;
};

TEST_F(BoardLinkFrame, OnlineReadAllWriteCommandsAndPolls)
{
  auto doc = LoadExampleDoc();
  CChildFrame *child = Open(doc.get());
  EXPECT_FALSE(frame->Action(Cmd::ReadAll)->isEnabled());
  child->OnCommand(Cmd::OnLine);
  ASSERT_TRUE(WaitFor([&] { return doc->IsOnline(); }, 8000));
  EXPECT_EQ(child->GetReadState(), 2);
  // The answer that brought it online set the buttons; no tick ran.
  EXPECT_TRUE(frame->Action(Cmd::ReadAll)->isEnabled());
  EXPECT_TRUE(frame->Action(Cmd::OnLine)->isChecked());

  // The board's value comes in with a read all.
  ASSERT_TRUE(sim.Command(QStringLiteral("set max_speed 1700")));
  child->OnCommand(Cmd::ReadAll);
  ASSERT_TRUE(WaitFor([&] { return child->GetReadState() == 4; }, 8000));
  EXPECT_EQ(doc->GetPar(7).GetValue(0), 1700);
  EXPECT_EQ(frame->MessageText(), QStringLiteral("Read all param ...done!"));

  // A write goes to the board and the list shows what it read back.
  child->WriteParameterOnline(7, 2000, false);
  ASSERT_TRUE(WaitFor([&] { return frame->MessageText().startsWith(QStringLiteral("Read max_speed")); }, 8000));
  EXPECT_EQ(doc->GetPar(7).GetValue(0), 2000);
  QString answer;
  ASSERT_TRUE(sim.Command(QStringLiteral("get max_speed"), &answer));
  EXPECT_TRUE(answer.contains(QStringLiteral("2000"))) << answer.toStdString();
  ASSERT_EQ(doc->GetUndoList().size(), 1u);

  // The commands the board has carried out; the control answer comes after
  // every line printed before it.
  auto commands = [&] {
    sim.Requests();
    return sim.Lines().filter(QRegularExpression(QStringLiteral("^COMMAND ")));
  };

  // An EEPROM save reaches the board as a command value, read back into par0.
  env.prompter().AnswerMessage(IDOK);
  child->OnCommand(Cmd::EepSave1);
  EXPECT_TRUE(sim.WaitForLine(QStringLiteral("COMMAND 9999"), 5000));
  ASSERT_TRUE(WaitFor([&] { return doc->GetPar(5).GetValue(0) == 9999; }, 8000));

  // Write all sends the document's values, but not the command par0 keeps.
  doc->GetPar(8).SetRawValue(300); // current_limit
  env.prompter().AnswerMessage(IDOK);
  child->OnCommand(Cmd::WriteAll);
  ASSERT_TRUE(WaitFor([&] { return frame->MessageText() == QStringLiteral("Write all param ...done!"); }, 8000));
  ASSERT_TRUE(sim.Command(QStringLiteral("get current_limit"), &answer));
  EXPECT_TRUE(answer.contains(QStringLiteral("300"))) << answer.toStdString();
  EXPECT_EQ(commands(), QStringList{QStringLiteral("COMMAND 9999")});

  // The default-load hint's 1234 typed into par0's row; the first undo
  // takes back that command, which it cannot, the second max_speed's edit.
  doc->WriteParValue(5, 1234);
  ASSERT_TRUE(WaitFor([&] { return doc->GetPar(5).GetValue(0) == 1234; }, 8000));
  child->OnCommand(Cmd::Undo);
  EXPECT_EQ(frame->MessageText(), LoadStr(IDS_CANNOT_UNDO_COMMAND));
  EXPECT_EQ(doc->GetPar(7).GetValue(0), 2000);
  child->OnCommand(Cmd::Undo);
  EXPECT_TRUE(WaitFor([&] { return doc->GetPar(7).GetValue(0) == 1700; }, 8000));
  EXPECT_EQ(commands(), (QStringList{QStringLiteral("COMMAND 9999"), QStringLiteral("COMMAND 1234")}));

  // A default load as the board command.
  child->WriteCommand(BoardCommand::DefaultBase + 1);
  EXPECT_TRUE(sim.WaitForLine(QStringLiteral("COMMAND 5001"), 5000));

  // Polling brings live values into the variable rows.
  ASSERT_TRUE(sim.Command(QStringLiteral("set dc_voltage 321")));
  const auto &rows = doc->GetVarRows();
  auto row = std::find_if(rows.begin(), rows.end(), [](const VarRowRecord &r) { return r.index == 4; });
  ASSERT_NE(row, rows.end());
  const std::size_t r = static_cast<std::size_t>(row - rows.begin());
  ASSERT_TRUE(TickUntil([&] { return doc->GetVarRows()[r].hasValue && doc->GetVarRows()[r].raw == 321.0f; }));
  EXPECT_EQ(doc->GetVarRows()[r].uiText, QStringLiteral("321"));
  ASSERT_TRUE(sim.Command(QStringLiteral("set dc_voltage 322")));
  ASSERT_TRUE(TickUntil([&] { return doc->GetVarRows()[r].raw == 322.0f; }));
}

TEST_F(BoardLinkFrame, ImportedValuesOutliveTheReadsAfterOnlineAndAreWrittenAll)
{
  auto doc = LoadExampleDoc();
  CChildFrame *child = Open(doc.get());
  std::int16_t trigDelay = -1, maxSpeed = -1, currentLimit = -1;
  ASSERT_TRUE(doc->FindParByName(trigDelay, QStringLiteral("trig_delay")) &&
              doc->FindParByName(maxSpeed, QStringLiteral("max_speed")) &&
              doc->FindParByName(currentLimit, QStringLiteral("current_limit")));

  // An old file of the board with trig_delay 30 and max_speed 2000; the board
  // holds 10 and 1500.
  QFile example(ExamplePath(QStringLiteral("demo-small.vtx")));
  ASSERT_TRUE(example.open(QIODevice::ReadOnly));
  QByteArray text = example.readAll();
  text.replace("trig_delay=10;", "trig_delay=30;").replace("max_speed=1500;", "max_speed=2000;");
  QFile old(temp.filePath(QStringLiteral("old.vtx")));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write(text) == text.size());
  old.close();
  env.prompter().AnswerFile(old.fileName());
  child->OnCommand(Cmd::ImportFile);
  ASSERT_EQ(doc->GetPar(trigDelay).GetValue(0), 30);

  // Online, the trace settings are read once: the imported value stays, the
  // board's goes to the trace settings.
  child->OnCommand(Cmd::OnLine);
  ASSERT_TRUE(WaitFor([&] { return doc->IsOnline(); }, 8000));
  ASSERT_TRUE(TickUntil([&] { return frame->MessageText().startsWith(QStringLiteral("Read trig_delay")); }));
  EXPECT_EQ(doc->GetPar(trigDelay).GetValue(0), 30);
  EXPECT_TRUE(doc->GetPar(trigDelay).IsChanged());
  child->ActivateFrame();
  EXPECT_EQ(doc->GetTraceValue(CQelDocContainer::TRACE_TRIG_DELAY), 10.0f);

  // A click on a row reads its parameter, as the parameter list does.
  const auto readRow = [&](std::int16_t p) {
    CRequestPacket *read = doc->NewReadRequest(static_cast<std::uint16_t>(p)).release();
    frame->AddRequest(read);
    const QString said = QStringLiteral("Read ") + doc->GetPar(p).GetNameText();
    return WaitFor([&] { return frame->MessageText().startsWith(said); }, 8000);
  };
  ASSERT_TRUE(readRow(maxSpeed));
  EXPECT_EQ(doc->GetPar(maxSpeed).GetValue(0), 2000);
  // So does one the file held equal to the document's, whatever the board holds.
  ASSERT_TRUE(sim.Command(QStringLiteral("set current_limit 300")));
  ASSERT_TRUE(readRow(currentLimit));
  EXPECT_EQ(doc->GetPar(currentLimit).GetValue(0), 250);

  env.prompter().AnswerMessage(IDOK);
  child->OnCommand(Cmd::WriteAll);
  ASSERT_TRUE(WaitFor([&] { return frame->MessageText() == QStringLiteral("Write all param ...done!"); }, 8000));
  for (const QString &board :
       {QStringLiteral("trig_delay 30"), QStringLiteral("max_speed 2000"), QStringLiteral("current_limit 250")}) {
    QString answer;
    ASSERT_TRUE(sim.Command(QStringLiteral("get ") + board.section(u' ', 0, 0), &answer));
    EXPECT_EQ(answer, QStringLiteral("OK ") + board);
  }
}

TEST_F(BoardLinkFrame, ABoardFaultTakesTheWindowOfflineWithTheErrorText)
{
  auto doc = LoadExampleDoc();
  CChildFrame *child = Open(doc.get());
  child->OnCommand(Cmd::OnLine);
  ASSERT_TRUE(WaitFor([&] { return doc->IsOnline(); }, 8000));
  ASSERT_TRUE(sim.Command(QStringLiteral("exception 2 all")));
  ASSERT_TRUE(TickUntil([&] { return !doc->IsOnline(); }));
  EXPECT_EQ(child->QueryState(), 0);
  EXPECT_FALSE(frame->MessageText().trimmed().isEmpty());
  EXPECT_NE(frame->MessageText(), QStringLiteral("Online"));
  EXPECT_EQ(frame->MessageText(), doc->GetStatusText());
}

// A write all that stops part-way says so in one box: the block the board
// refused, or that the board was lost, and how many blocks it confirmed.
TEST_F(BoardLinkFrame, AWriteAllCutShortSaysHowFarItGotAndSendsNoMore)
{
  auto doc = LoadExampleDoc();
  CChildFrame *child = Open(doc.get());
  auto online = [&] {
    child->OnCommand(Cmd::OnLine);
    return WaitFor([&] { return doc->IsOnline(); }, 8000);
  };
  ScriptedPrompter &prompter = env.prompter();
  // The question of the write all, then the box that counts.
  auto writeAll = [&] {
    const std::size_t asked = prompter.asked.size() + 1;
    prompter.AnswerMessage(IDOK);
    child->OnCommand(Cmd::WriteAll);
    return WaitFor([&] { return prompter.asked.size() > asked; }, 8000);
  };
  ASSERT_TRUE(online());

  // The board refuses the first block; current_limit rides in a later one.
  doc->GetPar(8).SetRawValue(300);
  ASSERT_TRUE(sim.Command(QStringLiteral("exception 4 1")));
  ASSERT_TRUE(writeAll());
  EXPECT_FALSE(doc->IsOnline());
  EXPECT_TRUE(doc->GetStatusText().contains(QStringLiteral("exception 4"))) << doc->GetStatusText().toStdString();
  EXPECT_EQ(prompter.asked.back().text,
            LoadStrFormat(IDS_WRITE_ALL_BLOCK_FAILED, 1, 9, 1, 1, doc->GetStatusText(), 0, 9));
  // Back online, a read all queued after anything left shows what the board holds.
  ASSERT_TRUE(online());
  child->OnCommand(Cmd::ReadAll);
  ASSERT_TRUE(WaitFor([&] { return child->GetReadState() == 4; }, 8000));
  EXPECT_EQ(doc->GetPar(8).GetValue(0), 250);

  // The board ends while it holds the second block's answer.
  COptions &o = frame->GetOptions();
  o.com_timeout.Set(2000);
  frame->ApplySerialSettings();
  ASSERT_TRUE(sim.Command(QStringLiteral("delay 300 all")));
  const long before = sim.Requests();
  prompter.AnswerMessage(IDOK);
  child->OnCommand(Cmd::WriteAll);
  ASSERT_TRUE(WaitFor([&] { return sim.Requests() >= before + 2; }, 8000));
  sim.Command(QStringLiteral("hangup"));
  ASSERT_TRUE(WaitFor([&] { return !doc->IsOnline(); }, 8000));
  ASSERT_FALSE(prompter.asked.empty());
  EXPECT_EQ(prompter.asked.back().text, LoadStrFormat(IDS_WRITE_ALL_BOARD_LOST, 1, 9, doc->GetStatusText()));
}

// Offline during a write all: the board gets at most the block on the line
// after it, the box's counts bound what it got, and it goes online again.
TEST_F(BoardLinkFrame, OfflineDuringAWriteAllSendsAtMostTheBlockOnTheLine)
{
  auto doc = LoadExampleDoc();
  CChildFrame *child = Open(doc.get());
  const long goOnline = GoOnline(child, *doc);
  ASSERT_GT(goOnline, 0);
  ASSERT_TRUE(SlowBoard(2000, QStringLiteral("delay 100 all")));
  const long before = StartWriteAll(child, 3);
  child->OnCommand(Cmd::OnLine);
  // Nothing of the window waits but the go-offline.
  EXPECT_LE(frame->GetReqPktListSize(), 1);
  const long stopped = sim.Requests();
  EXPECT_EQ(frame->MessageText(), QStringLiteral("Offline"));
  static const QRegularExpression counts(QStringLiteral("confirmed (\\d+) of the 9 blocks\\.\\n(?:(\\d+) more)?"));
  const QRegularExpressionMatch box = counts.match(env.prompter().asked.back().text);
  ASSERT_TRUE(box.hasMatch()) << env.prompter().asked.back().text.toStdString();
  const long confirmed = box.captured(1).toLong();
  const long unconfirmed = box.captured(2).toLong();

  // Online again comes after the block on the line; the rest are blocks.
  ASSERT_GT(GoOnline(child, *doc), 0);
  EXPECT_LE(sim.Requests() - goOnline - stopped, 1);
  const long received = sim.Requests() - goOnline - before;
  EXPECT_LE(confirmed, received);
  EXPECT_LE(received, confirmed + unconfirmed);
  StartWriteAll(child, 1);
  EXPECT_TRUE(WaitFor([&] { return frame->MessageText() == QStringLiteral("Write all param ...done!"); }, 8000));
  EXPECT_TRUE(doc->IsOnline());
}

// A block the board leaves unanswered is not tried again once the write all
// stops, and its failure does not undo the next Online.
TEST_F(BoardLinkFrame, AStoppedBlockIsNotRetriedNorUndoesTheNextOnline)
{
  auto doc = LoadExampleDoc();
  CChildFrame *child = Open(doc.get());
  const long goOnline = GoOnline(child, *doc);
  ASSERT_GT(goOnline, 0);
  ASSERT_TRUE(SlowBoard(500, QStringLiteral("noreply all")));
  StartWriteAll(child, 1);
  child->OnCommand(Cmd::OnLine);
  const long stopped = sim.Requests();
  const std::size_t boxes = env.prompter().asked.size();
  EXPECT_EQ(
      env.prompter().asked.back().text,
      QStringLiteral("Write all stopped: the board had confirmed 0 of the 9 blocks.\n1 more had been sent and may "
                     "have been written too.\nIts parameters may now hold a mix of old and new values."));
  ASSERT_TRUE(sim.Command(QStringLiteral("clear")));
  EXPECT_EQ(GoOnline(child, *doc), goOnline);
  EXPECT_EQ(sim.Requests() - stopped, goOnline);
  EXPECT_EQ(env.prompter().asked.size(), boxes);
}

// Close and Quit ask before they stop a running write all: No lets it end,
// Yes stops it with no box and nothing sent but the block on the line.
TEST_F(BoardLinkFrame, CloseAndQuitAskBeforeStoppingAWriteAll)
{
  auto doc = LoadExampleDoc();
  QPointer<CChildFrame> child = Open(doc.get());
  ASSERT_GT(GoOnline(child, *doc), 0);
  ASSERT_TRUE(SlowBoard(2000, QStringLiteral("delay 30 all")));
  ScriptedPrompter &prompter = env.prompter();
  const QString question = QStringLiteral("A write all is running in %1 (board 1): ").arg(doc->GetTitle());
  const long before = StartWriteAll(child, 2);
  prompter.AnswerMessage(IDNO);
  EXPECT_FALSE(frame->close());
  EXPECT_TRUE(prompter.asked.back().text.startsWith(question)) << prompter.asked.back().text.toStdString();
  prompter.AnswerMessage(IDNO);
  EXPECT_FALSE(child->close());
  EXPECT_TRUE(prompter.asked.back().text.startsWith(question));
  ASSERT_TRUE(WaitFor([&] { return frame->MessageText() == QStringLiteral("Write all param ...done!"); }, 8000));
  EXPECT_EQ(sim.Requests() - before, 9);
  EXPECT_TRUE(doc->IsOnline());

  StartWriteAll(child, 2);
  doc->SetModifiedFlag(false);
  const std::size_t asked = prompter.asked.size();
  prompter.AnswerMessage(IDYES);
  EXPECT_TRUE(child->close());
  const long closed = sim.Requests();
  EXPECT_EQ(prompter.asked.size(), asked + 1);
  // The go-offline is taken once the block on the line is done.
  ASSERT_TRUE(WaitFor([&] { return frame->GetSerManager()->GetReqPktListSize() == 0; }, 8000));
  EXPECT_LE(sim.Requests() - closed, 1);
  EXPECT_TRUE(WaitFor([&] { return child.isNull(); }, 8000));
}

TEST_F(BoardLinkFrame, InitializeFromTheBoardLoadsItsDescription)
{
  auto doc = std::make_unique<CQelDoc>();
  CChildFrame *child = Open(doc.get());
  // The address a new document starts with is no board's here.
  child->SetAddress(1);
  child->OnCommand(Cmd::OnLine);
  ASSERT_TRUE(WaitFor([&] { return doc->IsOnline(); }, 8000));
  EXPECT_EQ(doc->GetVersion(), QStringLiteral("NORV DMX0512 v1.03"));
  EXPECT_TRUE(frame->IsCommandEnabled(Cmd::InitDescriptions));
  child->OnCommand(Cmd::InitDescriptions);
  ASSERT_TRUE(WaitFor([&] { return doc->AreDescriptionsLoaded(); }, 15000));
  EXPECT_EQ(doc->GetParCount(), 17);
  EXPECT_EQ(doc->GetVarCount(), 13);
  EXPECT_TRUE(doc->IsOnline());
  EXPECT_EQ(g_hInitFrame, kNoWindow);
  // The copy in the library serves the next initialization.
  EXPECT_FALSE(doc->FindDescriptionCopy(doc->GetVersion()).isEmpty());
  child->OnCommand(Cmd::ReadAll);
  ASSERT_TRUE(WaitFor([&] { return child->GetReadState() == 4; }, 8000));
}

// The full example cut short, served by the board, English selected. Read
// whole, the cut l3 would put pos_target on par0's registers, and names
// handed out by position would label rows with their neighbours' names.
TEST_F(BoardLinkFrame, ABoardDescriptionCutShortIsExplainedFirstAndKeepsEveryItemInPlace)
{
  QFile example(ExamplePath(QStringLiteral("demo-full.vtx")));
  ASSERT_TRUE(example.open(QIODevice::ReadOnly));
  const QByteArray whole = example.readAll();
  CQelDoc ref;
  CDocArchive all = CDocArchive::FromBytes(whole);
  ASSERT_TRUE(ref.LoadFromArchive(all));
  const int names = static_cast<int>(ref.GetBlocks().size()) + ref.GetParCount() + ref.GetVarCount();
  const QByteArray l3("l3 pos_target=100000; m=-1000000; d=0; M=1000000; k=-1; n=-1;");
  const QByteArray p10("p10 current_limit=250; m=0; d=200; M=4");
  QByteArray cutP10 = whole;
  const qsizetype p10At = cutP10.indexOf(p10) + p10.size();
  cutP10.remove(p10At, cutP10.indexOf('\r', p10At) - p10At);
  // Line numbers as the board sends the text: without the header line.
  auto lineOf = [&](const QByteArray &start) { return static_cast<int>(whole.left(whole.indexOf(start)).count('\n')); };
  const struct {
    const char *what;
    QByteArray text;
    int refused;
  } cases[] = {
      {"right after a key's ';'", whole.left(whole.indexOf(l3) + l3.size()), 1},
      {"exactly at a line end", whole.left(whole.indexOf('\n', whole.indexOf(l3)) + 1), 0},
      {"inside p10, the text going on", cutP10, 15},
  };
  frame->GetOptions().InitializeLanguage.SetValue(QStringLiteral("en"));
  std::vector<std::unique_ptr<CQelDoc>> docs; // as long as their windows
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    QFile file(temp.filePath(QStringLiteral("cut.vtx")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(c.text) == c.text.size());
    file.close();
    BoardSimProcess board({QStringLiteral("--doc"), file.fileName()});
    ASSERT_TRUE(board.Started());
    frame->GetSerManager()->SetDevicePath(board.Device());
    frame->ApplySerialSettings();
    env.prompter().asked.clear();

    CQelDoc *doc = docs.emplace_back(std::make_unique<CQelDoc>()).get();
    CChildFrame *child = Open(doc);
    child->SetAddress(3);
    child->OnCommand(Cmd::OnLine);
    ASSERT_TRUE(WaitFor([&] { return doc->IsOnline(); }, 8000));
    child->OnCommand(Cmd::InitDescriptions);
    ASSERT_TRUE(WaitFor([&] { return doc->AreDescriptionsLoaded(); }, 15000));
    EXPECT_EQ(doc->GetLanguageName(), QStringLiteral("en"));
    EXPECT_EQ(doc->GetRefusedLineCount(), c.refused);
    const int records = static_cast<int>(doc->GetBlocks().size()) + doc->GetParCount() + doc->GetVarCount();
    const QString explanation =
        (c.refused ? LoadStrFormat(IDS_LINES_REFUSED, c.refused, lineOf(c.refused == 1 ? l3 : p10))
                   : LoadStrFormat(IDS_DESC_INCOMPLETE, records, names)) +
        QStringLiteral("\r\n") + LoadStr(IDS_NAMES_HELD_BACK);
    ASSERT_FALSE(env.prompter().asked.empty());
    EXPECT_EQ(env.prompter().asked.front().text, explanation) << "before the standard items' boxes";
    EXPECT_TRUE(doc->FindDescriptionCopy(doc->GetVersion()).isEmpty());
    // Each row is labelled with the item it writes, on that item's registers.
    std::int16_t target = -1;
    for (int i = 0; i < doc->GetParCount(); ++i) {
      const Parametri &par = doc->GetPar(i);
      std::int16_t r = -1;
      ASSERT_TRUE(ref.FindParByName(r, par.GetName()));
      EXPECT_EQ(par.GetNameText(), par.GetName());
      EXPECT_EQ(par.GetAddress(), ref.GetPar(r).GetAddress()) << par.GetName().toStdString();
      if (par.GetName() == QStringLiteral("pos_target"))
        target = static_cast<std::int16_t>(i);
    }
    if (target >= 0) {
      // Typed into pos_target's row, a value reaches pos_target, not par0.
      child->WriteParameterOnline(target, 9999, false);
      ASSERT_TRUE(WaitFor([&] { return frame->MessageText().startsWith(QStringLiteral("Read pos_target")); }, 8000));
      QString answer;
      ASSERT_TRUE(board.Command(QStringLiteral("get pos_target"), &answer));
      EXPECT_TRUE(answer.contains(QStringLiteral("9999"))) << answer.toStdString();
      board.Requests();
      EXPECT_TRUE(board.Lines().filter(QRegularExpression(QStringLiteral("^COMMAND "))).isEmpty());
    }
    child->OnCommand(Cmd::OnLine);
    ASSERT_TRUE(WaitFor([&] { return !doc->IsOnline(); }, 8000));
  }
}

} // namespace
