// startup_bench: the real program measured from outside its process, on an
// X server of its own (Xvfb, Qt's xcb platform):
//  1. start-up: velotrix with a generated 3000-parameter document, velotrix
//     without one, and a minimal Qt Widgets program built beside it (and,
//     with --baseline, another velotrix build with the document), started in
//     turn several times; each is timed from its start to the first drawing
//     into its first mapped top-level window, seen through the X damage
//     extension;
//  2. idle cost: velotrix online with one simulated board, polling at the
//     scheduler's rate; user + system time of the process over a fixed span
//     (the baseline alternated with it when given).
// Each start gets its own HOME, XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_CACHE_HOME and XDG_RUNTIME_DIR: it finds no running copy to hand its
// document to, and the user's settings are never read or written. Every start
// has a time-out. Prints figures and asserts nothing; run by hand or through
// scripts/bench (a Release build gives real figures). Not run by ctest.
//
//   startup_bench [--runs N] [--idle-seconds S] [--baseline PATH] [--velotrix PATH] [--minimal PATH]

#include "BoardGenerator.h"
#include "BenchReport.h"
#include "SimBoard.h"

#include "platform/Cp1252.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kStartTimeoutMs = 30000;

double Min(const std::vector<double> &v)
{
  return v.empty() ? -1 : *std::min_element(v.begin(), v.end());
}

void Pump(int ms)
{
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(5);
  }
}

// Xvfb on a free display, and our connection to it watching the windows
// mapped on its root.
class XServer {
public:
  ~XServer()
  {
    if (m_conn)
      xcb_disconnect(m_conn);
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      waitpid(m_pid, nullptr, 0);
    }
  }

  bool Start()
  {
    int fds[2];
    if (pipe(fds) != 0)
      return false;
    m_pid = fork();
    if (m_pid == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0)
        dup2(null, STDERR_FILENO);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
             static_cast<char *>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (m_pid < 0) {
      close(fds[0]);
      return false;
    }
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&p, 1, 15000) > 0) {
      char buf[16];
      const ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0)
        break;
      number.append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos)
      return false;
    m_display = std::string(1, ':');
    m_display.append(number, 0, number.find('\n'));
    m_conn = xcb_connect(m_display.c_str(), nullptr);
    if (!m_conn || xcb_connection_has_error(m_conn))
      return false;
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(m_conn, &xcb_damage_id);
    if (!ext || !ext->present)
      return false;
    m_damageEvent = ext->first_event + XCB_DAMAGE_NOTIFY;
    free(xcb_damage_query_version_reply(
        m_conn, xcb_damage_query_version(m_conn, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION), nullptr));
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_conn);
    return true;
  }

  QString Display() const { return QString::fromStdString(m_display); }

  // Forgets what earlier programs left: their windows and damage objects.
  void Reset()
  {
    for (const auto &[window, damage] : m_damage)
      xcb_damage_destroy(m_conn, damage);
    m_damage.clear();
    m_mapped.clear();
    xcb_flush(m_conn);
    Drain(50);
  }

  // Watches until a top-level window is mapped and drawn into, or until the
  // time-out or `gone` says the program ended. Times are from `clock`.
  struct Seen {
    double mappedMs = -1;
    double paintedMs = -1;
    xcb_window_t window = 0;
  };
  Seen WaitFirstPaint(const QElapsedTimer &clock, const std::function<bool()> &gone)
  {
    Seen seen;
    const int fd = xcb_get_file_descriptor(m_conn);
    while (clock.elapsed() < kStartTimeoutMs) {
      xcb_generic_event_t *ev = xcb_poll_for_event(m_conn);
      if (!ev) {
        if (xcb_connection_has_error(m_conn))
          return seen;
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 5);
        if (clock.elapsed() % 100 < 6 && gone())
          return seen;
        continue;
      }
      const uint8_t type = ev->response_type & 0x7F;
      if (type == XCB_CREATE_NOTIFY) {
        // Damage is asked for as soon as the window exists, so that no early
        // drawing is missed.
        auto *c = reinterpret_cast<xcb_create_notify_event_t *>(ev);
        if (c->parent == m_root && !c->override_redirect) {
          const xcb_damage_damage_t damage = xcb_generate_id(m_conn);
          xcb_damage_create(m_conn, damage, c->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
          xcb_flush(m_conn);
          m_damage[c->window] = damage;
        }
      } else if (type == XCB_MAP_NOTIFY) {
        auto *m = reinterpret_cast<xcb_map_notify_event_t *>(ev);
        if (m->event == m_root && !m->override_redirect && m_damage.count(m->window)) {
          m_mapped.push_back(m->window);
          if (seen.mappedMs < 0)
            seen.mappedMs = clock.nsecsElapsed() / 1e6;
        }
      } else if (type == m_damageEvent) {
        auto *d = reinterpret_cast<xcb_damage_notify_event_t *>(ev);
        if (std::find(m_mapped.begin(), m_mapped.end(), d->drawable) != m_mapped.end()) {
          seen.paintedMs = clock.nsecsElapsed() / 1e6;
          seen.window = d->drawable;
          free(ev);
          return seen;
        }
      }
      free(ev);
    }
    return seen;
  }

private:
  void Drain(int ms)
  {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      while (xcb_generic_event_t *ev = xcb_poll_for_event(m_conn))
        free(ev);
      usleep(2000);
    }
  }

  pid_t m_pid = -1;
  std::string m_display;
  xcb_connection_t *m_conn = nullptr;
  xcb_window_t m_root = 0;
  uint8_t m_damageEvent = 0;
  std::map<xcb_window_t, xcb_damage_damage_t> m_damage;
  std::vector<xcb_window_t> m_mapped;
};

// One program to start: its path and arguments.
struct Subject {
  std::string name;
  QString program;
  QStringList arguments;
};

// The environment of one start: its own home, settings, data, cache and
// runtime folders on the benchmark's X server.
QProcessEnvironment PrivateEnvironment(const QString &root, const QString &display)
{
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  const QStringList folders{QStringLiteral("home"), QStringLiteral("config"), QStringLiteral("data"),
                            QStringLiteral("cache"), QStringLiteral("runtime")};
  for (const QString &f : folders)
    QDir().mkpath(root + u'/' + f);
  QFile::setPermissions(root + QStringLiteral("/runtime"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
  env.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/cache"));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
  env.insert(QStringLiteral("DISPLAY"), display);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.remove(QStringLiteral("VELOTRIX_SERIAL_DEVICE"));
  env.remove(QStringLiteral("VELOTRIX_TEST_CHANNEL"));
  return env;
}

void Stop(QProcess &p)
{
  if (p.state() == QProcess::NotRunning)
    return;
  p.terminate();
  if (!p.waitForFinished(3000)) {
    p.kill();
    p.waitForFinished(3000);
  }
}

// User + system time of a process so far, in seconds.
double CpuSeconds(qint64 pid)
{
  QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!f.open(QIODevice::ReadOnly))
    return -1;
  const QByteArray line = f.readAll();
  // The fields after the command name, which ends at the last ')'.
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 13)
    return -1;
  const double ticks = fields[11].toDouble() + fields[12].toDouble(); // utime, stime
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class Bench {
public:
  Bench(XServer &x, const QString &scratch) : m_x(x), m_scratch(scratch) {}

  // One start to the first painted window; -1 when it never came.
  XServer::Seen StartOnce(const Subject &s, QProcess &process, const QProcessEnvironment &extra = {})
  {
    m_x.Reset();
    const QString root = QStringLiteral("%1/start%2").arg(m_scratch).arg(++m_starts);
    QProcessEnvironment env = PrivateEnvironment(root, m_x.Display());
    for (const QString &key : extra.keys())
      env.insert(key, extra.value(key));
    process.setProcessEnvironment(env);
    // Its diagnostic output is written (that costs what it costs) but not kept.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(s.program, s.arguments);
    return m_x.WaitFirstPaint(clock, [&] {
      QCoreApplication::processEvents();
      return process.state() == QProcess::NotRunning;
    });
  }

  double TimeStart(const Subject &s)
  {
    QProcess process;
    const XServer::Seen seen = StartOnce(s, process);
    Stop(process);
    if (seen.paintedMs < 0)
      std::printf("  %s: no painted window within %d ms (mapped: %s)\n", s.name.c_str(), kStartTimeoutMs,
                  seen.mappedMs < 0 ? "no" : "yes");
    return seen.paintedMs;
  }

  struct Idle {
    double cpuPercent = -1;
    double pollsPerSecond = -1;
  };
  // The program with the document, online with a simulated board of it.
  Idle IdleOnline(const Subject &s, const QString &doc, int spanSeconds)
  {
    Idle idle;
    SimBoard board({QStringLiteral("--doc"), doc});
    if (board.Device().isEmpty()) {
      std::printf("  %s: the simulated board did not start\n", s.name.c_str());
      return idle;
    }
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("VELOTRIX_SERIAL_DEVICE"), board.Device());
    QProcess process;
    const XServer::Seen seen = StartOnce(s, process, extra);
    if (seen.paintedMs < 0) {
      std::printf("  %s: no painted window\n", s.name.c_str());
      Stop(process);
      return idle;
    }
    Pump(1500); // the window settles
    // Online through the keyboard, as a user does: Board menu, first item.
    const QString window = QString::number(seen.window);
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_x.Display());
    tool.setProcessEnvironment(env);
    for (const QStringList &args : {QStringList{QStringLiteral("windowfocus"), QStringLiteral("--sync"), window},
                                    QStringList{QStringLiteral("key"), QStringLiteral("alt+b")},
                                    QStringList{QStringLiteral("key"), QStringLiteral("Return")}}) {
      tool.start(QStringLiteral("xdotool"), args);
      tool.waitForFinished(5000);
      Pump(300);
    }
    const long before = board.Requests();
    Pump(3000); // going online: version check, board texts, first polls
    const long settled = board.Requests();
    if (settled <= before) {
      std::printf("  %s: the board saw no polls after the Online command (%ld frames)\n", s.name.c_str(), settled);
      Stop(process);
      return idle;
    }
    const double cpu0 = CpuSeconds(process.processId());
    QElapsedTimer span;
    span.start();
    Pump(spanSeconds * 1000);
    const double cpu1 = CpuSeconds(process.processId());
    const double seconds = span.nsecsElapsed() / 1e9;
    const long after = board.Requests();
    Stop(process);
    if (cpu0 < 0 || cpu1 < 0)
      return idle;
    idle.cpuPercent = 100 * (cpu1 - cpu0) / seconds;
    idle.pollsPerSecond = (after - settled) / seconds;
    return idle;
  }

private:
  XServer &m_x;
  QString m_scratch;
  int m_starts = 0;
};

QString LoadAverage()
{
  QFile f(QStringLiteral("/proc/loadavg"));
  return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(u' ', 0, 2) : QString();
}

} // namespace

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  const QString bin = QCoreApplication::applicationDirPath();
  QString velotrix = bin + QStringLiteral("/velotrix");
  QString minimal = bin + QStringLiteral("/minimal_qt");
  QString baseline;
  int runs = 11;
  int idleSeconds = 10;
  const QStringList args = QCoreApplication::arguments();
  for (int i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == QLatin1String("--runs"))
      runs = std::max(1, args[i + 1].toInt());
    else if (args[i] == QLatin1String("--idle-seconds"))
      idleSeconds = std::max(1, args[i + 1].toInt());
    else if (args[i] == QLatin1String("--baseline"))
      baseline = args[i + 1];
    else if (args[i] == QLatin1String("--velotrix"))
      velotrix = args[i + 1];
    else if (args[i] == QLatin1String("--minimal"))
      minimal = args[i + 1];
  }
  for (const QString &p : {velotrix, minimal})
    if (!QFileInfo(p).isExecutable()) {
      std::printf("startup_bench: %s is missing\n", qPrintable(p));
      return 1;
    }
  if (!baseline.isEmpty() && !QFileInfo(baseline).isExecutable()) {
    std::printf("startup_bench: the baseline %s is missing\n", qPrintable(baseline));
    return 1;
  }

  QTemporaryDir dir;
  const QString doc = dir.filePath(QStringLiteral("board3000.vtx"));
  {
    QFile f(doc);
    const QByteArray bytes = Cp1252::Encode(GenerateDocument(DescShape{}));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
      return 1;
  }
  XServer x;
  if (!x.Start()) {
    std::printf("startup_bench: no Xvfb with the damage extension (install Xvfb)\n");
    return 1;
  }
  // The program keeps a copy of each board description beside itself; one
  // this benchmark leaves there is taken away again.
  std::vector<QString> copies;
  for (const QString &program : {velotrix, baseline})
    if (!program.isEmpty()) {
      const QString copy = QFileInfo(program).absolutePath() + QStringLiteral("/!NORV_GEN3000_v1.00.vtx");
      if (!QFile::exists(copy))
        copies.push_back(copy);
    }

  const QString machine = QStringLiteral("machine: %1 processors, %2, load average %3 at the start; Xvfb %4, xcb")
                              .arg(QThread::idealThreadCount())
                              .arg(CpuModel(), LoadAverage(), x.Display());
  std::printf("%s\n", qPrintable(machine));
  std::printf("first paint: from the start of the process to the first drawing into its first mapped top-level\n"
              "window (X damage), %d rounds, the programs alternated in each round\n",
              runs);

  std::vector<Subject> subjects{{"minimal Qt Widgets program", minimal, {}},
                                {"velotrix, 3000-parameter document", velotrix, {doc}},
                                {"velotrix, no document", velotrix, {}}};
  if (!baseline.isEmpty())
    subjects.push_back({"baseline velotrix, 3000-parameter document", baseline, {doc}});
  Bench bench(x, dir.path());
  std::vector<std::vector<double>> times(subjects.size());
  // One start of each first, not counted: file caches are warm for all.
  for (const Subject &s : subjects)
    bench.TimeStart(s);
  for (int r = 0; r < runs; ++r)
    for (std::size_t i = 0; i < subjects.size(); ++i)
      times[i].push_back(bench.TimeStart(subjects[i]));

  auto ok = [](const std::vector<double> &v) {
    std::vector<double> out;
    for (double t : v)
      if (t >= 0)
        out.push_back(t);
    return out;
  };
  for (std::size_t i = 0; i < subjects.size(); ++i) {
    const std::vector<double> t = ok(times[i]);
    std::printf("  %-46s min %7.1f ms, median %7.1f ms (%zu of %d starts painted)\n", subjects[i].name.c_str(), Min(t),
                Median(t), t.size(), runs);
  }
  // Ratios of the starts of one round, then their median.
  auto paired = [&](std::size_t a, std::size_t b) {
    std::vector<double> r;
    for (int k = 0; k < runs; ++k)
      if (times[a][std::size_t(k)] > 0 && times[b][std::size_t(k)] > 0)
        r.push_back(times[a][std::size_t(k)] / times[b][std::size_t(k)]);
    return Median(r);
  };
  std::vector<Row> rows;
  const double withDoc = paired(1, 0), noDoc = paired(2, 0);
  std::printf("  velotrix with the document / minimal: paired median %.2f, ratio of medians %.2f, of minima %.2f\n",
              withDoc, Median(ok(times[1])) / Median(ok(times[0])), Min(ok(times[1])) / Min(ok(times[0])));
  std::printf("  velotrix without a document / minimal: paired median %.2f, ratio of medians %.2f\n", noDoc,
              Median(ok(times[2])) / Median(ok(times[0])));
  rows.push_back({"first paint, 3000-parameter document / minimal Qt", withDoc, "x", "<= 3.3", withDoc <= 3.3});
  rows.push_back({"first paint, no document / minimal Qt", noDoc, "x", "", -1});
  rows.push_back({"first paint, 3000-parameter document", Median(ok(times[1])), "ms", "", -1});
  rows.push_back({"first paint, minimal Qt", Median(ok(times[0])), "ms", "", -1});
  if (!baseline.isEmpty()) {
    const double vsBase = paired(1, 3);
    std::printf("  velotrix / baseline, both with the document: paired median %.2f\n", vsBase);
    rows.push_back({"first paint, 3000-parameter document / baseline", vsBase, "x", "<= 0.8", vsBase <= 0.8});
  }

  std::printf("\nidle online: the program with the document, online with one simulated board (boardsim), polling;\n"
              "user + system time of its process over %d s\n",
              idleSeconds);
  std::vector<Subject> idleSubjects{{"velotrix", velotrix, {doc}}};
  if (!baseline.isEmpty())
    idleSubjects.push_back({"baseline velotrix", baseline, {doc}});
  const int idleRounds = 3;
  std::vector<std::vector<double>> cpu(idleSubjects.size()), polls(idleSubjects.size());
  for (int r = 0; r < idleRounds; ++r)
    for (std::size_t i = 0; i < idleSubjects.size(); ++i) {
      const Bench::Idle idle = bench.IdleOnline(idleSubjects[i], doc, idleSeconds);
      if (idle.cpuPercent >= 0) {
        cpu[i].push_back(idle.cpuPercent);
        polls[i].push_back(idle.pollsPerSecond);
      }
    }
  for (std::size_t i = 0; i < idleSubjects.size(); ++i)
    std::printf("  %-20s CPU median %.2f %% (min %.2f %%), %.1f frames/s to the board, %zu of %d runs\n",
                idleSubjects[i].name.c_str(), Median(cpu[i]), Min(cpu[i]), Median(polls[i]), cpu[i].size(), idleRounds);
  rows.push_back({"idle CPU online with one board (outside)", Median(cpu[0]), "%", "", -1});
  if (!baseline.isEmpty() && !cpu[1].empty() && !cpu[0].empty()) {
    const double ratio = Median(cpu[0]) / Median(cpu[1]);
    rows.push_back({"idle CPU online / baseline", ratio, "x", "<= 0.5", ratio <= 0.5});
  }
  for (const QString &copy : copies)
    QFile::remove(copy);

  std::printf("\n%s; load average %s at the end\n", qPrintable(machine), qPrintable(LoadAverage()));
  PrintRows(rows, 56);
  return 0;
}
