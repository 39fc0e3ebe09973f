// app_bench: the speed of the running program, each figure a ratio or a time
// measured in one run against its goal:
//  1. read all of a generated 3000-parameter board at 115200 baud through the
//     main and board windows, over the time its traffic needs on a wire, at
//     the default silent time and at 2 ms;
//  2. polling the watch rows and the standard variables of 3 boards on one
//     line: refreshes per second per board over what the wire allows, and the
//     longest stall of the GUI thread seen by a 10 ms timer;
//  3. filling and repainting the parameter list of one block of 3000
//     parameters;
//  4. start-up to the first painted main window with a document named on the
//     command line, and resident memory with three such boards open.
// Prints figures and asserts nothing; run by hand or through scripts/bench
// (a Release build gives real figures). Not run by ctest.

#include "BoardGenerator.h"
#include "LineTap.h"
#include "BenchReport.h"
#include "SimBoard.h"

#include "frame/ChildFrm.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"
#include "frame/QelApp.h"
#include "controls/XListCtrl.h"
#include "modbus/SerManager.h"
#include "support/FolderDocHost.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/Cp1252.h"
#include "platform/Profile.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "views/ListaPar.h"
#include "views/ParTreeView.h"
#include "views/VarListView.h"
#include "views/VarTreeView.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QMdiArea>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <ctime>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kBaud = 115200;

// Answers OK (or what Escape gives) to whatever would be asked.
class SilentPrompter : public Prompter {
public:
  int MessageBox(const QString &, const QString &, unsigned type, QWidget *) override
  {
    return Prompter::EscapeAnswer(type);
  }
  QString FileDialog(const FileDialogRequest &, QWidget *) override { return {}; }
  int PopupMenu(const QList<PopupMenuItem> &, const QPoint &, QWidget *) override { return 0; }
};

// The parameter list, counting its full refills and its refills of the rows
// read answers stored, and their time. A refill of rows that turns into a
// full one counts as full only.
struct FillCount {
  int times = 0;
  double ms = 0;
  double longestMs = 0;
};

class TimedParList : public CParListView {
public:
  void FillList() override
  {
    QElapsedTimer timer;
    timer.start();
    CParListView::FillList();
    Add(s_full, timer.nsecsElapsed() / 1e6);
  }
  void RefillRows(const std::vector<std::uint16_t> &pars) override
  {
    const int fullBefore = s_full.times;
    QElapsedTimer timer;
    timer.start();
    CParListView::RefillRows(pars);
    if (s_full.times == fullBefore)
      Add(s_rows, timer.nsecsElapsed() / 1e6);
  }
  static void Reset() { s_full = s_rows = FillCount{}; }
  static double TotalMs() { return s_full.ms + s_rows.ms; }
  static inline FillCount s_full, s_rows;

private:
  static void Add(FillCount &c, double ms)
  {
    ++c.times;
    c.ms += ms;
    c.longestMs = std::max(c.longestMs, ms);
  }
};

// The four views of a board window, as the program shows them.
void PlugViews()
{
  auto plug = [](CChildFrame::PaneKind kind, auto make) {
    CChildFrame::SetPaneFactory(kind, [make](CQelDoc &doc, CChildFrame &) -> QWidget * {
      auto *view = make();
      doc.AddView(view);
      view->OnInitialUpdate();
      return view;
    });
  };
  plug(CChildFrame::ParTree, [] { return new CParTreeView; });
  plug(CChildFrame::ParList, [] { return new TimedParList; });
  plug(CChildFrame::VarTree, [] { return new CVarTreeView; });
  plug(CChildFrame::VarList, [] { return new CVarListView; });
}

bool WriteDocument(const QString &path, const QString &text)
{
  const QByteArray bytes = Cp1252::Encode(text);
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The generated board: 3000 parameters, some of them enumerations and bit
// fields, 1500 variables, 200 blocks.
DescShape BenchShape()
{
  DescShape shape;
  shape.enumsAndBitFields = true;
  return shape;
}

// The generated board at a slave address.
QString BoardText(int slave)
{
  QString text = GenerateDocument(BenchShape());
  text.replace(QStringLiteral("MODBUS = 1;"), QStringLiteral("MODBUS = %1;").arg(slave));
  return text;
}

// The generated board with every parameter moved into block 1, one after the
// other: one list of 3000 rows.
QString OneBlockText()
{
  const QStringList lines = GenerateDocument(BenchShape()).split(QStringLiteral("\r\n"));
  static const QRegularExpression item(QStringLiteral("^[pfl]\\d+ "));
  static const QRegularExpression place(QStringLiteral("; b=\\d+; p=\\d+;"));
  QString text;
  int position = 0;
  for (const QString &line : lines) {
    QString out = line;
    if (item.match(line).hasMatch() && line.contains(u'=')) {
      out.replace(place, QStringLiteral("; b=1; p=%1;").arg(position));
      position += line.startsWith(u'p') ? 1 : 2;
    }
    text += out + QStringLiteral("\r\n");
  }
  text.chop(2);
  return text;
}

bool WaitUntil(const std::function<bool()> &done, int timeoutMs)
{
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::usleep(200);
  }
  return true;
}

long ResidentKb()
{
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly))
    return -1;
  for (const QByteArray &line : f.readAll().split('\n'))
    if (line.startsWith("VmRSS:"))
      return line.mid(6).trimmed().split(' ').value(0).toLong();
  return -1;
}

// The wire time of traffic: every character 11 bits, and per exchange the
// 3.5-character gap after the answer and, before the request, the master's
// silent time when longer than that gap. With no silent time it is the
// physical wire time.
double WireSeconds(const LineTap::Counts &c, int silentMs)
{
  const double character = 11.0 / kBaud;
  const double gap = std::max(silentMs / 1000.0, 3.5 * character);
  return (c.requestBytes + c.answerBytes) * character + c.requests * (3.5 * character + gap);
}

LineTap::Counts Minus(const LineTap::Counts &a, const LineTap::Counts &b)
{
  return {a.requests - b.requests, a.requestBytes - b.requestBytes, a.answerBytes - b.answerBytes};
}

LineTap::Counts Plus(const LineTap::Counts &a, const LineTap::Counts &b)
{
  return {a.requests + b.requests, a.requestBytes + b.requestBytes, a.answerBytes + b.answerBytes};
}

std::vector<Row> g_rows;

void Report(const std::string &figure, double value, const std::string &unit, const std::string &goal = {},
            int verdict = -1)
{
  g_rows.push_back({figure, value, unit, goal, verdict});
}

// The GUI thread's stalls, seen by a 10 ms timer: the longest gap between
// two of its ticks beyond 10 ms.
class StallProbe {
public:
  StallProbe()
  {
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      const qint64 now = m_clock.nsecsElapsed();
      m_worst = std::max(m_worst, now - m_last);
      m_last = now;
    });
    m_clock.start();
    m_timer.start(10);
  }
  double WorstGapMs() const { return m_worst / 1e6; }
  double StallMs() const { return std::max(0.0, m_worst / 1e6 - 10); }

private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_last = 0;
  qint64 m_worst = 0;
};

// A main frame on a line of simulated boards, with the program's settings
// but for the speed and silent time.
class Bench {
public:
  Bench(const QString &folder, int silentMs) : m_folder(folder)
  {
    frame = std::make_unique<CMainFrame>(true);
    COptions &o = frame->GetOptions();
    o.com_speed.Set(kBaud);
    o.com_silent.Set(silentMs);
    o.VisLevel.Set(3);
    frame->resize(1280, 800);
    frame->show();
    host = std::make_unique<CFolderDocHost>(folder, frame.get());
  }
  ~Bench()
  {
    frame->CloseAllChildren();
    frame.reset();
    docs.clear();
  }
  void Connect(const QString &device)
  {
    frame->GetSerManager()->SetDevicePath(device);
    frame->ApplySerialSettings();
  }
  CChildFrame *Open(const QString &path)
  {
    QElapsedTimer timer;
    timer.start();
    auto doc = std::make_unique<CQelDoc>();
    doc->SetHost(host.get());
    if (!doc->OnOpenDocument(path))
      return nullptr;
    doc->SetPathName(path);
    loadMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    CChildFrame *child = frame->AddChildFrame(doc.get());
    doc->SetHost(host.get());
    child->showMaximized();
    child->ActivateFrame();
    QCoreApplication::processEvents();
    windowMs = timer.nsecsElapsed() / 1e6;
    // A user looks at the first block: a click in the tree fills the list.
    timer.restart();
    if (auto *tree = qobject_cast<CParTreeView *>(child->GetPane(CChildFrame::ParTree)))
      if (QTreeWidgetItem *item = tree->ItemOfKey(-1))
        tree->setCurrentItem(item);
    QCoreApplication::processEvents();
    selectMs = timer.nsecsElapsed() / 1e6;
    docs.push_back(std::move(doc));
    return child;
  }
  // A command as the menu or the toolbar gives it to the active board.
  void Command(int id)
  {
    QAction *action = frame->Action(id);
    if (action && action->isEnabled())
      action->trigger();
    else
      frame->OnCommand(id);
  }
  bool GoOnline(CChildFrame *child)
  {
    child->OnCommand(Cmd::OnLine);
    return WaitUntil([&] { return child->GetDocument()->IsOnline(); }, 10000);
  }

  std::unique_ptr<CMainFrame> frame;
  std::unique_ptr<CFolderDocHost> host;
  std::vector<std::unique_ptr<CQelDoc>> docs;
  double loadMs = 0, windowMs = 0, selectMs = 0; // of the last Open

private:
  QString m_folder;
};

struct ReadAllRun {
  bool ok = false;
  double overPhysical = 0; // measured / physical wire time of all traffic
  double overSilent = 0;   // measured / wire time with the silent time
  double stallMs = 0;
  double fillMs = 0; // the parameter list's refills, full and of rows
  int fullFills = 0;
};

ReadAllRun ReadAll(const QString &folder, const QString &doc, int silentMs, const std::string &label)
{
  ReadAllRun result;
  SimBoard board({QStringLiteral("--doc"), doc, QStringLiteral("--wire-baud"), QString::number(kBaud)});
  LineTap tap;
  if (board.Device().isEmpty() || !tap.AddBoard(1, board.Device()) || !tap.Start()) {
    std::printf("read all: the simulated board did not start\n");
    return result;
  }
  Bench bench(folder, silentMs);
  bench.Connect(tap.Device());
  CChildFrame *child = bench.Open(doc);
  if (!child || !bench.GoOnline(child)) {
    std::printf("read all: the board did not come online\n");
    return result;
  }
  // As a user would: the first polls after going online are over.
  WaitUntil([] { return false; }, 1000);
  const QString done = LoadStr(IDS_READ_ALL_PARAM_DONE);
  const auto before = tap.Total();
  const auto read0 = Plus(tap.OfFunction(3), tap.OfFunction(23));
  QElapsedTimer timer;
  StallProbe probe;
  TimedParList::Reset();
  timer.start();
  bench.Command(Cmd::ReadAll);
  const bool finished = WaitUntil([&] { return bench.frame->MessageText() == done; }, 60000);
  const double seconds = timer.nsecsElapsed() / 1e9;
  const auto all = Minus(tap.Total(), before);
  const auto read = Minus(Plus(tap.OfFunction(3), tap.OfFunction(23)), read0);
  if (!finished) {
    std::printf("read all%s: \"%s\" never shown (status: %s; %ld exchanges, %ld of the read all; read state %d, "
                "step %d)\n",
                label.c_str(), qPrintable(done), qPrintable(bench.frame->MessageText()), all.requests, read.requests,
                child->GetReadState(), child->GetStep());
    return result;
  }
  const double physical = WireSeconds(all, 0);
  const double withSilent = WireSeconds(all, silentMs);
  std::printf("read all%s, silent %d ms: %ld exchanges (%ld of the read all, %ld polls), %ld + %ld bytes\n",
              label.c_str(), silentMs, all.requests, read.requests, all.requests - read.requests, all.requestBytes,
              all.answerBytes);
  std::printf("  measured %.1f ms; physical wire time of all traffic %.1f ms (ratio %.3f), with the silent time "
              "%.1f ms (ratio %.3f)\n",
              seconds * 1000, physical * 1000, seconds / physical, withSilent * 1000, seconds / withSilent);
  const auto &full = TimedParList::s_full, &rows = TimedParList::s_rows;
  std::printf("  longest gap of the 10 ms probe %.1f ms; the parameter list (%d rows) was filled %.1f ms in all: "
              "%d full refills, %.1f ms, the longest %.1f ms; %d refills of the rows answers stored, %.1f ms, the "
              "longest %.1f ms\n",
              probe.WorstGapMs(),
              qobject_cast<CParListView *>(child->GetPane(CChildFrame::ParList))->GetListCtrl()->GetItemCount(),
              TimedParList::TotalMs(), full.times, full.ms, full.longestMs, rows.times, rows.ms, rows.longestMs);
  result.ok = true;
  result.fillMs = TimedParList::TotalMs();
  result.fullFills = full.times;
  result.overPhysical = seconds / physical;
  result.overSilent = seconds / withSilent;
  result.stallMs = probe.StallMs();
  return result;
}

// Read all with the 3000-row list shown: three runs at 2 ms silent time (the
// goal's), one at 0 ms and one at the default.
void ReadAllFigures(const QString &folder, const QString &doc, int defaultSilent)
{
  for (int silent : {2, 0, defaultSilent}) {
    const int runs = silent == 2 ? 3 : 1;
    std::vector<double> physical, withSilent, stalls, fillMs, fullFills;
    for (int i = 0; i < runs; ++i) {
      const ReadAllRun r = ReadAll(folder, doc, silent, ", 3000-row list shown");
      if (!r.ok)
        continue;
      physical.push_back(r.overPhysical);
      withSilent.push_back(r.overSilent);
      stalls.push_back(r.stallMs);
      fillMs.push_back(r.fillMs);
      fullFills.push_back(r.fullFills);
    }
    if (physical.empty())
      continue;
    const std::string tag = ", silent " + std::to_string(silent) + " ms" +
                            (runs > 1 ? ", median of " + std::to_string(physical.size()) : std::string());
    if (silent == 2)
      Report("read all / physical wire time" + tag, Median(physical), "x", "<= 1.2", Median(physical) <= 1.2);
    else
      Report("read all / physical wire time" + tag, Median(physical), "x");
    Report("read all / wire time with the silent time" + tag, Median(withSilent), "x");
    if (silent == 2) {
      Report("GUI stall during read all (run maxima)" + tag, Median(stalls), "ms", "< 16", Median(stalls) < 16);
      // The K-table answer rescales every row; each block refills its own.
      Report("parameter list filling per read all" + tag, Median(fillMs), "ms", "<= 45", Median(fillMs) <= 45);
      Report("full parameter list refills per read all" + tag, Median(fullFills), "", "1", Median(fullFills) == 1);
    } else {
      Report("GUI stall during read all" + tag, Median(stalls), "ms");
    }
  }
}

struct PollRun {
  bool ok = false;
  double stallMs = 0;
  double guiCpuPercent = 0; // the GUI thread's CPU time over the span
  double rate = 0, overWire = 0;
};

double ThreadCpuSeconds()
{
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

PollRun Polling(const QString &folder, const QStringList &docs, int silentMs)
{
  PollRun result;
  std::vector<std::unique_ptr<SimBoard>> boards;
  LineTap tap;
  for (int i = 0; i < docs.size(); ++i) {
    boards.push_back(std::make_unique<SimBoard>(
        QStringList{QStringLiteral("--doc"), docs[i], QStringLiteral("--wire-baud"), QString::number(kBaud)}));
    if (boards.back()->Device().isEmpty() || !tap.AddBoard(i + 1, boards.back()->Device())) {
      std::printf("polling: simulated board %d did not start\n", i + 1);
      return result;
    }
  }
  if (!tap.Start())
    return result;
  Bench bench(folder, silentMs);
  bench.Connect(tap.Device());
  std::vector<CChildFrame *> children;
  for (const QString &doc : docs) {
    CChildFrame *child = bench.Open(doc);
    if (!child || !bench.GoOnline(child)) {
      std::printf("polling: a board did not come online\n");
      return result;
    }
    children.push_back(child);
  }
  // Settle: the first polls after going online.
  WaitUntil([] { return false; }, 1000);

  std::vector<long> polls0;
  for (int i = 1; i <= docs.size(); ++i)
    polls0.push_back(tap.StatusPollsTo(i));
  const auto before = tap.Total();
  constexpr int kRunMs = 6000;
  QElapsedTimer clock;
  clock.start();
  double worstGap = 0;
  double stallMs = 0;
  const double cpu0 = ThreadCpuSeconds();
  {
    StallProbe probe;
    QEventLoop loop;
    QTimer::singleShot(kRunMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    worstGap = probe.WorstGapMs();
    stallMs = probe.StallMs();
  }
  const double seconds = clock.nsecsElapsed() / 1e9;
  const double cpu = ThreadCpuSeconds() - cpu0;
  const auto traffic = Minus(tap.Total(), before);

  // What the wire allows: the line carries the measured traffic per round
  // of refreshes; a board can be refreshed once a round.
  double minRate = 1e9;
  long rounds = 0;
  std::printf("polling %d boards, silent %d ms, %.1f s: %ld exchanges, %ld + %ld bytes\n", int(docs.size()), silentMs,
              seconds, traffic.requests, traffic.requestBytes, traffic.answerBytes);
  for (int i = 1; i <= docs.size(); ++i) {
    const long n = tap.StatusPollsTo(i) - polls0[std::size_t(i - 1)];
    rounds = std::max(rounds, n);
    minRate = std::min(minRate, n / seconds);
    std::printf("  board %d: %ld refreshes = %.2f/s\n", i, n, n / seconds);
  }
  const double roundWire = rounds > 0 ? WireSeconds(traffic, silentMs) / rounds : 0;
  const double allowed = roundWire > 0 ? 1 / roundWire : 0;
  std::printf("  wire time of a round of all boards %.1f ms: the wire allows %.2f refreshes/s per board\n",
              roundWire * 1000, allowed);
  std::printf("  longest gap of the 10 ms probe %.1f ms: stall %.1f ms\n", worstGap, stallMs);
  std::printf("  the GUI thread's CPU time: %.2f %% of the span\n", 100 * cpu / seconds);
  result.ok = true;
  result.stallMs = stallMs;
  result.guiCpuPercent = 100 * cpu / seconds;
  result.rate = minRate;
  result.overWire = allowed > 0 ? minRate / allowed : 0;
  return result;
}

// Polling three boards: three runs at the default silent time (the stall is
// the median of their maxima) and one at 2 ms; then one board alone, whose
// GUI-thread CPU is the in-process idle figure.
void PollingFigures(const QString &folder, const QStringList &boards, int defaultSilent)
{
  std::vector<double> stalls, rates, overWire;
  for (int i = 0; i < 3; ++i) {
    const PollRun r = Polling(folder, boards, defaultSilent);
    if (!r.ok)
      continue;
    stalls.push_back(r.stallMs);
    rates.push_back(r.rate);
    overWire.push_back(r.overWire);
  }
  if (!stalls.empty()) {
    const std::string tag =
        ", silent " + std::to_string(defaultSilent) + " ms, median of " + std::to_string(stalls.size());
    Report("poll refreshes/s per board / wire" + tag, Median(overWire), "x");
    Report("poll refreshes/s per board" + tag, Median(rates), "/s");
    Report("GUI stall while polling 3 boards (run maxima)" + tag, Median(stalls), "ms", "< 16", Median(stalls) < 16);
  }
  const PollRun fast = Polling(folder, boards, 2);
  if (fast.ok) {
    Report("poll refreshes/s per board / wire, silent 2 ms", fast.overWire, "x");
    Report("GUI stall while polling 3 boards, silent 2 ms", fast.stallMs, "ms");
  }
  const PollRun one = Polling(folder, boards.mid(0, 1), defaultSilent);
  if (one.ok)
    Report("idle online with one board: GUI-thread CPU (in-process)", one.guiCpuPercent, "%");
}

void ParameterList(const QString &folder, const QString &doc)
{
  Bench bench(folder, 16);
  QElapsedTimer timer;
  CChildFrame *child = bench.Open(doc);
  if (!child)
    return;
  auto *list = qobject_cast<CParListView *>(child->GetPane(CChildFrame::ParList));
  CQelDoc *d = child->GetDocument();
  if (!list || !d)
    return;
  QCoreApplication::processEvents();
  const int rows = list->GetListCtrl()->GetItemCount();
  std::vector<double> fill, inPlace, refresh, repaint;
  for (int i = 0; i < 7; ++i) {
    // From empty rows, as when a block is chosen; then over the same rows.
    list->GetListCtrl()->DeleteAllItems();
    timer.restart();
    list->FillList();
    fill.push_back(timer.nsecsElapsed() / 1e6);
    timer.restart();
    list->FillList();
    inPlace.push_back(timer.nsecsElapsed() / 1e6);

    // A poll answer: new values for the shown parameters, then what the
    // board window does with a read answer, then the repaint.
    std::vector<std::uint16_t> stored;
    for (std::int16_t p : list->GetParIndexes())
      if (d->GetPar(p).IsShort()) {
        d->GetPar(p).SetRawValue(static_cast<std::int16_t>((i * 7 + p) % 1000));
        stored.push_back(static_cast<std::uint16_t>(p));
      }
    timer.restart();
    list->RefillRows(stored);
    d->UpdateAllViews(nullptr, FrameHint::Values);
    refresh.push_back(timer.nsecsElapsed() / 1e6);
    timer.restart();
    list->GetListCtrl()->viewport()->repaint();
    repaint.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::printf("parameter list: %d rows of one block; document read in %.1f ms, board window with its views "
              "%.1f ms, block chosen in the tree to list filled and painted %.1f ms\n",
              rows, bench.loadMs, bench.windowMs, bench.selectMs);
  std::printf("  fill from empty rows median %.1f ms, refill in place median %.1f ms, after-poll update median "
              "%.1f ms, repaint median %.2f ms\n",
              Median(fill), Median(inPlace), Median(refresh), Median(repaint));
  Report("list opened from the tree, " + std::to_string(rows) + " rows", bench.selectMs, "ms", "< 50",
         bench.selectMs < 50);
  Report("list fill from empty rows, " + std::to_string(rows) + " rows", Median(fill), "ms", "< 50", Median(fill) < 50);
  Report("list refill in place, same rows", Median(inPlace), "ms", "< 16", Median(inPlace) < 16);
  Report("list update after a poll answer", Median(refresh), "ms");
  Report("list repaint after a poll", Median(repaint), "ms", "< 16", Median(repaint) < 16);
}

// The start-up run: this program again, as the velotrix executable starts.
int StartupChild(int argc, char **argv)
{
  QElapsedTimer sinceMain;
  sinceMain.start();
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Norv"));
  QApplication::setApplicationName(QStringLiteral("Velotrix"));
  std::setlocale(LC_NUMERIC, "C");
  QLoggingCategory::setFilterRules(QStringLiteral("velotrix.*=false"));
  Prompter::SetInstance(std::make_unique<SilentPrompter>());
  Profile::SetInstance(std::make_unique<Profile>(QString::fromLocal8Bit(argv[2])));
  PlugViews();
  const QStringList docs = QApplication::arguments().mid(3);

  CQelApp velotrix;
  velotrix.SetUniqueName(QString());
  bool painted = false;
  struct PaintSpy : QObject {
    std::function<void(QObject *)> seen;
    bool eventFilter(QObject *o, QEvent *e) override
    {
      if (e->type() == QEvent::Paint)
        seen(o);
      return false;
    }
  } spy;
  spy.seen = [&](QObject *o) {
    auto *w = qobject_cast<QWidget *>(o);
    if (painted || !w || !velotrix.GetMainFrame() || w->window() != velotrix.GetMainFrame())
      return;
    painted = true;
    // The rest of this paint pass belongs to the first picture.
    QTimer::singleShot(0, [&] {
      std::printf("PAINTED %.3f\n", sinceMain.nsecsElapsed() / 1e6);
      std::fflush(stdout);
    });
  };
  app.installEventFilter(&spy);
  if (!velotrix.InitInstance({docs.value(0)}, true, true))
    return 1;
  WaitUntil([&] { return painted; }, 20000);
  WaitUntil([] { return false; }, 300);
  std::printf("RSS1 %ld\n", ResidentKb());
  for (int i = 1; i < docs.size(); ++i)
    velotrix.OpenDocumentFile(docs[i]);
  WaitUntil([] { return false; }, 500);
  std::printf("RSS%d %ld\n", int(docs.size()), ResidentKb());
  std::fflush(stdout);
  return 0;
}

struct StartupRun {
  double paintedMs = -1; // from the process start
  double inMainMs = -1;  // from main
  long rss1 = -1, rssAll = -1;
};

StartupRun StartOnce(const QString &folder, const QStringList &docs)
{
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QStringList args{QStringLiteral("--startup-child"), folder + QStringLiteral("/startup.ini")};
  args += docs;
  StartupRun run;
  QElapsedTimer timer;
  timer.start();
  child.start(QCoreApplication::applicationFilePath(), args);
  QByteArray out;
  while (child.state() != QProcess::NotRunning || child.bytesAvailable()) {
    child.waitForReadyRead(100);
    out += child.readAllStandardOutput();
    qsizetype nl;
    while ((nl = out.indexOf('\n')) >= 0) {
      const QByteArray line = out.left(nl).trimmed();
      out.remove(0, nl + 1);
      if (line.startsWith("PAINTED ")) {
        run.paintedMs = timer.nsecsElapsed() / 1e6;
        run.inMainMs = line.mid(8).toDouble();
      } else if (line.startsWith("RSS1 ")) {
        run.rss1 = line.mid(5).toLong();
      } else if (line.startsWith("RSS")) {
        run.rssAll = line.mid(5).toLong();
      }
    }
    if (timer.elapsed() > 60000) {
      child.kill();
      break;
    }
  }
  child.waitForFinished(5000);
  return run;
}

void Startup(const QString &folder, const QStringList &docs)
{
  // The program keeps a copy of each board description in its own folder;
  // one the benchmark leaves there is taken away again.
  const QString copy = QCoreApplication::applicationDirPath() + QStringLiteral("/!NORV_GEN3000_v1.00.vtx");
  const bool hadCopy = QFile::exists(copy);
  std::vector<double> painted, inMain;
  StartupRun run;
  for (int i = 0; i < 5; ++i) {
    run = StartOnce(folder, docs);
    painted.push_back(run.paintedMs);
    inMain.push_back(run.inMainMs);
  }
  if (!hadCopy)
    QFile::remove(copy);
  std::printf("start-up (in-process): first painted main window, median of 5: %.1f ms after the process start "
              "(%.1f ms from main; fastest %.1f ms)\n",
              Median(painted), Median(inMain), *std::min_element(painted.begin(), painted.end()));
  std::printf("resident memory: %.1f MB with one board open, %.1f MB with %d\n", run.rss1 / 1024.0, run.rssAll / 1024.0,
              int(docs.size()));
  Report("start-up to first painted window (in-process)", Median(painted), "ms");
  Report("resident memory, 3 boards of 3000 parameters", run.rssAll / 1024.0, "MB");
}

} // namespace

int main(int argc, char **argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc > 2 && std::string(argv[1]) == "--startup-child")
    return StartupChild(argc, argv);

  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  QLoggingCategory::setFilterRules(QStringLiteral("velotrix.*=false"));
  QTemporaryDir dir;
  Profile::SetInstance(std::make_unique<Profile>(dir.filePath(QStringLiteral("profile.ini"))));
  Prompter::SetInstance(std::make_unique<SilentPrompter>());
  PlugViews();
  const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("all");

  const QString machine = QStringLiteral("machine: %1 processors, %2; Qt %3, platform %4")
                              .arg(QThread::idealThreadCount())
                              .arg(CpuModel(), QString::fromLatin1(qVersion()), QGuiApplication::platformName());
  std::printf("%s\n", qPrintable(machine));
  QStringList boards;
  for (int slave = 1; slave <= 3; ++slave) {
    const QString path = dir.filePath(QStringLiteral("board%1.vtx").arg(slave));
    if (!WriteDocument(path, BoardText(slave)))
      return 1;
    boards << path;
  }
  const QString oneBlock = dir.filePath(QStringLiteral("oneblock.vtx"));
  if (!WriteDocument(oneBlock, OneBlockText()))
    return 1;
  const int defaultSilent = COptions().com_silent.Get();
  std::printf("physical wire time: the bytes counted on the line, 11 bits a character at %d baud, and per\n"
              "exchange 3.5 characters before the answer and 3.5 before the next request; the wire time with the\n"
              "silent time puts the master's silent time (when longer) in place of the second gap; the boards are\n"
              "tools/boardsim answering at wire speed (--wire-baud)\n\n",
              kBaud);

  if (what == QLatin1String("all") || what == QLatin1String("readall"))
    ReadAllFigures(dir.path(), oneBlock, defaultSilent);
  if (what == QLatin1String("all") || what == QLatin1String("poll"))
    PollingFigures(dir.path(), boards, defaultSilent);
  if (what == QLatin1String("all") || what == QLatin1String("list"))
    ParameterList(dir.path(), oneBlock);
  if (what == QLatin1String("all") || what == QLatin1String("startup"))
    Startup(dir.path(), boards);

  std::printf("\n%s; serial line %d baud\n", qPrintable(machine), kBaud);
  PrintRows(g_rows, 74);
  return 0;
}
