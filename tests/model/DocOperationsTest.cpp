// Value writes with undo, read requests, trees, texts, manual and reset read.
#include "DocFakes.h"

#include "model/FormatBinary16.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/Format.h"

#include <QFile>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

namespace {

// Parameters: 0 plain 16-bit, 1 read-only, 2 bit field, 3 32-bit, 4 float,
// 5 variable link, 6 parameter link, 7 is_sw_set (at address 17).
const char *const Board = "#Norv tembrano v1.1\r\n"
                          "Version = NORV OPS0512 v1.0;\r\n"
                          "MODBUS = 9;\r\n"
                          "K[] = 1;\r\n"
                          "b1 Main#0; b=1; a=0;\r\n"
                          "b2 Child#1; b=3; a=0;\r\n"
                          "b3 Empty#0; b=5; a=0;\r\n"
                          "f0 gain=1.5; m=0; d=1; M=10; k=0; n=0; s=0; b=2; p=4; v=0; a=0; u=-1;\r\n"
                          "l1 pos=0; m=-1000; d=0; M=1000; k=-1; n=-1; s=0; b=2; p=0; v=0; a=0; u=-1;\r\n"
                          "p2 plain=10; m=0; d=0; M=100; k=-1; n=-1; s=0; b=1; p=6; v=0; a=0; u=-1;\r\n"
                          "p3 ro=5; m=0; d=0; M=100; k=-1; n=-1; s=0; b=1; p=1; v=0; a=2; u=-1;\r\n"
                          "p4 bits=0; m=-32768; d=0; M=32767; k=-1; n=-1; s=0; b=1; p=2; v=2; a=4; u=-1;\r\n"
                          "p5 vlink=30; m=0; d=0; M=5000; k=-1; n=-1; s=0; b=1; p=3; v=0; a=1; u=-1;\r\n"
                          "p6 plink=16; m=0; d=0; M=9999; k=-1; n=-1; s=0; b=1; p=4; v=0; a=16; u=-1;\r\n"
                          "p7 is_sw_set=0; m=0; d=0; M=1; k=-1; n=-1; s=0; b=1; p=7; v=0; a=0; u=-1;\r\n"
                          "v0 a; k=-1; n=-1; s=0; b=2; p=0; v=0; a=0; u=-1;\r\n"
                          "v1 b; k=-1; n=-1; s=0; b=2; p=1; v=0; a=0; u=-1;\r\n"
                          "v2 c; k=-1; n=-1; s=0; b=1; p=0; v=3; a=0; u=-1;\r\n"
                          "\r\n";

class DocOps : public ::testing::Test {
protected:
  void SetUp() override
  {
    doc.SetHost(&host);
    ASSERT_TRUE(LoadText(doc, QString::fromLatin1(Board)));
    doc.SetModifiedFlag(false);
  }
  void GoOnline()
  {
    doc.SetAnswerWindow(&frame);
    doc.SetStateFlags(CQelDocContainer::STATE_ONLINE);
  }
  double Value(int i) const { return doc.GetPar(i).GetValue(Parametri::SEL_VALUE); }

  TestEnvironment env;
  FakeDocHost host;
  FakeAnswerWindow frame;
  CQelDoc doc;
};

TEST_F(DocOps, OfflineWritesClampStoreAndUndo)
{
  doc.WriteParValue(2, 10); // the value it has
  EXPECT_TRUE(doc.GetUndoList().empty());
  EXPECT_FALSE(doc.IsModified());

  doc.WriteParValue(2, 500); // clamped to the maximum
  EXPECT_EQ(Value(2), 100);
  EXPECT_TRUE(doc.GetPar(2).IsOfflineChange());
  ASSERT_EQ(doc.GetUndoList().size(), 1u);
  EXPECT_EQ(doc.GetUndoList().back().index, 2);
  EXPECT_EQ(doc.GetUndoList().back().previous, 10);
  EXPECT_TRUE(doc.IsModified());
  doc.WriteParValue(2, 700); // clamps to what it already holds
  EXPECT_EQ(doc.GetUndoList().size(), 1u);

  // A NaN writes nothing; an infinity goes to the limit.
  constexpr double Inf = std::numeric_limits<double>::infinity();
  constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
  doc.WriteParValue(2, NaN);
  doc.WriteParSiValue(2, NaN);
  doc.SetParValueLocal(2, NaN);
  doc.WriteParValue(2, Inf); // already at the maximum
  EXPECT_EQ(Value(2), 100);
  EXPECT_EQ(doc.GetUndoList().size(), 1u);
  doc.SetParValueLocal(2, -Inf);
  EXPECT_EQ(Value(2), 0);
  doc.WriteParSiValue(2, Inf);
  EXPECT_EQ(Value(2), 100);
  EXPECT_EQ(doc.GetUndoList().size(), 3u);

  doc.WriteParValue(1, 7);   // 32-bit
  doc.WriteParValue(0, 0.1); // float: stored as the float it becomes, once
  doc.WriteParValue(0, 0.1);
  EXPECT_FLOAT_EQ(float(Value(0)), 0.1f);
  EXPECT_EQ(doc.GetUndoList().size(), 5u);
  doc.WriteParSiValue(0, -Inf);
  EXPECT_FLOAT_EQ(float(Value(0)), 0.0f);
  doc.WriteParValue(1, -Inf);
  EXPECT_EQ(Value(1), -1000);
  EXPECT_EQ(doc.GetUndoList().size(), 7u);

  doc.WriteParValue(3, 50); // read-only offline
  EXPECT_EQ(Value(3), 5);
  EXPECT_EQ(doc.GetUndoList().size(), 7u);

  CQelDocContainer::UndoRecord last;
  ASSERT_TRUE(doc.PopUndo(last));
  EXPECT_EQ(last.index, 1);
  EXPECT_DOUBLE_EQ(last.previous, 7);
  ASSERT_TRUE(doc.PopUndo(last));
  EXPECT_EQ(last.index, 0);
  EXPECT_FLOAT_EQ(float(last.previous), 0.1f);
  // Put back offline: the list and the views show it again.
  HintView view;
  doc.AddView(&view);
  doc.SetModifiedFlag(false);
  doc.ClearParListUpdate();
  doc.GetPar(0).SetOfflineChange(false); // as if the edit had been sent
  doc.RestoreUndoValue(last);
  EXPECT_FLOAT_EQ(float(Value(0)), 0.1f);
  EXPECT_TRUE(doc.GetPar(0).IsOfflineChange());
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(doc.NeedsParListUpdate());
  EXPECT_EQ(view.hints, (std::vector<long>{DocHint::Reopen}));

  doc.WriteParSiValue(2, 42.4);
  EXPECT_EQ(Value(2), 42);
  EXPECT_TRUE(frame.writes.empty());
}

TEST_F(DocOps, OnlineWritesReachTheFrame)
{
  GoOnline();
  doc.WriteParValue(2, 40);
  doc.WriteParValue(3, 50);                                       // read-only goes to the board
  doc.WriteParValue(4, 3);                                        // a bit field is not marked
  doc.WriteParValue(2, 1e9);                                      // as given: the frame clamps what it sends
  doc.WriteParValue(2, -std::numeric_limits<double>::infinity()); // to the limit
  doc.WriteParValue(2, std::numeric_limits<double>::quiet_NaN()); // nothing
  doc.WriteParSiValue(2, std::numeric_limits<double>::quiet_NaN());
  doc.WriteParSiValue(1, std::numeric_limits<double>::infinity());
  ASSERT_EQ(frame.writes.size(), 6u);
  EXPECT_EQ(frame.writes[0].index, 2);
  EXPECT_EQ(frame.writes[0].value, 40);
  EXPECT_TRUE(frame.writes[0].marked);
  EXPECT_EQ(frame.writes[1].index, 3);
  EXPECT_FALSE(frame.writes[2].marked);
  EXPECT_EQ(frame.writes[3].value, 1e9);
  EXPECT_EQ(frame.writes[4].value, 0);
  EXPECT_EQ(frame.writes[5].index, 1);
  EXPECT_EQ(frame.writes[5].value, 1000);
  EXPECT_EQ(Value(2), 10) << "the record waits for the read-back";
  EXPECT_TRUE(doc.GetUndoList().empty());
  EXPECT_FALSE(doc.IsModified());

  doc.WriteParValue(5, 31); // a link goes unmarked
  ASSERT_EQ(frame.writes.size(), 7u);
  EXPECT_FALSE(frame.writes[6].marked);
  EXPECT_EQ(frame.writes[6].value, 31);
}

TEST_F(DocOps, LinkValuesAreClampedCheckedAndRangeLimited)
{
  // Variable link (max 5000): 31 is variable b; 1e9 clamps to 5000, no variable.
  doc.WriteParValue(5, 31.7);
  EXPECT_EQ(Value(5), 31);
  ASSERT_EQ(doc.GetUndoList().size(), 1u);
  EXPECT_EQ(doc.GetUndoList().back().previous, 30);
  doc.WriteParValue(5, 1e9);
  EXPECT_EQ(Value(5), 31);
  // Parameter link (max 9999): the 32-bit parameter at 30 is not a 16-bit target.
  doc.SetParValue(6, 30);
  EXPECT_EQ(Value(6), 16);
  doc.SetParValue(6, 17); // is_sw_set
  EXPECT_EQ(Value(6), 17);
  EXPECT_TRUE(doc.GetPar(6).IsOfflineChange());
  // Outside 0..9999 never narrows into a valid address.
  doc.SetParValue(6, 65536 + 16);
  doc.SetParValue(6, -1);
  EXPECT_EQ(Value(6), 17);
  doc.SetParValue(2, 16); // no link at all
  EXPECT_EQ(Value(2), 10);
  EXPECT_EQ(doc.GetUndoList().size(), 2u);
  EXPECT_TRUE(doc.IsModified());
}

// Links whose record is not a plain 16-bit parameter, and a limit below
// the highest variable: a link value is stored as checked, never changed after.
TEST(DocLinks, StoredValueIsTheCheckedOneForEveryStorageType)
{
  TestEnvironment env;
  FakeDocHost host;
  CQelDoc doc;
  doc.SetHost(&host);
  const auto load = [&doc](const char *items) {
    return LoadText(doc, QStringLiteral("#Norv tembrano v1.1\r\nK[] = 1;\r\nb1 Main#0; b=1; a=0;\r\n") +
                             QString::fromLatin1(items));
  };
  ASSERT_TRUE(load("f0 flink=10; m=0; d=10; M=9999; k=0; n=0; s=0; b=1; p=0; v=0; a=1; u=-1;\r\n"
                   "l1 llink=10; m=0; d=10; M=9999; k=-1; n=-1; s=0; b=1; p=2; v=0; a=1; u=-1;\r\n"
                   "p2 vlink=10; m=0; d=10; M=11; k=-1; n=-1; s=0; b=1; p=4; v=0; a=1; u=-1;\r\n"
                   "v0 a; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\r\n"
                   "v1 c; k=-1; n=-1; s=0; b=1; p=2; v=0; a=0; u=-1;\r\n"));
  ASSERT_EQ(doc.GetParCount(), 3);
  ASSERT_TRUE(doc.GetPar(0).IsFloat() && doc.GetPar(0).IsVarLink());
  ASSERT_TRUE(doc.GetPar(1).IsLong() && doc.GetPar(1).IsVarLink());
  doc.SetModifiedFlag(false);

  doc.SetParValue(0, 12);
  EXPECT_EQ(doc.GetPar(0).GetValue(Parametri::SEL_VALUE), 12) << "a float link keeps its address";
  doc.WriteParValue(1, 12);
  EXPECT_EQ(doc.GetPar(1).GetValue(Parametri::SEL_VALUE), 12);
  EXPECT_EQ(doc.GetUndoList().size(), 2u);

  // 12 names variable c but lies above the limit 11, where no variable is:
  // nothing may be stored, and no undo record without a change.
  doc.SetParValue(2, 12);
  EXPECT_EQ(doc.GetPar(2).GetValue(Parametri::SEL_VALUE), 10);
  EXPECT_TRUE(doc.IsLinkValid(2, Parametri::SEL_VALUE, false));
  EXPECT_EQ(doc.GetUndoList().size(), 2u);

  // A float link whose lower limit lies beyond every address.
  ASSERT_TRUE(load("f0 far=3e30; m=2e30; d=3e30; M=3e38; k=0; n=0; s=0; b=1; p=0; v=0; a=1; u=-1;\r\n"
                   "v0 a; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\r\n"));
  ASSERT_TRUE(doc.GetPar(0).IsFloat() && doc.GetPar(0).GetValue(Parametri::SEL_MIN) > 1e30);
  doc.SetParValue(0, 10);
  doc.WriteParValue(0, 10);
  doc.WriteParValue(0, 1e37);
  EXPECT_TRUE(doc.GetUndoList().empty());
  EXPECT_GT(doc.GetPar(0).GetValue(Parametri::SEL_VALUE), 1e30);

  FakeAnswerWindow frame;
  doc.SetAnswerWindow(&frame);
  doc.SetStateFlags(CQelDocContainer::STATE_ONLINE);
  doc.SetParValue(0, 10);
  doc.WriteParValue(0, 1e37);
  ASSERT_TRUE(load("p0 vlink=10; m=0; d=10; M=11; k=-1; n=-1; s=0; b=1; p=4; v=0; a=1; u=-1;\r\n"
                   "v0 a; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\r\n"
                   "v1 c; k=-1; n=-1; s=0; b=1; p=2; v=0; a=0; u=-1;\r\n"));
  doc.SetParValue(0, 12);
  EXPECT_TRUE(frame.writes.empty()) << "the board never gets a link beyond its limits";
}

TEST_F(DocOps, ReadRequestsNameTheWindowKindRegistersAndCount)
{
  auto offline = doc.NewReadRequest(2);
  ASSERT_TRUE(offline);
  EXPECT_EQ(offline->hWnd, kNoWindow);
  doc.SetAnswerWindow(&frame);
  auto shortRead = doc.NewReadRequest(2);
  ASSERT_TRUE(shortRead);
  EXPECT_EQ(shortRead->hWnd, 42u);
  EXPECT_EQ(shortRead->slave, 9);
  EXPECT_EQ(shortRead->message, REQ_READ_ONE);
  EXPECT_EQ(shortRead->PktType.par.first_par, 16);
  EXPECT_EQ(shortRead->PktType.par.num_par, 1);
  EXPECT_EQ(shortRead->track, 0);
  for (const auto &[index, first] : {std::pair{1, 30}, std::pair{0, 34}}) { // 32-bit, float
    auto pairRead = doc.NewReadRequest(index);
    EXPECT_EQ(pairRead->message, REQ_READ_BLOCK);
    EXPECT_EQ(pairRead->PktType.par.first_par, first);
    EXPECT_EQ(pairRead->PktType.par.num_par, 2);
  }
}

TEST_F(DocOps, SoftwareSetReadGoesToTheHeadOnlyOnline)
{
  doc.RequestSwSetRead();
  EXPECT_TRUE(host.queue.empty());
  EXPECT_FALSE(doc.IsResetPending());
  CRequestPacket *waiting = new CRequestPacket(1, 1, REQ_READ_VARS);
  host.AddRequest(waiting);
  GoOnline();
  doc.RequestSwSetRead();
  doc.RequestSwSetRead();
  ASSERT_EQ(host.queue.size(), 3u);
  EXPECT_TRUE(doc.IsResetPending());
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(host.queue[i]->message, REQ_READ_ONE);
    EXPECT_EQ(host.queue[i]->PktType.par.first_par, 17);
    EXPECT_EQ(host.queue[i]->hWnd, 42u);
    EXPECT_EQ(host.queue[i]->PktType.par.refresh, 0) << "the reset takes the board's word";
  }
  EXPECT_EQ(host.queue[2]->message, REQ_READ_VARS);

  // Without a serial link nothing is queued, so no reset may wait for it.
  doc.ClearResetPending();
  doc.SetHost(nullptr);
  doc.RequestSwSetRead();
  EXPECT_FALSE(doc.IsResetPending());
}

TEST_F(DocOps, TranslateAndDictionaryLines)
{
  doc.SetMapAt(QStringLiteral("s0=[x]short"), 0);
  EXPECT_TRUE(doc.GetDictionary(0).isEmpty());
  doc.SetMapAt(QStringLiteral("s0=[ab]one[cd]two"), 0);
  EXPECT_EQ(doc.Translate(QStringLiteral("ab"), {}), QStringLiteral("one"));
  EXPECT_EQ(doc.Translate(QStringLiteral("cd"), {}), QStringLiteral("two"));
  doc.SetMapAt(QStringLiteral("s0=[ef]three[g]four[hi]five"), 0);
  EXPECT_EQ(doc.Translate(QStringLiteral("ef"), {}), QStringLiteral("three"));
  EXPECT_FALSE(doc.GetDictionary(0).contains(QStringLiteral("hi")));
  // Only 255 characters after '=' are read.
  doc.SetMapAt(QStringLiteral("s0=[kk]") + QString(250, u'x') + QStringLiteral("[late]v"), 0);
  EXPECT_EQ(doc.Translate(QStringLiteral("kk"), {}).size(), 250);
  EXPECT_FALSE(doc.GetDictionary(0).contains(QStringLiteral("late")));

  doc.SetMapAt(QStringLiteral("s0=[mode]@drive[drive#2]Fault"), 0);
  EXPECT_EQ(doc.Translate(QStringLiteral("mode#2"), QStringLiteral("fb")), QStringLiteral("Fault"));
  EXPECT_EQ(doc.Translate(QStringLiteral("mode#3"), QStringLiteral("fb")), QStringLiteral("fb"));
  EXPECT_EQ(doc.Translate(QStringLiteral("#2"), QStringLiteral("fb")), QStringLiteral("fb"));

  doc.SetMapAt(QStringLiteral("s0=[win_cmd#4]Saved"), 0);
  EXPECT_EQ(doc.GetWinCmdText(4), QStringLiteral("Saved"));
  EXPECT_EQ(doc.GetWinCmdText(5), QStringLiteral("win_cmd#5"));
  EXPECT_EQ(CQelDocContainer::EscapeBackslashes(QStringLiteral("\\a\\b\\\\c")), QStringLiteral("\\a\\\\b\\\\\\\\c"));
}

TEST_F(DocOps, VisibilityFollowsLevelsAndChildBlocks)
{
  std::vector<std::uint16_t> out{99};
  doc.CollectVisiblePars(3, 3, out);
  EXPECT_TRUE(out.empty());
  doc.CollectVisiblePars(1, 0, out);
  // Block 1 at level 0: ro(11) vlink(13) plink(14) plain(16) is_sw_set(17); bits needs level 2.
  EXPECT_EQ(out, (std::vector<std::uint16_t>{3, 5, 6, 2, 7}));
  EXPECT_TRUE(doc.IsParVisibleInBlock(1, 0));
  EXPECT_TRUE(doc.IsParVisibleInBlock(2, 0));
  EXPECT_FALSE(doc.IsParVisibleInBlock(3, 3));
  EXPECT_FALSE(doc.IsParVisibleInBlock(0, 3));
  EXPECT_FALSE(doc.IsVarVisibleInBlock(3, 3));
  EXPECT_TRUE(doc.IsVarVisibleInBlock(1, 0)) << "through its child block";
}

TEST_F(DocOps, TreeMapsHoldBlocksAndVariablesFoundByTheirItem)
{
  const auto &par = doc.GetParTreeMap();
  ASSERT_TRUE(par.contains(-1) && par.contains(-2) && par.contains(-3));
  EXPECT_EQ(par.at(-2).GetParentId(), -1);
  EXPECT_EQ(doc.GetVarTreeMap().at(2).GetParentId(), -1);
  // Nodes a view has not shown yet hold no item; no item must not find them.
  EXPECT_EQ(doc.FindBlockByTreeItem(nullptr), -1);
  EXPECT_EQ(doc.FindTreeNode(nullptr), -1);

  int items[4];
  doc.GetVarTreeMap().at(-2).SetTreeItem(&items[0]);
  doc.GetVarTreeMap().at(1).SetTreeItem(&items[1]);
  EXPECT_EQ(doc.FindBlockByTreeItem(&items[0]), 2);
  EXPECT_EQ(doc.FindBlockByTreeItem(&items[1]), -1) << "a variable node";
  EXPECT_EQ(doc.FindTreeNode(&items[1]), 1);
  EXPECT_EQ(doc.FindTreeNode(&items[0]), -1);
  EXPECT_EQ(doc.FindTreeNode(&items[2]), -1);

  doc.AddBlockTreeNode(0, 0, QStringLiteral("zero"));
  doc.AddBlockTreeNode(2, 1, QStringLiteral("again"));
  EXPECT_EQ(par.at(INT16_MIN).GetStatus(), CTreeNode::NODE_DOUBLED_KEY);
  doc.AddBlockTreeNode(9, 8, QStringLiteral("orphan"));
  EXPECT_EQ(par.at(INT16_MIN).GetStatus(), CTreeNode::NODE_NO_PARENT);
  doc.AddTreeNode(5, QStringLiteral("lost"), 7);
  EXPECT_EQ(par.at(INT16_MAX).GetStatus(), CTreeNode::NODE_NO_PARENT);
  doc.AddTreeNode(0, QStringLiteral("twice"), 1);
  EXPECT_EQ(par.at(INT16_MAX).GetStatus(), CTreeNode::NODE_DOUBLED_KEY);
  doc.GetVarTreeMap().at(INT16_MIN).SetTreeItem(&items[3]);
  EXPECT_EQ(doc.FindBlockByTreeItem(&items[3]), -1);

  // Without block 1's node nothing is found.
  doc.GetVarTreeMap().erase(-1);
  EXPECT_EQ(doc.FindTreeNode(&items[1]), -1);
}

TEST_F(DocOps, ManualSearchOrderAndNames)
{
  const QString folder = host.program;
  auto touch = [&](const QString &name) { ASSERT_TRUE(WriteBytes(folder + name, "%PDF")); };
  QString found;
  doc.FindManualFile(found, QStringLiteral(".pdf"));
  EXPECT_TRUE(found.isEmpty());
  EXPECT_EQ(doc.GetManualName(), QStringLiteral("No help file"));
  touch(QStringLiteral("OPS0540.pdf"));
  doc.FindManualFile(found, QStringLiteral(".pdf"));
  EXPECT_EQ(found, folder + QStringLiteral("OPS0540.pdf")) << "above the number, without suffix last";
  touch(QStringLiteral("OPS0513_en.pdf"));
  doc.FindManualFile(found, QStringLiteral(".pdf"));
  EXPECT_EQ(found, folder + QStringLiteral("OPS0513_en.pdf"));
  touch(QStringLiteral("OPS0503.pdf"));
  doc.FindManualFile(found, QStringLiteral(".pdf"));
  EXPECT_EQ(found, folder + QStringLiteral("OPS0503.pdf"));
  touch(QStringLiteral("OPS0511_en.pdf"));
  doc.FindManualFile(found, QStringLiteral(".pdf"));
  EXPECT_EQ(found, folder + QStringLiteral("OPS0511_en.pdf"));
  touch(QStringLiteral("OPS0512_en.pdf"));
  ASSERT_TRUE(LoadText(doc, QString::fromLatin1(Board)));
  EXPECT_EQ(doc.GetManualPath(), folder + QStringLiteral("OPS0512_en.pdf"));
  EXPECT_EQ(doc.GetManualName(), QStringLiteral("OPS0512_en.pdf"));

  // No second blank: "noname" from 99 down. Three digits: only two are read.
  touch(QStringLiteral("noname99.pdf"));
  touch(QStringLiteral("LONG12_en.pdf"));
  ASSERT_TRUE(LoadText(doc, QStringLiteral("#Norv tembrano v1.1\r\nVersion = NORV single;\r\n")));
  EXPECT_EQ(doc.GetManualPath(), folder + QStringLiteral("noname99.pdf"));
  ASSERT_TRUE(LoadText(doc, QStringLiteral("#Norv tembrano v1.1\r\nVersion = NORV LONGxy 12345;\r\n")));
  EXPECT_EQ(doc.GetManualPath(), folder + QStringLiteral("LONG12_en.pdf"));
  // A model name cannot lead out of the program folder.
  ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("sub")));
  touch(QStringLiteral("sub/x0101.pdf"));
  ASSERT_TRUE(LoadText(doc, QStringLiteral("#Norv tembrano v1.1\r\nVersion = NORV sub/x0101 y;\r\n")));
  EXPECT_TRUE(doc.GetManualPath().isEmpty());
}

TEST_F(DocOps, ManualOpensThroughTheLauncher)
{
  EXPECT_EQ(doc.GetHelpTopic(), QStringLiteral("par0"));
  EXPECT_EQ(doc.ShowManual(), QStringLiteral("par0"));
  EXPECT_TRUE(env.launcher().opened.isEmpty()) << "no manual, nothing started";

  host.program = host.dir.filePath(QStringLiteral("my programs")) + u'/';
  ASSERT_TRUE(QDir().mkpath(host.program));
  const QString manual = host.program + QStringLiteral("OPS0512.pdf");
  ASSERT_TRUE(WriteBytes(manual, "%PDF"));
  ASSERT_TRUE(LoadText(doc, QString::fromLatin1(Board)));
  ASSERT_EQ(doc.GetManualPath(), manual);

  qunsetenv(CQelDoc::PdfViewerVariable);
  doc.SetHelpTopic(QStringLiteral("gain"));
  EXPECT_EQ(doc.ShowManual(), QStringLiteral("gain"));
  EXPECT_EQ(env.launcher().opened, QStringList{manual});

  qputenv(CQelDoc::PdfViewerVariable, "/opt/sumatra/viewer");
  doc.ShowManual();
  ASSERT_EQ(env.launcher().started.size(), 1u);
  EXPECT_EQ(env.launcher().started[0].program, QStringLiteral("/opt/sumatra/viewer"));
  EXPECT_EQ(env.launcher().started[0].arguments, (QStringList{manual, "-reuse-instance", "-nameddest", "gain"}));

  qputenv(CQelDoc::PdfViewerVariable, "evince --named-dest=%d \"%f\"");
  doc.ShowManual();
  EXPECT_EQ(env.launcher().started[1].program, QStringLiteral("evince"));
  EXPECT_EQ(env.launcher().started[1].arguments, (QStringList{"--named-dest=gain", manual}));
  qunsetenv(CQelDoc::PdfViewerVariable);

  doc.SetHelpTopic(QString());
  doc.ShowManual();
  EXPECT_EQ(env.launcher().started.size(), 2u);
  EXPECT_EQ(env.launcher().opened.size(), 1);
}

TEST_F(DocOps, LanguageSelectionRefillsARegisteredList)
{
  FakeParList list;
  doc.SetParListCtrl(&list);
  doc.SelectLanguage(QStringLiteral("std"));
  EXPECT_EQ(list.filled, 1);
  doc.SetParListCtrl(nullptr);
  doc.SelectLanguage(QStringLiteral("std"));
  EXPECT_EQ(list.filled, 1);
}

// The find operations over the names and trees the container fills.
class DocFind : public ::testing::Test {
protected:
  void SetUp() override
  {
    doc.SetHost(&host);
    ASSERT_TRUE(doc.OnOpenDocument(ExamplePath(QStringLiteral("demo-full.vtx"))));
    // The views store a tree item in every node they show.
    for (auto *map : {&doc.GetParTreeMap(), &doc.GetVarTreeMap()})
      for (auto &[key, node] : *map)
        node.SetTreeItem(reinterpret_cast<void *>(std::intptr_t(0x1000 + key)));
    doc.SetParTreeCtrl(&parTree);
    doc.SetVarTreeCtrl(&varTree);
    doc.SetParListCtrl(&list);
    for (int i = 0; i < doc.GetParCount(); ++i) // row i shows parameter i
      list.rows << vtx::Format(u"%4d", i);
  }
  static void *Item(int key) { return reinterpret_cast<void *>(std::intptr_t(0x1000 + key)); }
  std::int16_t Par(const char *name)
  {
    std::int16_t i = -1;
    EXPECT_TRUE(doc.FindParByName(i, QString::fromLatin1(name)));
    return i;
  }

  TestEnvironment env;
  FakeDocHost host;
  CQelDoc doc;
  FakeTree parTree;
  FakeTree varTree;
  FakeParList list;
};

TEST_F(DocFind, BlocksParametersAndVariablesByName)
{
  std::int16_t pos = -1;
  ASSERT_TRUE(doc.FindText(QStringLiteral("loop"), pos, false, false, true));
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(parTree.selected.back(), Item(-3));
  EXPECT_EQ(varTree.selected.back(), Item(-3));
  ASSERT_TRUE(doc.FindText(QStringLiteral("loop"), pos, false, false, true));
  EXPECT_EQ(pos, 4);
  EXPECT_FALSE(doc.FindText(QStringLiteral("loop"), pos, false, false, true));
  EXPECT_EQ(pos, 4);
  pos = -1;
  EXPECT_FALSE(doc.FindText(QStringLiteral("commands"), pos, true, true, true)) << "case matters";

  pos = -1;
  ASSERT_TRUE(doc.FindParameter(QStringLiteral("MAX_SPEED"), pos, false, true, true, true, false));
  EXPECT_EQ(pos, Par("max_speed"));
  EXPECT_EQ(doc.GetSelectedParRow(), pos);
  EXPECT_EQ(parTree.selected.back(), Item(-3)) << "the parameter's block";
  EXPECT_EQ(list.recolors, 1);

  pos = -1;
  ASSERT_TRUE(doc.FindNext(QStringLiteral("flag"), pos, false, false, true, true));
  EXPECT_EQ(doc.GetVar(pos).GetName(), QStringLiteral("error_flag"));
  EXPECT_EQ(varTree.selected.back(), Item(pos));

  // Names follow the selected language.
  doc.SelectLanguage(QStringLiteral("it"));
  pos = -1;
  EXPECT_TRUE(doc.FindParameter(QStringLiteral("modo_controllo"), pos, true, true, true, false, false));
  EXPECT_EQ(pos, Par("control_mode"));
}

TEST_F(DocFind, ChangedParametersAndLinksToAVariable)
{
  std::int16_t pos = -1;
  EXPECT_FALSE(doc.FindParameter({}, pos, false, false, true, false, true));
  doc.WriteParValue(Par("max_speed"), 1000);
  doc.WriteParValue(Par("speed_kp"), 2); // parameter 0 is not looked at going forward
  ASSERT_TRUE(doc.FindParameter({}, pos, false, false, true, false, true));
  EXPECT_EQ(pos, Par("max_speed"));
  EXPECT_FALSE(doc.FindParameter({}, pos, false, false, true, false, true));
  ASSERT_TRUE(doc.FindParameter({}, pos, false, false, false, false, true));
  EXPECT_EQ(pos, 0);

  // speed_actual is linked by c_diag_rec1 only; analog_in1 by two parameters.
  std::int16_t parPos = -1;
  std::int16_t varPos = -1;
  ASSERT_TRUE(doc.FindByValue(QStringLiteral("speed_actual"), parPos, varPos, true, true, true, true));
  EXPECT_EQ(parPos, Par("c_diag_rec1"));
  parPos = varPos = -1;
  ASSERT_TRUE(doc.FindByValue(QStringLiteral("analog_in1"), parPos, varPos, true, true, true, true));
  EXPECT_EQ(parPos, Par("analog_in_link"));
  ASSERT_TRUE(doc.FindByValue(QStringLiteral("analog_in1"), parPos, varPos, true, true, true, true));
  EXPECT_EQ(parPos, Par("c_diag_rec4"));
  EXPECT_FALSE(doc.FindByValue(QStringLiteral("analog_in1"), parPos, varPos, true, true, true, true));
  // Variables no parameter links to are passed over: walking back from the
  // end, the buffer, status and input variables lead to analog_in1.
  parPos = -1;
  varPos = static_cast<std::int16_t>(doc.GetVarCount());
  ASSERT_TRUE(doc.FindByValue(QStringLiteral("_"), parPos, varPos, true, false, false, true));
  EXPECT_EQ(doc.GetVar(varPos).GetName(), QStringLiteral("analog_in1"));
  EXPECT_EQ(parPos, Par("c_diag_rec4"));
  EXPECT_EQ(varTree.selected.back(), Item(varPos));
}

} // namespace

TEST_F(DocOps, ParameterWordsDecodeStoreAndTrackOneByOne)
{
  // pos (32-bit) at 30-31, nothing at 32-33, gain (float) at 34-35.
  const std::vector<uint16_t> words = {0x0005, 0x0000, 0, 0, 0x0000, 0x3F80};
  std::vector<int> seen;
  const auto stored = doc.ApplyParameterWords(30, words, true, [&](const CQelDocContainer::ParWordChange &c) {
    seen.push_back(c.index);
    // Each parameter is handed on before the next is decoded.
    if (c.index == 1) {
      EXPECT_EQ(Value(0), 1.5);
    }
  });
  EXPECT_EQ(seen, (std::vector<int>{1, 0}));
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].now, 5); // low word first
  EXPECT_EQ(stored[1].old, 1.5);
  EXPECT_EQ(Value(0), 1.0);
  EXPECT_TRUE(doc.IsModified());
  ASSERT_EQ(doc.GetUndoList().size(), 2u);
  EXPECT_EQ(doc.GetUndoList()[1].previous, 1.5);

  // The same values again: no change, no record, the flag left alone.
  doc.SetModifiedFlag(false);
  EXPECT_FALSE(doc.ApplyParameterWords(30, words, true)[0].changed);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_EQ(doc.GetUndoList().size(), 2u);

  // A 16-bit register is signed; untracked changes mark but leave no record.
  EXPECT_EQ(doc.ApplyParameterWords(12, std::vector<uint16_t>{0xFFFF}, false).at(0).now, -1);
  EXPECT_TRUE(doc.IsModified());
  EXPECT_EQ(doc.GetUndoList().size(), 2u);

  // A pair cut by the end, or its second register alone, stores nothing.
  EXPECT_TRUE(doc.ApplyParameterWords(34, std::vector<uint16_t>{0}, true).empty());
  EXPECT_TRUE(doc.ApplyParameterWords(35, std::vector<uint16_t>{0, 0}, true).empty());
  EXPECT_EQ(Value(0), 1.0);

  // A refresh keeps a value changed offline, a pair's too, the board's as its
  // old value: nothing changed, nothing to undo.
  doc.SetParValueLocal(0, 2.5);
  doc.SetModifiedFlag(false);
  const auto undo = doc.GetUndoList().size();
  const auto kept = doc.ApplyParameterWords(34, std::vector<uint16_t>{0x0000, 0x3F80}, true, {}, true);
  EXPECT_EQ(Value(0), 2.5);
  EXPECT_EQ(doc.GetPar(0).GetValue(Parametri::SEL_OLD), 1.0);
  EXPECT_EQ(kept.at(0).board, 1.0);
  EXPECT_FALSE(kept[0].changed);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_EQ(doc.GetUndoList().size(), undo);
}

TEST(DocAnswers, VariableWordsFillRowsStatusWordsAndTables)
{
  TestEnvironment env;
  CQelDoc doc;
  ASSERT_TRUE(LoadText(doc, QStringLiteral("#Norv tembrano v1.1\n"
                                           "L = 0;1;2;3;4;4;\n"
                                           "K[] = 4096;\n"
                                           "s0=[StdVariables#0]error_flag[StdVariables#1]warning_flag"
                                           "[StdVariables#2]status_flag[StdVariables#3]f[m#2]two\n"
                                           "b1 Main#0; b=1; a=0;\n"
                                           "p0 sp=100; m=0; d=0; M=10000; k=0; n=-1; s=12; b=1; p=0; v=0; a=0; u=-1;\n"
                                           "y0 f; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\n"
                                           "w1 l; k=-1; n=-1; s=0; b=1; p=2; v=0; a=0; u=-1;\n"
                                           "v2 s; k=-1; n=-1; s=0; b=1; p=4; v=0; a=4; u=-1;\n"
                                           "v3 m; k=-1; n=-1; s=0; b=1; p=5; v=0; a=8; u=-1;\n"
                                           "v4 plain; k=-1; n=-1; s=0; b=1; p=6; v=0; a=0; u=-1;\n"
                                           "v5 error_flag; k=-1; n=-1; s=0; b=1; p=7; v=0; a=0; u=-1;\n"
                                           "v6 warning_flag; k=-1; n=-1; s=0; b=1; p=8; v=0; a=0; u=-1;\n"
                                           "v7 status_flag; k=-1; n=-1; s=0; b=1; p=9; v=0; a=0; u=-1;\n")));
  std::vector<std::vector<int>> rows;
  const std::vector<uint16_t> words = {0x0000, 0x3F80, 0x0002, 0x0001, 0x0005, 2, 0xFFFF};
  const int change = doc.ApplyVariableWords(10, words, [&](const CQelDocContainer::VarWordValue &v) {
    rows.push_back(v.rows);
    // Each variable is handed on before the next is decoded.
    if (v.index == 0) {
      EXPECT_EQ(doc.GetVarRows()[1].hasValue, 0);
    }
  });
  EXPECT_EQ(change, 0);
  EXPECT_EQ(rows, (std::vector<std::vector<int>>{{0}, {1}, {2}, {3}, {4, 5}}));
  const auto &r = doc.GetVarRows();
  EXPECT_EQ(r[0].uiText, QStringLiteral("3F800000hex"));
  EXPECT_EQ(r[1].uiText, QStringLiteral("65538"));
  EXPECT_EQ(r[2].siText, FormatBinary16(5));
  EXPECT_EQ(r[3].siText, QStringLiteral("two"));
  EXPECT_EQ(r[5].uiText, QStringLiteral("-1"));
  EXPECT_EQ(r[5].refresh, 1);
  EXPECT_EQ(r[0].raw, 1.0f);

  // The status block: error, warning, status bits 0x400 and 0x200.
  const std::vector<uint16_t> status = {1, 0, 0x600, 0, 0x3F80};
  EXPECT_EQ(doc.ApplyVariableWords(9900, status), 0x601);
  EXPECT_EQ(doc.GetStatusWords(), (std::array<uint16_t, 4>{1, 0, 0x400, 0x200}));
  EXPECT_EQ(r[0].uiText, QStringLiteral("3F800000hex"));
  EXPECT_EQ(doc.ApplyVariableWords(9900, status), 0);

  // A new K table rescales every parameter; entries beyond it are left out.
  const float before = doc.GetPar(0).GetSiValue(Parametri::SEL_VALUE);
  doc.ApplyKTable(std::vector<uint16_t>{8192, 7}, {});
  EXPECT_EQ(doc.GetKTable().size(), 1u);
  EXPECT_FLOAT_EQ(doc.GetPar(0).GetSiValue(Parametri::SEL_VALUE), 2 * before);
}

TEST(DocAnswers, VariableRowsShowTheBoardsWholeNumbers)
{
  TestEnvironment env;
  CQelDoc doc;
  ASSERT_TRUE(LoadText(doc, QStringLiteral("#Norv tembrano v1.1\n"
                                           "L = 0;1;2;3;\n"
                                           "N[] = 0.01;\n"
                                           "b1 Main#0; b=1; a=0;\n"
                                           "y0 f; k=-1; n=-1; s=0; b=1; p=0; v=0; a=0; u=-1;\n"
                                           "w1 l; k=-1; n=-1; s=0; b=1; p=2; v=0; a=0; u=-1;\n"
                                           "w2 scaled; k=-1; n=0; s=0; b=1; p=4; v=0; a=0; u=-1;\n"
                                           "w3 bits; k=-1; n=-1; s=0; b=1; p=6; v=0; a=4; u=-1;\n")));
  // Four register pairs, low word first.
  const auto poll = [&](float f, std::int32_t l, std::int32_t scaled, std::uint32_t bits) {
    std::uint32_t fbits = 0;
    std::memcpy(&fbits, &f, sizeof fbits);
    std::vector<uint16_t> words;
    for (const auto w : {fbits, std::uint32_t(l), std::uint32_t(scaled), bits})
      words.insert(words.end(), {uint16_t(w & 0xFFFF), uint16_t(w >> 16)});
    doc.ApplyVariableWords(10, words);
  };
  const auto &r = doc.GetVarRows();
  poll(-3.4e38f, 16777217, 12346, 0x80000001);
  EXPECT_EQ(r[0].siText, QStringLiteral("-3.4e+38")); // not cut to another number
  EXPECT_EQ(r[1].uiText, QStringLiteral("16777217"));
  EXPECT_EQ(r[2].uiText, QStringLiteral("12346")); // the board's integer, not SI
  EXPECT_EQ(r[3].siText, QStringLiteral("0000.0000.0000.0001"));
  poll(1e20f, -123456789, 0, 0);
  EXPECT_EQ(r[0].siText, QStringLiteral("1e+20"));
  EXPECT_EQ(r[1].uiText, QStringLiteral("-123456789"));
}
