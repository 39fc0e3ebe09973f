#include "TestSupport.h"

#include "platform/Profile.h"
#include "platform/StringTable.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <sys/stat.h>

namespace {
int g_beeps = 0;
void CountingBeep(int, int)
{
  ++g_beeps;
}
} // namespace

int ScriptedPrompter::MessageBox(const QString &text, const QString &caption, unsigned type, QWidget *)
{
  asked.push_back({Asked::Message, text, caption, type, {}, {}});
  if (m_messageAnswers.empty()) {
    ++unanswered;
    return Prompter::EscapeAnswer(type);
  }
  const int id = m_messageAnswers.front();
  m_messageAnswers.pop_front();
  return id;
}

QString ScriptedPrompter::FileDialog(const FileDialogRequest &request, QWidget *)
{
  asked.push_back({Asked::File, request.title, request.filter, 0, request, {}});
  if (m_fileAnswers.empty()) {
    ++unanswered;
    return {};
  }
  QString path = m_fileAnswers.front();
  m_fileAnswers.pop_front();
  return path;
}

int ScriptedPrompter::PopupMenu(const QList<PopupMenuItem> &items, const QPoint &, QWidget *)
{
  asked.push_back({Asked::Menu, {}, {}, 0, {}, items});
  if (m_menuAnswers.empty()) {
    ++unanswered;
    return 0;
  }
  const int id = m_menuAnswers.front();
  m_menuAnswers.pop_front();
  return id;
}

bool RecordingLauncher::StartProgram(const QString &program, const QStringList &arguments)
{
  started.push_back({program, arguments});
  return succeed;
}

bool RecordingLauncher::Open(const QString &pathOrUrl)
{
  opened << pathOrUrl;
  return succeed;
}

TestEnvironment::TestEnvironment()
{
  auto prompter = std::make_unique<ScriptedPrompter>();
  m_prompter = prompter.get();
  Prompter::SetInstance(std::move(prompter));
  auto launcher = std::make_unique<RecordingLauncher>();
  m_launcher = launcher.get();
  Launcher::SetInstance(std::move(launcher));
  m_dir = QDir::temp().filePath(QStringLiteral("velotrix-test-") + QUuid::createUuid().toString(QUuid::Id128));
  QDir().mkpath(m_dir);
  m_profilePath = QDir(m_dir).filePath(QStringLiteral("profile.ini"));
  Profile::SetInstance(std::make_unique<Profile>(m_profilePath));
  vtx::SetBeepHandler(CountingBeep);
  g_beeps = 0;
}

TestEnvironment::~TestEnvironment()
{
  Prompter::SetInstance(std::make_unique<ScriptedPrompter>());
  Launcher::SetInstance(std::make_unique<RecordingLauncher>());
  Profile::SetInstance(std::make_unique<Profile>(QDir(m_dir).filePath(QStringLiteral("after.ini"))));
  StringTable::Instance().SetLanguage(StringTable::Language::English);
  QDir(m_dir).removeRecursively();
}

int TestEnvironment::beeps()
{
  return g_beeps;
}

void TestEnvironment::resetBeeps()
{
  g_beeps = 0;
}

QString ExamplePath(const QString &relative)
{
  return QDir(QStringLiteral(VELOTRIX_EXAMPLES_DIR)).filePath(relative);
}

FileSizeLimit::FileSizeLimit(long long bytes)
{
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &m_action);
  getrlimit(RLIMIT_FSIZE, &m_limit);
  rlimit limit = m_limit;
  limit.rlim_cur = rlim_t(bytes);
  setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
  setrlimit(RLIMIT_FSIZE, &m_limit);
  sigaction(SIGXFSZ, &m_action, nullptr);
}

bool WaitFor(const std::function<bool()> &pred, int timeoutMs)
{
  QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    if (pred())
      return true;
    if (deadline.hasExpired())
      return false;
    // Runs the event loop (deferred deletes included) for a moment: serial
    // answers come in well under a millisecond.
    QTest::qWait(1);
  }
}

QStringList MakeHostileFiles(const QString &folder)
{
  const QString fifo = folder + QStringLiteral("/fifo.vtx");
  const QString zero = folder + QStringLiteral("/zero.vtx");
  const QString dir = folder + QStringLiteral("/folder.vtx");
  const QString sparse = folder + QStringLiteral("/sparse.vtx");
  if (::mkfifo(QFile::encodeName(fifo).constData(), 0600) != 0)
    qFatal("cannot make a FIFO in %s", qUtf8Printable(folder));
  QFile::link(QStringLiteral("/dev/zero"), zero);
  QDir().mkpath(dir);
  QFile big(sparse);
  if (!big.open(QIODevice::WriteOnly) || big.write("#Norv tembrano v1.1\r\nVersion = BIG;\r\n") < 0 ||
      !big.resize(64 * 1024 * 1024 + 1))
    qFatal("cannot make a sparse file in %s", qUtf8Printable(folder));
  return {fifo, zero, dir, sparse};
}
