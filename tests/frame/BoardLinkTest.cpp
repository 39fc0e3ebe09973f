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

TEST_F(BoardLinkFrame, ABoardDescriptionCutShortIsReportedAndIsNoLibraryCopy)
{
  // The full example cut inside pos_target's line: read whole, that line
  // would put it on the command parameter's registers.
  QFile example(ExamplePath(QStringLiteral("demo-full.vtx")));
  ASSERT_TRUE(example.open(QIODevice::ReadOnly));
  QByteArray text = example.readAll();
  const QByteArray cut("l3 pos_target=100000; m=-1000000; d=0; M=1000000; k=-1; n=-1; s");
  text.truncate(text.indexOf(cut) + cut.size());
  QFile file(temp.filePath(QStringLiteral("cut.vtx")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
  file.close();
  BoardSimProcess board({QStringLiteral("--doc"), file.fileName()});
  ASSERT_TRUE(board.Started());
  frame->GetSerManager()->SetDevicePath(board.Device());
  frame->ApplySerialSettings();

  auto doc = std::make_unique<CQelDoc>();
  CChildFrame *child = Open(doc.get());
  child->SetAddress(3);
  child->OnCommand(Cmd::OnLine);
  ASSERT_TRUE(WaitFor([&] { return doc->IsOnline(); }, 8000));
  child->OnCommand(Cmd::InitDescriptions);
  ASSERT_TRUE(WaitFor([&] { return doc->AreDescriptionsLoaded(); }, 15000));
  EXPECT_EQ(doc->GetParCount(), 3);
  EXPECT_EQ(doc->GetRefusedLineCount(), 1);
  ASSERT_FALSE(env.prompter().asked.empty());
  // The board sends the file without its header line.
  EXPECT_EQ(env.prompter().asked.back().text, LoadStrFormat(IDS_LINES_REFUSED, 1, static_cast<int>(text.count('\n'))));
  EXPECT_TRUE(doc->FindDescriptionCopy(doc->GetVersion()).isEmpty());
}

} // namespace
