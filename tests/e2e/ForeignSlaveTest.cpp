// The supervisor's board connection against a Modbus slave we did not write:
// the python3-pymodbus RTU server (its framing, its CRC, its register
// handling) serving examples/demo-small.vtx through foreign_board.py. Left to
// the simulated board: the description upload and the trace buffer, which the
// foreign slave does not serve.

#include "BoardSession.h"
#include "FakeDocHost.h"
#include "ForeignBoard.h"
#include "../modbus/SerialTestSupport.h"
#include "TestSupport.h"

#include "frame/FrameCodes.h"

#include "model/QelDoc.h"
#include "modbus/RequestPacket.h"
#include "modbus/SerCodes.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>

namespace {

class ForeignSlave : public ::testing::Test {
protected:
  void SetUp() override
  {
    const QString missing = ForeignBoard::MissingTools();
    if (!missing.isEmpty())
      GTEST_SKIP() << missing.toStdString();
  }

  // The slave's registers of a parameter, as the supervisor reads them.
  double SlaveValue(ForeignBoard &board, const Parametri &par)
  {
    const std::vector<uint16_t> w = board.Holding(par.GetAddress(), par.IsShort() ? 1 : 2);
    if (w.empty())
      return std::numeric_limits<double>::quiet_NaN();
    if (par.IsShort())
      return static_cast<int16_t>(w[0]);
    if (par.IsLong())
      return static_cast<int32_t>(static_cast<uint32_t>(w[1]) << 16 | w[0]);
    const uint32_t bits = static_cast<uint32_t>(w[1]) << 16 | w[0];
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }

  int Par(const CQelDoc &doc, const char *name)
  {
    std::int16_t index = -1;
    doc.FindParByName(index, QString::fromLatin1(name));
    return index;
  }
  int Var(const CQelDoc &doc, const char *name)
  {
    std::int16_t index = -1;
    doc.FindVarByName(index, QString::fromLatin1(name));
    return index;
  }

  TestEnvironment env;
};

// The serial manager alone: the register kinds in their standard functions, a
// block of the largest size, and a slave address nobody answers.
TEST_F(ForeignSlave, SerialManagerUsesStandardFraming)
{
  ForeignBoard board(
      ExamplePath(QStringLiteral("demo-small.vtx")),
      {"--slave", "17", "--var", "pos_actual=65538", "--var", "speed_actual=1004", "--var", "dc_voltage=1005"});
  ASSERT_TRUE(board.Started()) << board.Error().toStdString();
  ManagerFixture link(board.Device(), 250, 5);
  // Input registers from 100: motor_power, pos_actual (two each), speed_actual, dc_voltage.
  const CRequestPacket inputs = link.Ask(MakeRead(REQ_READ_VARS, 100, 8, 17));
  EXPECT_EQ(inputs.error, kSerOk) << inputs.strVersion.toStdString();
  EXPECT_EQ(inputs.wAnsData, (std::vector<uint16_t>{0, 0, 2, 1, 1004, 1005, 0, 0}));

  const CRequestPacket wrote = link.Ask(MakeWrite(REQ_WRITE_ONE, 40, {ShortWord(-5)}, 17));
  EXPECT_EQ(wrote.error, kSerOk) << wrote.strVersion.toStdString();
  EXPECT_EQ(link.Ask(MakeRead(REQ_READ_ONE, 40, 1, 17)).wAnsData, std::vector<uint16_t>{0xFFFB});

  std::vector<uint16_t> sent;
  for (uint16_t i = 0; i < 120; ++i)
    sent.push_back(static_cast<uint16_t>(i * 3 + 1));
  const CRequestPacket blockWritten = link.Ask(MakeWrite(REQ_WRITE_BLOCK, 120, sent, 17));
  EXPECT_EQ(blockWritten.error, kSerOk) << blockWritten.strVersion.toStdString();
  const CRequestPacket blockBack = link.Ask(MakeRead(REQ_READ_BLOCK, 120, 120, 17));
  EXPECT_EQ(blockBack.error, kSerOk);
  EXPECT_EQ(blockBack.wAnsData, sent);
  EXPECT_EQ(board.Holding(120, 120), sent);

  // A slave address nobody answers: a time-out, and the link goes on.
  EXPECT_EQ(link.Ask(MakeRead(REQ_READ_ONE, 0, 1, 18), 10000).error, kSerErrTimeout);
  EXPECT_EQ(link.Ask(MakeRead(REQ_READ_ONE, 40, 1, 17)).error, kSerOk);
}

TEST_F(ForeignSlave, OnlineReadAllWriteAndPollThroughPymodbus)
{
  const QString path = ExamplePath(QStringLiteral("demo-small.vtx"));
  ForeignBoard board(path, {"--var", "current=-42", "--var", "pos_actual=-123456", "--var", "motor_power=2.5", "--var",
                            "status_flag=512", "--count", "dc_voltage", "--follow", "speed_actual=max_speed"});
  ASSERT_TRUE(board.Started()) << board.Error().toStdString();

  CQelDoc doc;
  ASSERT_TRUE(doc.OnOpenDocument(path));
  ASSERT_TRUE(doc.AreDescriptionsLoaded());
  // The slave read the document on its own: its map is the supervisor's.
  QString map;
  ASSERT_TRUE(board.Command(QStringLiteral("map"), &map));
  QStringList expected;
  auto describe = [&](const Variabili &item, const char *kinds, int index) {
    const char kind = item.IsShort() ? kinds[0] : item.IsLong() ? kinds[1] : kinds[2];
    expected << QStringLiteral("%1,%2,%3").arg(QChar::fromLatin1(kind)).arg(index).arg(item.GetAddress());
  };
  for (int i = 0; i < doc.GetParCount(); ++i)
    describe(doc.GetPar(i), "plf", i);
  for (int i = 0; i < doc.GetVarCount(); ++i)
    describe(doc.GetVar(i), "vwy", i);
  EXPECT_EQ(map.split(u' ', Qt::SkipEmptyParts).mid(1), expected);
  const int posTarget = Par(doc, "pos_target"); // 32-bit
  const int speedKi = Par(doc, "speed_ki");     // float
  const int speedKp = Par(doc, "speed_kp");     // float
  const int maxSpeed = Par(doc, "max_speed");
  const int trigPos = Par(doc, "trig_lev_pos");
  const int trigNeg = Par(doc, "trig_lev_neg");
  ASSERT_TRUE(posTarget >= 0 && speedKi >= 0 && speedKp >= 0 && maxSpeed >= 0 && trigPos >= 0 && trigNeg >= 0);

  // Values only the board holds, one of each kind, so that the read all has
  // something to bring in: -250000, 3.25f and -1234.
  ASSERT_TRUE(board.SetHolding(doc.GetPar(posTarget).GetAddress(), {0x2F70, 0xFFFC}));
  ASSERT_TRUE(board.SetHolding(doc.GetPar(speedKi).GetAddress(), {0x0000, 0x4050}));
  ASSERT_TRUE(board.SetHolding(doc.GetPar(trigNeg).GetAddress(), {0xFB2E}));
  for (Parametri &p : doc.GetParameters())
    p.SetRawValue(0);

  SerialLink link(board.Device(), 500, 3);
  BoardSession session(doc, link);

  session.GoOnline();
  ASSERT_TRUE(WaitFor([&] { return link.Outstanding() == 0; }));
  ASSERT_TRUE(session.Online()) << link.Errors().join(u'|').toStdString();
  EXPECT_TRUE(session.RefusedIdentity().isEmpty());
  EXPECT_EQ(doc.GetVersion(), QStringLiteral("NORV DMX0512 v1.03"));

  session.ReadAll();
  ASSERT_TRUE(WaitFor([&] { return session.ReadAllDone() && link.Outstanding() == 0; }))
      << link.Errors().join(u'|').toStdString();
  EXPECT_EQ(doc.GetStatusText(), QStringLiteral("Read all param ...done!"));
  EXPECT_EQ(doc.GetPar(posTarget).GetValue(0), -250000.0);
  EXPECT_FLOAT_EQ(static_cast<float>(doc.GetPar(speedKi).GetValue(0)), 3.25f);
  EXPECT_EQ(doc.GetPar(trigNeg).GetValue(0), -1234.0);
  EXPECT_FLOAT_EQ(static_cast<float>(doc.GetPar(speedKp).GetValue(0)), 0.75f);
  for (int i = 0; i < doc.GetParCount(); ++i) {
    const Parametri &par = doc.GetPar(i);
    EXPECT_EQ(par.GetValue(0), SlaveValue(board, par)) << par.GetName().toStdString();
  }

  // Writes go out as the standard functions (06 for 16 bits, 16 for pairs);
  // the list takes the value the board reads back.
  struct Written {
    int index;
    double value;
    const char *line;
  };
  const Written writes[] = {
      {maxSpeed, 2000, "WRITE 6 108 2000"},
      {trigPos, -2000, "WRITE 6 201 63536"},
      {posTarget, 654321, "WRITE 16 104 64497 9"},
      {speedKp, 1.25, "WRITE 16 100 0 16288"},
  };
  for (const Written &w : writes) {
    ASSERT_TRUE(session.Write(w.index, w.value));
    ASSERT_TRUE(WaitFor([&] { return link.Outstanding() == 0; }));
    EXPECT_TRUE(board.WaitForLine(QString::fromLatin1(w.line))) << w.line;
    EXPECT_EQ(doc.GetPar(w.index).GetValue(0), w.value) << w.line;
    EXPECT_EQ(SlaveValue(board, doc.GetPar(w.index)), w.value) << w.line;
  }
  EXPECT_EQ(doc.GetUndoList().size(), 4u);

  // The poll: two watch rows turned to the 32-bit and the float variable.
  auto &rows = doc.GetVarRows();
  ASSERT_GE(rows.size(), 6u);
  rows[3].index = Var(doc, "pos_actual");
  rows[4].index = Var(doc, "motor_power");
  auto row = [&](const char *name) -> const VarRowRecord & {
    const int v = Var(doc, name);
    for (const VarRowRecord &r : doc.GetVarRows())
      if (r.index == v)
        return r;
    ADD_FAILURE() << "no row for " << name;
    return doc.GetVarRows()[0];
  };
  auto poll = [&] {
    session.Poll();
    return WaitFor([&] { return link.Outstanding() == 0; });
  };
  ASSERT_TRUE(poll());
  EXPECT_EQ(row("current").raw, -42.0f);
  EXPECT_EQ(row("pos_actual").raw, -123456.0f);
  EXPECT_EQ(row("pos_actual").uiText, QStringLiteral("-123456"));
  EXPECT_EQ(row("motor_power").raw, 2.5f);
  // speed_actual comes from the status block and follows max_speed.
  EXPECT_EQ(row("speed_actual").raw, 2000.0f);
  EXPECT_EQ(session.StateIcon(), StateIcon::OkRun);

  // A value the board changes between reads is seen changing.
  const float before = row("dc_voltage").raw;
  ASSERT_TRUE(poll());
  EXPECT_GT(row("dc_voltage").raw, before);

  // A value the board changes on a write is seen at the next poll.
  ASSERT_TRUE(session.Write(maxSpeed, 2100));
  ASSERT_TRUE(WaitFor([&] { return link.Outstanding() == 0; }));
  ASSERT_TRUE(poll());
  EXPECT_EQ(row("speed_actual").raw, 2100.0f);

  session.GoOffline();
  ASSERT_TRUE(WaitFor([&] { return link.Outstanding() == 0; }));
  EXPECT_FALSE(session.Online());
  EXPECT_TRUE(link.Errors().isEmpty()) << link.Errors().join(u'|').toStdString();
}

TEST_F(ForeignSlave, ABoardWithAnotherIdentityIsRefused)
{
  const QString path = ExamplePath(QStringLiteral("demo-small.vtx"));
  ForeignBoard board(path, {"--identity", "NORV DMX0512 v2.00"});
  ASSERT_TRUE(board.Started()) << board.Error().toStdString();
  CQelDoc doc;
  ASSERT_TRUE(doc.OnOpenDocument(path));
  SerialLink link(board.Device(), 500, 3);
  BoardSession session(doc, link);

  session.GoOnline();
  ASSERT_TRUE(WaitFor([&] { return link.Outstanding() == 0; }));
  EXPECT_FALSE(session.Online());
  EXPECT_EQ(session.RefusedIdentity(), QStringLiteral("NORV DMX0512 v2.00"));
  EXPECT_TRUE(link.Errors().isEmpty()) << link.Errors().join(u'|').toStdString();
  // Nothing was read into the document.
  session.ReadAll();
  EXPECT_EQ(link.Outstanding(), 0);
}

// A document without description takes the board's identity and languages,
// and its poll still reads the head of the status block. The description
// upload is not served: the board's exception answer takes the window offline
// with a text and frees the download slot; nothing of the document changes.
TEST_F(ForeignSlave, ADocumentWithoutDescriptionGoesOnlineAndAnUnservedUploadFailsCleanly)
{
  CQelDoc doc;
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  ForeignBoard board(ExamplePath(QStringLiteral("demo-small.vtx")),
                     {"--slave", QString::number(doc.GetSlaveAddress())});
  ASSERT_TRUE(board.Started()) << board.Error().toStdString();
  SerialLink link(board.Device(), 500, 3);
  FakeDocHost host(folder.path());
  host.language = QStringLiteral("en");
  host.PassTo(link);
  doc.SetHost(&host);
  BoardSession session(doc, link);

  session.GoOnline();
  ASSERT_TRUE(WaitFor([&] { return link.Outstanding() == 0; }));
  ASSERT_TRUE(session.Online()) << link.Errors().join(u'|').toStdString();
  EXPECT_EQ(doc.GetVersion(), QStringLiteral("NORV DMX0512 v1.03"));
  EXPECT_EQ(doc.GetLanguageList(), (QStringList{QStringLiteral("en"), QStringLiteral("it")}));
  session.Poll();
  ASSERT_TRUE(WaitFor([&] { return link.Outstanding() == 0; }));
  EXPECT_TRUE(session.Online());
  EXPECT_TRUE(link.Errors().isEmpty()) << link.Errors().join(u'|').toStdString();

  session.InitDescriptions();
  EXPECT_TRUE(session.HoldsDescriptionSlot());
  ASSERT_TRUE(WaitFor([&] { return link.Outstanding() == 0; }));
  EXPECT_FALSE(session.Online());
  EXPECT_FALSE(session.HoldsDescriptionSlot());
  EXPECT_FALSE(doc.AreDescriptionsLoaded());
  EXPECT_FALSE(doc.IsDescriptionDownload());
  EXPECT_EQ(doc.GetParCount(), 0);
  ASSERT_EQ(link.Errors().size(), 1);
  EXPECT_EQ(doc.GetStatusText(), link.Errors().front());
  EXPECT_FALSE(doc.GetStatusText().trimmed().isEmpty());
  EXPECT_TRUE(QDir(folder.path()).isEmpty());
  doc.SetHost(nullptr);
}

} // namespace
