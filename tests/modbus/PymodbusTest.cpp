#include "SerialTestSupport.h"
#include "TestSupport.h"

#include "modbus/SerCodes.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

bool Runs(const QString &program, const QStringList &arguments)
{
  QProcess p;
  p.start(program, arguments);
  return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

// The register kinds against a Modbus slave we did not write: pymodbus on one
// end of a socat pty pair, the serial manager on the other.
TEST(PymodbusInterop, RegisterKindsUseStandardFraming)
{
  const QString python = QStringLiteral("/usr/bin/python3");
  if (!Runs(python, {QStringLiteral("-c"), QStringLiteral("import pymodbus.server")}))
    GTEST_SKIP() << "python3-pymodbus (with python3-serial) is not installed for /usr/bin/python3";
  if (!Runs(QStringLiteral("socat"), {QStringLiteral("-V")}))
    GTEST_SKIP() << "socat is not installed";

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString ours = dir.filePath(QStringLiteral("master"));
  const QString theirs = dir.filePath(QStringLiteral("slave"));
  QProcess socat;
  socat.start(QStringLiteral("socat"),
              {QStringLiteral("pty,raw,echo=0,link=") + ours, QStringLiteral("pty,raw,echo=0,link=") + theirs});
  ASSERT_TRUE(socat.waitForStarted());
  ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(ours) && QFileInfo::exists(theirs); }));

  QProcess slave;
  slave.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  slave.start(python, {QStringLiteral(VELOTRIX_MODBUS_TEST_DIR "/pymodbus_slave.py"), theirs, QStringLiteral("17")});
  ASSERT_TRUE(slave.waitForStarted());
  ASSERT_TRUE(slave.waitForReadyRead(10000));

  {
    ManagerFixture link(ours, 250, 5);
    // The server opens its port a moment after READY: ask until it answers.
    std::unique_ptr<CRequestPacket> inputs;
    ASSERT_TRUE(WaitFor(
        [&] {
          inputs = link.Exchange(MakeRead(REQ_READ_VARS, 100, 8, 17), 10000);
          return inputs && inputs->error == kSerOk;
        },
        30000))
        << (inputs ? inputs->strVersion.toStdString() : std::string("no answer"));
    EXPECT_EQ(inputs->wAnsData, (std::vector<uint16_t>{1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007}));

    auto *one = new CRequestPacket(kNoWindow, 17, REQ_WRITE_ONE);
    one->PktType.par.first_par = 40;
    one->PktType.par.num_par = 1;
    one->wData = {ShortWord(-5)};
    auto wrote = link.Exchange(one);
    ASSERT_TRUE(wrote);
    EXPECT_EQ(wrote->error, kSerOk) << wrote->strVersion.toStdString();
    auto back = link.Exchange(MakeRead(REQ_READ_ONE, 40, 1, 17));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->wAnsData, std::vector<uint16_t>{0xFFFB});

    auto *block = new CRequestPacket(kNoWindow, 17, REQ_WRITE_BLOCK);
    block->PktType.par.first_par = 120;
    block->PktType.par.num_par = 120;
    for (uint16_t i = 0; i < 120; ++i)
      block->wData.push_back(static_cast<uint16_t>(i * 3 + 1));
    const std::vector<uint16_t> sent = block->wData;
    auto blockWritten = link.Exchange(block);
    ASSERT_TRUE(blockWritten);
    EXPECT_EQ(blockWritten->error, kSerOk) << blockWritten->strVersion.toStdString();
    auto blockBack = link.Exchange(MakeRead(REQ_READ_BLOCK, 120, 120, 17));
    ASSERT_TRUE(blockBack);
    EXPECT_EQ(blockBack->error, kSerOk);
    EXPECT_EQ(blockBack->wAnsData, sent);

    // A slave address nobody answers: a time-out, and the link goes on.
    auto nobody = link.Exchange(MakeRead(REQ_READ_ONE, 0, 1, 18), 10000);
    ASSERT_TRUE(nobody);
    EXPECT_EQ(nobody->error, kSerErrTimeout);
  }
  slave.kill();
  slave.waitForFinished();
  socat.terminate();
  socat.waitForFinished();
}
