// The real views and tool windows plugged into the frames: a board window's
// panes, the find dialog, print commands, and the trace manager end to end
// over the simulated board.
#include "FrameTestSupport.h"
#include "support/FolderDocHost.h"
#include "TestSupport.h"
#include "../modbus/SerialTestSupport.h"
#include "../trace/TraceTestSupport.h"

#include "chart/ChartCtrl.h"
#include "controls/ACEditCtrl.h"
#include "controls/XListCtrl.h"
#include "controls/XTabCtrl.h"
#include "frame/AppWiring.h"
#include "frame/BoardDialogs.h"
#include "frame/ChildFrm.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"
#include "frame/QelApp.h"
#include "frame/SplitterWnd.h"
#include "modbus/BoardProtocol.h"
#include "optiontree/OptionTree.h"
#include "trace/GenMemBuff.h"
#include "trace/MemBuffDlg.h"
#include "views/FindDialog.h"
#include "views/ListaPar.h"
#include "views/MultiPagePreview.h"
#include "views/ParTreeView.h"
#include "views/PrintSetup.h"
#include "views/VarListView.h"
#include "views/VarTreeView.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace {

// Views and windows back to the empty panes after each test, so that other
// tests of this program see the frames as they were.
struct WiredViews {
  WiredViews() { InstallViews(); }
  ~WiredViews()
  {
    for (int k = 0; k < CChildFrame::PaneKinds; ++k)
      CChildFrame::SetPaneFactory(static_cast<CChildFrame::PaneKind>(k), {});
    CMainFrame::SetFindDialogFactory({});
    CMainFrame::SetTraceManagerFactory({});
  }
};

class ViewsInFrame : public ::testing::Test {
protected:
  void SetUp() override
  {
    frame = std::make_unique<CMainFrame>(false);
    frame->SetRequestSink(&sink);
    frame->GetOptions().VisLevel.Set(3);
    frame->resize(1280, 800);
    frame->show();
  }
  void TearDown() override
  {
    frame->CloseAllChildren();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frame.reset();
  }
  // Answers the oldest request as the board would.
  void AnswerNext(CChildFrame &child, std::vector<uint16_t> words = {})
  {
    std::unique_ptr<CRequestPacket> request = sink.Take();
    ASSERT_TRUE(request);
    auto answer = AnswerOf(*request, std::move(words));
    child.ProcessAnswer(*answer);
  }
  // Answers every request in the sink, in order, as a board whose registers
  // hold these values, by parameter and by variable index (0 elsewhere).
  void AnswerAll(CChildFrame &child, const CQelDoc &doc, const std::map<int, int> &pars = {},
                 const std::map<int, int> &vars = {})
  {
    while (std::unique_ptr<CRequestPacket> request = sink.Take()) {
      const bool isVars = request->message == REQ_READ_VARS;
      const bool isRead = isVars || request->message == REQ_READ_BLOCK || request->message == REQ_READ_ONE;
      const int first = isVars ? request->PktType.var.first_var : request->PktType.par.first_par;
      const int count = isVars ? request->PktType.var.num_var : request->PktType.par.num_par;
      std::vector<uint16_t> words(static_cast<std::size_t>(count), 0);
      for (int i = 0; isRead && first != BoardProtocol::kStatusBlock && i < count; ++i) {
        const int item = isVars ? doc.VarIndexFromAddress(first + i) : doc.ParIndexFromAddress(first + i);
        const std::map<int, int> &values = isVars ? vars : pars;
        if (const auto it = values.find(item); it != values.end())
          words[static_cast<std::size_t>(i)] = static_cast<uint16_t>(it->second);
      }
      child.ProcessAnswer(*AnswerOf(*request, std::move(words)));
    }
  }
  CGenMemBuff &Manager() const { return *dynamic_cast<CTraceManagerAdapter &>(*frame->GetTraceManager()).Manager(); }
  // A trace answer downloaded by the manager: its chart's sampling time and
  // trigger delay as shown.
  std::pair<QString, QString> DownloadTimes(CChildFrame &child)
  {
    CGenMemBuff &mgr = Manager();
    const int tabs = mgr.GetBufferCount();
    mgr.OnDownload();
    QApplication::processEvents();
    CRequestPacket answer = TraceAnswer(child.GetAnswerWindowId(), 2, 10);
    frame->RouteAnswer(answer);
    if (mgr.GetBufferCount() != tabs + 1)
      return {};
    const CMemBuffDlg *w = mgr.GetBufferWindow(tabs);
    return {w->GetSamplingItem()->GetWindowText(), w->GetTrigDelayItem()->GetWindowText()};
  }

  TestEnvironment env;
  WiredViews wired;
  RecordingSink sink;
  std::unique_ptr<CMainFrame> frame;
};

} // namespace

TEST_F(ViewsInFrame, BoardWindowShowsTheDocumentInTheRealViews)
{
  auto doc = LoadExampleDoc(QStringLiteral("demo-full.vtx"));
  ASSERT_TRUE(doc);
  CChildFrame *child = frame->AddChildFrame(doc.get());
  ASSERT_NE(child, nullptr);
  QApplication::processEvents();

  auto *parList = qobject_cast<CParListView *>(child->GetPane(CChildFrame::ParList));
  auto *parTree = qobject_cast<CParTreeView *>(child->GetPane(CChildFrame::ParTree));
  auto *varTree = qobject_cast<CVarTreeView *>(child->GetPane(CChildFrame::VarTree));
  auto *varList = qobject_cast<CVarListView *>(child->GetPane(CChildFrame::VarList));
  ASSERT_TRUE(parList && parTree && varTree && varList);
  // The parameter list is the document's first view; the variable list is the
  // one the answers refresh.
  ASSERT_EQ(doc->GetViews().size(), 4u);
  EXPECT_EQ(doc->GetViews().front(), static_cast<CView *>(parList));
  EXPECT_EQ(doc->GetVarListView(), static_cast<IDocVarList *>(varList));
  EXPECT_GT(parTree->topLevelItemCount(), 0);
  EXPECT_GT(varTree->topLevelItemCount(), 0);

  // Selecting a block fills the parameter list with its parameters.
  QTreeWidgetItem *block = nullptr;
  for (int i = 0; i < parTree->topLevelItemCount() && !block; ++i)
    if (parTree->topLevelItem(i)->data(0, CBlockTreeView::KeyRole).toInt() < 0)
      block = parTree->topLevelItem(i);
  ASSERT_NE(block, nullptr);
  parTree->setCurrentItem(block);
  QApplication::processEvents();
  const int rows = parList->GetListCtrl()->GetItemCount();
  ASSERT_GT(rows, 0);
  const std::int16_t first = parList->GetParIndexes().front();
  EXPECT_EQ(parList->GetListCtrl()->GetItemText(0, CParListView::COL_NAME), doc->GetPar(first).GetNameText());

  // Online, a poll answer reaches the variable list through the frame.
  child->GoOnline();
  AnswerNext(*child);
  ASSERT_TRUE(doc->IsOnline());
  sink.Clear();
  child->Poll();
  // Every read the poll queued, answered in order (the status block holds the
  // standard variables the list shows).
  std::vector<std::unique_ptr<CRequestPacket>> requests;
  while (auto p = sink.Take())
    requests.push_back(std::move(p));
  ASSERT_FALSE(requests.empty());
  for (const auto &request : requests) {
    const uint16_t count =
        request->message == REQ_READ_VARS ? request->PktType.var.num_var : request->PktType.par.num_par;
    auto answer = AnswerOf(*request, std::vector<uint16_t>(count, 7));
    child->ProcessAnswer(*answer);
  }
  QApplication::processEvents();
  int shown = 0;
  const auto &varRows = doc->GetVarRows();
  for (int r = 0; r < varList->GetItemCount() && r < static_cast<int>(varRows.size()); ++r) {
    if (!varRows[static_cast<size_t>(r)].hasValue)
      continue;
    EXPECT_EQ(varList->GetItemText(r, CVarListView::COL_UI), varRows[static_cast<size_t>(r)].uiText) << r;
    EXPECT_EQ(varList->GetItemText(r, CVarListView::COL_COUNTER), QStringLiteral("1")) << r;
    // The SI cell holds the value printed, never the format it is printed with.
    const QString si = varList->GetItemText(r, CVarListView::COL_SI);
    EXPECT_FALSE(si.contains(u'%')) << r << " " << si.toStdString();
    ++shown;
  }
  EXPECT_GT(shown, 0);
}

TEST_F(ViewsInFrame, BoardWindowOpensWithTheStoredLayoutOfEachSplitter)
{
  auto doc = LoadExampleDoc(QStringLiteral("demo-full.vtx"));
  CChildFrame *child = frame->AddChildFrame(doc.get());
  child->showMaximized();
  QApplication::processEvents();
  // The variables over each other on the right are layout 1, the parameters
  // side by side on the left layout 2.
  ASSERT_TRUE(child->GetVarSplitter() && child->GetParSplitter());
  EXPECT_EQ(child->GetVarSplitter()->Number(), 1);
  EXPECT_FALSE(child->GetVarSplitter()->IsVertical());
  EXPECT_EQ(child->GetParSplitter()->Number(), 2);
  EXPECT_TRUE(child->GetParSplitter()->IsVertical());
  // Pane 0 keeps its stored size (600, 64, 120 by default); pane 1 fills the rest.
  const QList<int> outer = child->GetSplitter()->sizes();
  const QList<int> vars = child->GetVarSplitter()->sizes();
  const QList<int> pars = child->GetParSplitter()->sizes();
  EXPECT_EQ(outer.value(0), 600);
  EXPECT_GT(outer.value(1), 72);
  EXPECT_EQ(vars.value(0), 64);
  EXPECT_GT(vars.value(1), 280);
  EXPECT_EQ(pars.value(0), 120);
}

TEST_F(ViewsInFrame, FindDialogSearchesTheActiveBoard)
{
  auto *find = qobject_cast<CFindDialog *>(frame->GetFindDialog());
  ASSERT_NE(find, nullptr);
  auto doc = LoadExampleDoc(QStringLiteral("demo-full.vtx"));
  CChildFrame *child = frame->AddChildFrame(doc.get());
  child->ActivateFrame();
  EXPECT_EQ(frame->GetActiveDocument(), doc.get());
  // The active board's names are the completion lists.
  find->GetSetButton(CFindDialog::SET_PARAMETERS)->setChecked(true);
  find->OnFindSet();
  find->GetMatchCase()->setChecked(true);
  find->GetWholeWord()->setChecked(true);
  find->GetEdit()->setText(QStringLiteral("max_speed"));
  find->OnFindFirst();
  EXPECT_EQ(find->GetParPos(), 9);
  // The hit is selected in the board window's own parameter list.
  auto *parList = qobject_cast<CParListView *>(child->GetPane(CChildFrame::ParList));
  ASSERT_NE(parList, nullptr);
  const int row = parList->FindRowByFirstColumn(QString::asprintf("%4d", 9));
  ASSERT_GE(row, 0);
  EXPECT_EQ(doc->GetSelectedParRow(), row);
  EXPECT_TRUE(env.prompter().asked.empty());
}

TEST_F(ViewsInFrame, PrintCommandsActOnTheActiveBoard)
{
  CQelApp app; // owns the application's print setup
  app.SetPrintOrientation(2);
  EXPECT_EQ(CPrintSetup::ForApp().GetPrintOrientation(), 2);
  EXPECT_EQ(app.GetPrintOrientation(), 2);
  EXPECT_FALSE(frame->IsCommandEnabled(Cmd::FilePrint));
  ASSERT_NE(frame->Action(Cmd::FilePrintPreview), nullptr);
  auto doc = LoadExampleDoc(QStringLiteral("demo-full.vtx"));
  CChildFrame *child = frame->AddChildFrame(doc.get());
  child->ActivateFrame();
  EXPECT_TRUE(frame->IsCommandEnabled(Cmd::FilePrintPreview));
  frame->OnCommand(Cmd::FilePrintPreview);
  CMultiPagePreviewView *preview = nullptr;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *p = qobject_cast<CMultiPagePreviewView *>(w))
      preview = p;
  ASSERT_NE(preview, nullptr);
  delete preview;

  // Print: the dialog's answer decides; cancelled prints nothing.
  int asked = 0;
  auto previous = CParListPrint::SetPrintDialogHook([&](QPrinter &, QWidget *) {
    ++asked;
    return false;
  });
  frame->OnCommand(Cmd::FilePrint);
  EXPECT_EQ(asked, 1);
  CParListPrint::SetPrintDialogHook(previous);
}

// Online writes through the board window are held inside the parameter's
// limits, whoever asks for them.
TEST_F(ViewsInFrame, OnlineWritesAreClampedToTheLimits)
{
  auto doc = LoadExampleDoc();
  CChildFrame *child = frame->AddChildFrame(doc.get());
  child->GoOnline();
  AnswerNext(*child);
  sink.Clear();
  const Parametri &par = doc->GetPar(7);
  child->WriteParameterOnline(7, 1e9, false);
  ASSERT_FALSE(sink.queue.empty());
  const CRequestPacket &write = *sink.queue.front();
  ASSERT_FALSE(write.wData.empty());
  EXPECT_EQ(static_cast<std::int16_t>(write.wData[0]), static_cast<std::int16_t>(par.Clamp(1e9)));
  EXPECT_LT(par.Clamp(1e9), 1e9);
  // A negative index is no parameter.
  sink.Clear();
  child->WriteParameterOnline(-1, 5, false);
  EXPECT_TRUE(sink.queue.empty());
}

// ---- over the simulated board ------------------------------------------------

// The manager's settings written to the board, a download requested and
// routed, the chart drawn, saved, loaded and saved again.
TEST(TraceThroughTheFrame, AcquisitionDownloadChartAndFiles)
{
  TestEnvironment env;
  WiredViews wired;
  BoardSimProcess sim;
  ASSERT_TRUE(sim.Started()) << "boardsim did not start";
  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_width 6")));
  ASSERT_TRUE(sim.Command(QStringLiteral("set buf_length 300")));
  QTemporaryDir temp;
  auto frame = FrameOnBoard(sim.Device());
  CFolderDocHost host(temp.path(), frame.get());
  auto *adapter = dynamic_cast<CTraceManagerAdapter *>(frame->GetTraceManager());
  ASSERT_NE(adapter, nullptr);
  CGenMemBuff &mgr = *adapter->Manager();
  mgr.show();

  auto doc = LoadExampleDoc();
  doc->SetPathName(ExamplePath(QStringLiteral("demo-small.vtx"))); // as the application opens it
  CChildFrame *child = frame->AddChildFrame(doc.get());
  doc->SetHost(&host);
  child->ActivateFrame();
  child->OnCommand(Cmd::OnLine);
  ASSERT_TRUE(WaitFor([&] { return doc->IsOnline(); }, 8000));
  const auto tick = [&](const std::function<bool()> &done) { return TickUntil(*frame, done, 10000); };
  // The polls bring the trace settings; the status report hands them over.
  ASSERT_TRUE(tick([&] {
    child->ShowStatusText();
    return mgr.m_fSamplingTime > 0 && mgr.m_idxDiagnTs >= 0 && mgr.m_nBufLength > 0;
  }));
  EXPECT_EQ(mgr.m_hBoardWnd, child->GetAnswerWindowId());
  const float base = mgr.m_fSamplingTime;

  // Twice the base period: the board's divider becomes 2; a trigger level goes
  // as typed. Both typed before one Enter: the first write must not refill
  // the other edit before it is read.
  mgr.SetItemText(CGenMemBuff::IDC_SAMPLING, QString::number(2 * base));
  mgr.SetItemText(CGenMemBuff::IDC_TRIG_POS, QStringLiteral("2500"));
  mgr.OnOk();
  // The writes went through the board window and came back in its read-back.
  ASSERT_TRUE(tick([&] {
    return doc->GetPar(mgr.m_idxDiagnTs).GetValue(0) == 2 && doc->GetPar(mgr.m_idxTrigLevPos).GetValue(0) == 2500;
  })) << base
      << " " << mgr.m_idxDiagnTs << " " << mgr.m_nDiagnTs << " "
      << mgr.GetItemText(CGenMemBuff::IDC_SAMPLING).toStdString() << " " << doc->GetPar(mgr.m_idxDiagnTs).GetValue(0)
      << " " << frame->MessageText().toStdString();
  EXPECT_FALSE(doc->NeedsEditorReopen()) << "a trace setting leaves the list's editor closed";
  // The read-back reaches the manager through the next status report.
  child->ShowStatusText();
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_SAMPLING), QStringLiteral("0.200"));

  mgr.OnDownload();
  ASSERT_TRUE(tick([&] { return mgr.GetBufferCount() == 1; }));
  CMemBuffDlg *w = mgr.GetBufferWindow(0);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->GetSampleCount(), 300u);
  EXPECT_TRUE(mgr.GetTabCtrl()->GetTabText(0).startsWith(QStringLiteral("demo-small-")));
  EXPECT_EQ(w->GetTrackLabel(0), QStringLiteral("speed_actual"));
  EXPECT_EQ(w->GetSamplingItem()->GetWindowText(), QStringLiteral("0.200 ms"));
  EXPECT_EQ(w->GetTrigDelayItem()->GetWindowText(), QStringLiteral("2.00 ms"));
  w->GetChart()->resize(900, 500);
  const QImage image = RenderChart(*w->GetChart());
  for (int t = 0; t < 6; ++t)
    EXPECT_GT(CountColour(image, ToQColor(w->GetChart()->GetSeriesColorTable(t)).rgb()), 100) << "track " << t;

  const QByteArray bytes = SaveOpenSave(mgr, env.prompter(), temp.path());
  ASSERT_EQ(mgr.GetBufferCount(), 2);
  EXPECT_EQ(mgr.GetBufferWindow(1)->GetSampleCount(), 300u);
  EXPECT_TRUE(bytes.startsWith("speed_actual;current;dc_voltage;torque;Track 4;Track 5\r\n"));
  EXPECT_EQ(bytes.count("\r\n"), 304);

  // Going offline ends a download: no page is asked for after it and no tab
  // comes of it. Going online again is performed after the download's last
  // request, whatever that is.
  ASSERT_TRUE(sim.Command(QStringLiteral("delay 100 all")));
  const long before = sim.Requests();
  mgr.OnDownload();
  ASSERT_TRUE(WaitFor([&] { return sim.Requests() >= before + 3; }, 5000)); // sizes and the first page
  child->OnCommand(Cmd::OnLine);
  const long offline = sim.Requests();
  EXPECT_EQ(mgr.GetState(), CGenMemBuff::StateOffline);
  EXPECT_EQ(mgr.GetDownloadBoard(), kNoWindow);
  child->OnCommand(Cmd::OnLine);
  ASSERT_TRUE(WaitFor([&] { return doc->IsOnline(); }, 15000));
  // At most the page on its way, the two identity reads and one more request.
  EXPECT_LE(sim.Requests() - offline, 4);
  EXPECT_EQ(mgr.GetBufferCount(), 2);

  frame->CloseAllChildren();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Board 3 downloads; closing board 1 moves the manager to board 2. The
// download stays board 3's until its answer: Download waits, the buffer has
// board 3's samples and times, and an answer no download asked for is dropped.
TEST_F(ViewsInFrame, ATraceDownloadBelongsToTheBoardThatAsked)
{
  auto *adapter = dynamic_cast<CTraceManagerAdapter *>(frame->GetTraceManager());
  ASSERT_NE(adapter, nullptr);
  CGenMemBuff &mgr = *adapter->Manager();
  QWidget *download = mgr.GetDlgItem(CGenMemBuff::IDC_DOWNLOAD);
  std::vector<std::unique_ptr<CQelDoc>> docs;
  std::vector<CChildFrame *> children;
  for (int board = 1; board <= 3; ++board) {
    docs.push_back(LoadExampleDoc());
    CQelDoc &doc = *docs.back();
    doc.SetTraceValue(0, 0.25f * board); // sampling time, ms
    children.push_back(frame->AddChildFrame(&doc));
    children.back()->SetAddress(board);
    children.back()->OnOnLine();
    AnswerGoOnline(*frame, sink, doc);
    ASSERT_TRUE(doc.IsOnline());
    doc.SetModifiedFlag(false);
    sink.Clear();
  }
  const auto reportOf = [&](int board) {
    children[board - 1]->ActivateFrame();
    children[board - 1]->ShowStatusText();
  };
  // Each board's samples are its number times 1000 plus their place.
  const auto answerOf = [&](int board) {
    auto answer = std::make_unique<CRequestPacket>(children[board - 1]->GetAnswerWindowId(),
                                                   static_cast<uint8_t>(board), REQ_READ_TRACE);
    answer->message = ANS_READ_TRACE;
    answer->trace_tracks = 2;
    answer->trace_samples = 5;
    for (int w = 0; w < 10; ++w)
      answer->wAnsData.push_back(static_cast<uint16_t>(board * 1000 + w));
    return answer;
  };
  const auto boardOfBuffer = [&](int tab) {
    CMemBuffDlg *w = mgr.GetBufferWindow(tab);
    const int board = int(w->GetRaw(0, 0)) / 1000;
    for (unsigned s = 0; s < 5; ++s)
      for (int t = 0; t < 2; ++t)
        EXPECT_EQ(w->GetRaw(t, s), double(board * 1000 + int(s) * 2 + t)) << "tab " << tab;
    return std::make_pair(board, w->GetSamplingTime());
  };

  reportOf(3);
  mgr.OnDownload();
  QApplication::processEvents();
  ASSERT_EQ(sink.OfKind(REQ_READ_TRACE).size(), 1u);
  EXPECT_FALSE(download->isEnabled());
  // The board on show closing ends no other board's download.
  reportOf(1);
  children[0]->close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  reportOf(2);
  EXPECT_EQ(mgr.m_hBoardWnd, children[1]->GetAnswerWindowId());
  EXPECT_EQ(mgr.GetState(), CGenMemBuff::StateDownload);
  EXPECT_FALSE(download->isEnabled());
  mgr.OnDownload();
  QApplication::processEvents();
  EXPECT_EQ(sink.OfKind(REQ_READ_TRACE).size(), 1u) << "one download at a time";

  frame->RouteAnswer(*answerOf(3));
  ASSERT_EQ(mgr.GetBufferCount(), 1);
  EXPECT_EQ(boardOfBuffer(0), std::make_pair(3, 0.75));
  EXPECT_EQ(mgr.GetState(), CGenMemBuff::StateReady);
  EXPECT_TRUE(download->isEnabled());

  // Board 2's own download; a late answer of board 3 makes no buffer.
  sink.Clear();
  mgr.OnDownload();
  QApplication::processEvents();
  ASSERT_EQ(sink.OfKind(REQ_READ_TRACE).size(), 1u);
  frame->RouteAnswer(*answerOf(3));
  EXPECT_EQ(mgr.GetBufferCount(), 1);
  frame->RouteAnswer(*answerOf(2));
  ASSERT_EQ(mgr.GetBufferCount(), 2);
  EXPECT_EQ(boardOfBuffer(1), std::make_pair(2, 0.5));
}

TEST_F(ViewsInFrame, DownloadedBuffersSurviveALanguageSwitch)
{
  auto *adapter = dynamic_cast<CTraceManagerAdapter *>(frame->GetTraceManager());
  ASSERT_NE(adapter, nullptr);
  QString name = QStringLiteral("buf");
  adapter->Manager()->AddBufferWindow(name, {}, {}, TraceAnswer(kNoWindow, 2, 10));
  QWidget *chart = adapter->Manager()->GetBufferWindow(0);
  ASSERT_NE(chart, nullptr);
  // A download running meanwhile still arrives.
  const std::unique_ptr<CQelDoc> doc = LoadExampleDoc();
  CChildFrame *child = frame->AddChildFrame(doc.get());
  child->SetAddress(1);
  child->OnOnLine();
  AnswerGoOnline(*frame, sink, *doc);
  ASSERT_TRUE(doc->IsOnline());
  child->ActivateFrame();
  adapter->Manager()->OnDownload();
  QApplication::processEvents();
  ASSERT_EQ(sink.OfKind(REQ_READ_TRACE).size(), 1u);
  frame->OnLanguage(Cmd::Italian);
  frame->OnLanguage(Cmd::English);
  adapter = dynamic_cast<CTraceManagerAdapter *>(frame->GetTraceManager());
  ASSERT_NE(adapter, nullptr);
  ASSERT_EQ(adapter->Manager()->GetBufferCount(), 1);
  EXPECT_EQ(adapter->Manager()->GetBufferWindow(0), chart); // the same window, data and all
  EXPECT_EQ(adapter->Manager()->GetTabCtrl()->GetTabText(0), name);
  EXPECT_EQ(adapter->Manager()->GetState(), CGenMemBuff::StateDownload);
  CRequestPacket answer = TraceAnswer(child->GetAnswerWindowId(), 2, 10);
  frame->RouteAnswer(answer);
  EXPECT_EQ(adapter->Manager()->GetBufferCount(), 2);
  EXPECT_EQ(adapter->Manager()->GetState(), CGenMemBuff::StateReady);
}

// The four trace settings imported, then written all: the manager takes the
// words the blocks carried (not the document's values by then), and a buffer
// downloaded afterwards is timed by them.
TEST_F(ViewsInFrame, AWriteAllHandsTheManagerTheTraceSettingsItWrote)
{
  QTemporaryDir temp;
  QFile example(ExamplePath(QStringLiteral("demo-small.vtx")));
  ASSERT_TRUE(example.open(QIODevice::ReadOnly));
  QByteArray text = example.readAll();
  text.replace("diagn_ts=1;", "diagn_ts=4;")
      .replace("trig_lev_pos=1000;", "trig_lev_pos=1500;")
      .replace("trig_lev_neg=-1000;", "trig_lev_neg=-1200;")
      .replace("trig_delay=10;", "trig_delay=20;");
  QFile file(temp.filePath(QStringLiteral("four.vtx")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
  file.close();

  auto doc = LoadExampleDoc();
  doc->SetTraceValue(CQelDocContainer::TRACE_SAMPLING_TIME, 0.1f);
  CChildFrame *child = frame->AddChildFrame(doc.get());
  env.prompter().AnswerFile(file.fileName());
  child->OnCommand(Cmd::ImportFile);
  ASSERT_EQ(doc->GetPar(doc->GetDiagnTsPar()).GetValue(0), 4);
  child->OnOnLine();
  AnswerGoOnline(*frame, sink, *doc);
  ASSERT_TRUE(doc->IsOnline());
  sink.Clear();
  child->ActivateFrame();
  CGenMemBuff &mgr = Manager();
  ASSERT_EQ(mgr.GetItemText(CGenMemBuff::IDC_SAMPLING), QStringLiteral("0.100")); // the board's until written

  env.prompter().AnswerMessage(IDOK);
  child->OnCommand(Cmd::WriteAll);
  ASSERT_FALSE(sink.OfKind(REQ_WRITE_BLOCK).empty());
  doc->GetPar(doc->GetDiagnTsPar()).SetRawValue(7); // edited after the write was made
  AnswerAll(*child, *doc);
  ASSERT_EQ(frame->MessageText(), QStringLiteral("Write all param ...done!"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_SAMPLING), QStringLiteral("0.400"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_TRIG_DELAY), QStringLiteral("8.00"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_TRIG_POS), QStringLiteral("1500"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_TRIG_NEG), QStringLiteral("-1200"));
  EXPECT_EQ(DownloadTimes(*child), std::pair(QStringLiteral("0.400 ms"), QStringLiteral("8.00 ms")));
}

// The manager shown before going online: the once-read of the trace settings
// brings the board's sampling time to it, with no other window activated.
TEST_F(ViewsInFrame, TheOnceReadAfterOnlineReachesAManagerAlreadyShown)
{
  auto doc = LoadExampleDoc();
  CChildFrame *child = frame->AddChildFrame(doc.get());
  child->ActivateFrame();
  frame->Action(Cmd::ReadBuffer)->trigger();
  CGenMemBuff &mgr = Manager();
  ASSERT_TRUE(mgr.isVisible());
  child->OnOnLine();
  AnswerGoOnline(*frame, sink, *doc);
  ASSERT_TRUE(doc->IsOnline());
  sink.Clear();
  child->Poll();
  AnswerAll(*child, *doc,
            {{doc->GetDiagnTsPar(), 2},
             {doc->GetTrigPosPar(), 900},
             {doc->GetTrigNegPar(), -900},
             {doc->GetTrigDelayPar(), 10}},
            {{doc->GetSamplingTimeVar(), 100}, {doc->GetBufLengthVar(), 300}});
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_SAMPLING), QStringLiteral("0.200"));
  EXPECT_EQ(mgr.GetItemText(CGenMemBuff::IDC_BUF_LENGTH), QStringLiteral("300"));
  EXPECT_EQ(DownloadTimes(*child), std::pair(QStringLiteral("0.200 ms"), QStringLiteral("2.00 ms")));
}

namespace {

// Runs this test program again with only the named tests, on an offscreen
// screen of that many device pixels at that scale; true when they passed.
bool RunOnScreen(const QString &filter, int width, int height, const QString &scale, QString *output)
{
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("screen.json"));
  QFile f(config);
  if (!f.open(QIODevice::WriteOnly))
    return false;
  f.write(QStringLiteral(R"({"screens":[{"name":"S","x":0,"y":0,"width":%1,"height":%2,"logicalDpi":96,)"
                         R"("logicalBaseDpi":96,"dpr":1}]})")
              .arg(width)
              .arg(height)
              .toUtf8());
  f.close();
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
  environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
  environment.insert(QStringLiteral("VELOTRIX_ON_SCREEN"), QStringLiteral("1"));
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filter});
  const bool ended = child.waitForFinished(90000);
  *output = QString::fromLocal8Bit(child.readAll());
  return ended && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
         output->contains(QStringLiteral("[  PASSED  ] 1 test"));
}

} // namespace

TEST(OnScreen, ToolWindowsKeepWithinAScaledScreen)
{
  if (qEnvironmentVariableIsEmpty("VELOTRIX_ON_SCREEN")) {
    QString output;
    EXPECT_TRUE(RunOnScreen(QStringLiteral("OnScreen.*"), 1600, 1000, QStringLiteral("1.5"), &output))
        << qPrintable(output);
    return;
  }
  // Here on a 1600 x 1000 screen at 1.5x.
  TestEnvironment env;
  WiredViews wired;
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_LT(area.width(), 1100);
  CMainFrame frame(false);
  frame.show();
  // No stored placement: the whole free area, frame included.
  EXPECT_TRUE(WaitFor([&] { return frame.frameGeometry() == area; }, 5000))
      << frame.frameGeometry().width() << "x" << frame.frameGeometry().height();
  frame.OnReadBuffer();
  frame.OnFind();
  frame.ShowWinCmd(WinCmdShow::Show, QString(), 0);
  QCoreApplication::processEvents();
  QWidget *manager = frame.GetTraceManager()->Window();
  for (QWidget *w : {manager, frame.GetFindDialog(), static_cast<QWidget *>(frame.GetWinCmdDialog())}) {
    ASSERT_TRUE(w && w->isVisible());
    EXPECT_TRUE(area.contains(w->frameGeometry())) << qPrintable(w->metaObject()->className());
  }
  EXPECT_GE(manager->width(), manager->minimumWidth());
}
