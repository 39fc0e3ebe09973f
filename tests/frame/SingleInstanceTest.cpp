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

// Runs a program of this build while this process serves its requests; its
// exit code, or -1 when it did not end in time. Its standard error into err.
int RunServing(QProcess &p, const QString &program, const QStringList &args, QString *err = nullptr)
{
  p.start(QStringLiteral(VELOTRIX_BIN_DIR "/") + program, args);
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
  if (err)
    *err = QString::fromLocal8Bit(p.readAllStandardError());
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The helper as a second copy of the program.
int RunSecondCopy(const QStringList &args, const QString &workDir = QString())
{
  QProcess helper;
  helper.setWorkingDirectory(workDir);
  return RunServing(helper, QStringLiteral("frame_single_instance_helper"), args);
}

bool WriteDocument(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write("#Norv tembrano v1.1\r\n") > 0;
}

struct SingleInstanceFixture : ::testing::Test {
  void SetUp() override
  {
    ASSERT_TRUE(dir.isValid());
    document = dir.filePath("board.vtx");
    ASSERT_TRUE(WriteDocument(document));
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

// Without a document, or with one it cannot read, the second copy starts itself.
TEST_F(SingleInstanceFixture, SecondCopyWithNothingToHandOverStartsNormally)
{
  CWinAppEx first;
  ASSERT_TRUE(first.CheckInstance(name, QString()));
  QSignalSpy spy(&first, &CWinAppEx::documentHandedOver);
  for (const QStringList &args : {QStringList{name}, QStringList{name, dir.filePath("missing.vtx")}}) {
    EXPECT_EQ(RunSecondCopy(args), 3) << args.join(u' ').toStdString();
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(first.AcceptedCount(), 0);
  }
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
  int Run(const QStringList &args, QString *err)
  {
    QProcess p;
    p.setProcessEnvironment(environment);
    return RunServing(p, QStringLiteral("velotrix"), args, err);
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
    ASSERT_TRUE(WriteDocument(document));
    EXPECT_EQ(program.Run({document}, &err), 0);
    EXPECT_EQ(err, QString());
    EXPECT_EQ(spy.count(), 1);
  }
  qputenv("XDG_RUNTIME_DIR", runtime);
  qputenv("TMPDIR", tmp);
}
