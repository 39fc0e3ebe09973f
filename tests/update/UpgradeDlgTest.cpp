#include "update/UpgradeDlg.h"

#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "platform/StringTable.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class UpgradeDlgTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_TRUE(m_server.Listen());
    m_dlg = std::make_unique<CUpgradeDlg>(nullptr, QString::fromLatin1(m_server.BaseUrl()));
    m_dlg->Worker().SetProgramFolder(m_dir.path());
    m_dlg->Worker().SetTempFolder(m_dir.path());
    m_dlg->show();
  }

  QString Button() const { return m_dlg->StartStopButton()->text(); }
  QString Shown() const { return m_dlg->LogEdit()->toPlainText(); }
  void Click() { QTest::mouseClick(m_dlg->StartStopButton(), Qt::LeftButton); }

  TestEnvironment m_env;
  QTemporaryDir m_dir;
  LocalHttpServer m_server;
  std::unique_ptr<CUpgradeDlg> m_dlg;
};

TEST_F(UpgradeDlgTest, ShowsReadyAndRunsToTheEnd)
{
  EXPECT_EQ(m_dlg->windowTitle(), "Velotrix 2.1.25");
  EXPECT_EQ(Shown(), "System ready.");
  EXPECT_EQ(Button(), "Start Update");
  EXPECT_EQ(m_dlg->ProgressBar()->minimum(), 0);
  EXPECT_EQ(m_dlg->ProgressBar()->maximum(), 100);
  EXPECT_EQ(m_dlg->ProgressBar()->value(), 0);
  EXPECT_EQ(m_dlg->Worker().GetRunFlag(), 0);

  QByteArray list = "[Velo-Trix]\r\n";
  for (int i = 0; i < 60; ++i)
    list += "file" + QByteArray::number(i) + ".txt=1\r\n";
  for (int i = 0; i < 60; ++i)
    list += "[file" + QByteArray::number(i) + ".txt]\r\nVersion=1\r\nURL=" + m_server.BaseUrl() + "gone\r\n";
  m_server.Serve("/update.htm", list);
  Click();
  // The start is not undone by a poll that comes before the worker's first step.
  EXPECT_EQ(m_dlg->Worker().IsFinished(), 0);
  EXPECT_EQ(Button(), "Cancel Operations");
  EXPECT_EQ(m_dlg->Worker().GetRunFlag(), 1);
  ASSERT_TRUE(WaitFor([this] { return Button() == "Start Update"; }, 20000));
  EXPECT_TRUE(Shown().endsWith("\n  download file59.txt : download problem\n\nFinish!")) << Shown().toStdString();
  EXPECT_EQ(m_dlg->ProgressBar()->value(), 0);
  const QScrollBar *bar = m_dlg->LogEdit()->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(UpgradeDlgTest, SecondClickStopsTheRun)
{
  m_server.Serve("/update.htm", "[Velo-Trix]\r\nslow.bin=1\r\n[slow.bin]\r\nVersion=1\r\nURL=" + m_server.BaseUrl() +
                                    "slow\r\nLength=1000000\r\n");
  m_server.Serve("/slow", LocalHttpServer::Route{200, QByteArray(300000, 's'), true});
  Click();
  // 300000 of 1000000 bytes arrive in pieces: the bar climbs to 30 and no further.
  ASSERT_TRUE(WaitFor([this] { return m_dlg->ProgressBar()->value() > 0; }, 10000));
  EXPECT_LE(m_dlg->ProgressBar()->value(), 30);
  ASSERT_TRUE(WaitFor([this] { return m_dlg->ProgressBar()->value() == 30; }, 10000)) << m_dlg->ProgressBar()->value();
  EXPECT_EQ(Button(), "Cancel Operations");
  Click();
  EXPECT_EQ(Button(), "Start Update");
  EXPECT_EQ(m_dlg->Worker().GetRunFlag(), 0);
  ASSERT_TRUE(WaitFor([this] { return Shown().endsWith("User stop!"); }, 5000)) << Shown().toStdString();
  EXPECT_TRUE(Shown().endsWith("download slow.bin : download problem\n\nUser stop!"));
  // The next poll after the end resets the bar.
  ASSERT_TRUE(WaitFor([this] { return m_dlg->ProgressBar()->value() == 0; }, 5000));
  EXPECT_EQ(m_dlg->Worker().IsFinished(), 1);

  // Started again at once: a new log.
  Click();
  ASSERT_TRUE(WaitFor([this] { return m_dlg->ProgressBar()->value() > 0; }, 10000));
  EXPECT_EQ(Shown().count("Start at"), 1);
  Click();
}

TEST_F(UpgradeDlgTest, ClosingDuringATransferReturnsPromptly)
{
  m_server.Serve("/update.htm", LocalHttpServer::Route{200, "[Velo-Trix]", true});
  Click();
  ASSERT_TRUE(WaitFor([this] { return !m_server.paths.isEmpty(); }, 10000));
  QElapsedTimer timer;
  timer.start();
  EXPECT_TRUE(m_dlg->close());
  EXPECT_EQ(Shown(), "closing window... wait please.");
  EXPECT_EQ(m_dlg->result(), int(QDialog::Rejected));
  EXPECT_EQ(m_dlg->Worker().GetRunFlag(), 0);
  EXPECT_NE(m_dlg->Worker().StopRequested(), 0);
  m_dlg.reset();
  EXPECT_LT(timer.elapsed(), 3000);
}

TEST_F(UpgradeDlgTest, EscapeCancelsWithoutARun)
{
  QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
  EXPECT_FALSE(m_dlg->isVisible());
  EXPECT_NE(m_dlg->Worker().StopRequested(), 0);
  EXPECT_EQ(m_dlg->Worker().IsFinished(), 1);
}

} // namespace

// Built under the Italian interface: the product title and Italian controls.
TEST(UpgradeDlgText, ItalianInterfaceShowsItalianTexts)
{
  TestEnvironment env;
  ASSERT_TRUE(StringTable::Instance().SetLanguage(StringTable::Language::Italian,
                                                  QStringLiteral(VELOTRIX_BIN_DIR "/LangITA11.rcc")));
  CUpgradeDlg dlg(nullptr, QStringLiteral("http://127.0.0.1:9/"));
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), "Velotrix 2.1.25");
  EXPECT_EQ(dlg.StartStopButton()->text(), "Avvia aggiornamento");
  EXPECT_EQ(dlg.LogEdit()->toPlainText(), "Sistema pronto.");
}
