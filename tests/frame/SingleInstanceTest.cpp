#include "TestSupport.h"
#include "frame/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString UniqueName()
{
  return QStringLiteral("velotrix-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Runs the helper as a second copy while this process serves its requests;
// the helper's exit code, or -1 when it did not end in time.
int RunSecondCopy(const QStringList &args, const QString &workDir = QString())
{
  QProcess helper;
  if (!workDir.isEmpty())
    helper.setWorkingDirectory(workDir);
  helper.start(QStringLiteral(VELOTRIX_BIN_DIR "/frame_single_instance_helper"), args);
  if (!helper.waitForStarted(10000))
    return -1;
  const QDeadlineTimer deadline(60000);
  while (helper.state() != QProcess::NotRunning && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    helper.waitForFinished(20);
  }
  if (helper.state() != QProcess::NotRunning) {
    helper.kill();
    helper.waitForFinished(5000);
    return -1;
  }
  return helper.exitStatus() == QProcess::NormalExit ? helper.exitCode() : -1;
}

struct SingleInstanceFixture : ::testing::Test {
  void SetUp() override
  {
    ASSERT_TRUE(dir.isValid());
    document = dir.filePath("board.vtx");
    QFile f(document);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#Norv tembrano v1.1\r\n");
  }
  QTemporaryDir dir;
  QString document;
  const QString name = UniqueName();
};

TEST_F(SingleInstanceFixture, SecondCopyHandsItsDocumentOverAndEnds)
{
  CWinAppEx first;
  ASSERT_TRUE(first.CheckInstance(name, QString()));
  ASSERT_TRUE(first.IsListening());
  QSignalSpy spy(&first, &CWinAppEx::documentHandedOver);
  // A relative path travels as an absolute one.
  EXPECT_EQ(RunSecondCopy({name, "board.vtx"}, dir.path()), 0);
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toString(), QFileInfo(document).absoluteFilePath());
  EXPECT_EQ(first.AcceptedCount(), 1);
}

TEST_F(SingleInstanceFixture, SecondCopyWithoutADocumentStartsNormally)
{
  CWinAppEx first;
  ASSERT_TRUE(first.CheckInstance(name, QString()));
  QSignalSpy spy(&first, &CWinAppEx::documentHandedOver);
  EXPECT_EQ(RunSecondCopy({name}), 3);
  EXPECT_EQ(spy.count(), 0);
}

TEST_F(SingleInstanceFixture, UnreadableDocumentIsRefusedAndTheCopyStarts)
{
  CWinAppEx first;
  ASSERT_TRUE(first.CheckInstance(name, QString()));
  QSignalSpy spy(&first, &CWinAppEx::documentHandedOver);
  EXPECT_EQ(RunSecondCopy({name, dir.filePath("missing.vtx")}), 3);
  EXPECT_EQ(spy.count(), 0);
  EXPECT_EQ(first.AcceptedCount(), 0);
}

TEST_F(SingleInstanceFixture, WithNoRunningCopyTheFirstStartsAndLeavesNoLock)
{
  EXPECT_EQ(RunSecondCopy({name, document}), 3);
  // The helper's lock died with it: this process is now the first copy.
  CWinAppEx first;
  EXPECT_FALSE(first.IsAlreadyRunning(name));
  EXPECT_TRUE(first.CheckInstance(name, QString()));
  EXPECT_TRUE(first.IsListening());
  // No name: no check at all.
  CWinAppEx unnamed;
  EXPECT_TRUE(unnamed.CheckInstance(QString(), document));
  EXPECT_FALSE(unnamed.IsListening());
}

TEST_F(SingleInstanceFixture, ARunningCopyThatNeverAnswersLetsTheSecondStart)
{
  CWinAppEx first;
  ASSERT_TRUE(first.CheckInstance(name, QString()));
  // This copy holds the lock but does not serve (its event loop is busy):
  // the second copy gives up after its wait and starts normally.
  CWinAppEx second;
  EXPECT_TRUE(second.IsAlreadyRunning(name));
  EXPECT_TRUE(second.CheckInstance(name, document, 300));
  EXPECT_EQ(first.AcceptedCount(), 0);
}

} // namespace

namespace {

// The program itself, with settings, lock and socket in a folder of its own.
struct ProgramRun {
  ProgramRun()
  {
    for (const char *d : {"run", "tmp", "config", "home"})
      QDir(dir.path()).mkpath(QString::fromLatin1(d));
    QFile::setPermissions(dir.filePath("run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", dir.filePath("run"));
    environment.insert("TMPDIR", dir.filePath("tmp"));
    environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    environment.insert("HOME", dir.filePath("home"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    // As quiet as a release build: the trace of a debug build stays off.
    environment.insert("QT_LOGGING_RULES", "velotrix.*.debug=false");
  }
  // Exit status (-1: did not end in time) and standard error.
  int Run(const QStringList &args, QString *err)
  {
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(QStringLiteral(VELOTRIX_BIN_DIR "/velotrix"), args);
    if (!p.waitForStarted(10000))
      return -1;
    const QDeadlineTimer deadline(60000);
    while (p.state() != QProcess::NotRunning && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      p.waitForFinished(20);
    }
    if (p.state() != QProcess::NotRunning) {
      p.kill();
      p.waitForFinished(5000);
      return -1;
    }
    *err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }
  QTemporaryDir dir;
  QProcessEnvironment environment;
};

} // namespace

TEST(ProgramStart, AnUnopenableDocumentFailsLoudlyAndAHandOverEndsQuietly)
{
  ProgramRun program;
  QString err;
  const QString missing = program.dir.filePath("missing/board.vtx");
  EXPECT_EQ(program.Run({missing}, &err), 1);
  const QStringList lines = err.trimmed().split(u'\n');
  ASSERT_EQ(lines.size(), 1) << qPrintable(err);
  EXPECT_TRUE(lines[0].contains(missing)) << qPrintable(err);
  EXPECT_TRUE(lines[0].contains("No such file")) << qPrintable(err);
  // A FIFO is refused at once; nothing waits for a writer.
  const QString fifo = program.dir.filePath("board.fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_EQ(program.Run({fifo}, &err), 1);
  EXPECT_TRUE(err.contains("not a regular file")) << qPrintable(err);

  // This process is the running copy (same folders): the second one hands
  // its document over and ends with 0, saying nothing.
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  const QByteArray tmp = qgetenv("TMPDIR");
  qputenv("XDG_RUNTIME_DIR", program.dir.filePath("run").toLocal8Bit());
  qputenv("TMPDIR", program.dir.filePath("tmp").toLocal8Bit());
  {
    CWinAppEx first;
    ASSERT_TRUE(first.CheckInstance(QString::fromLatin1(CWinAppEx::kUniqueName), QString()));
    QSignalSpy spy(&first, &CWinAppEx::documentHandedOver);
    const QString document = program.dir.filePath("board.vtx");
    QFile f(document);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#Norv tembrano v1.1\r\n");
    f.close();
    EXPECT_EQ(program.Run({document}, &err), 0);
    EXPECT_EQ(err, QString());
    EXPECT_EQ(spy.count(), 1);
  }
  qputenv("XDG_RUNTIME_DIR", runtime);
  qputenv("TMPDIR", tmp);
}
