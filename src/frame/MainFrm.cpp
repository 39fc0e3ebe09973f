#include "frame/MainFrm.h"

#include "frame/BoardDialogs.h"
#include "frame/ChildFrm.h"
#include "frame/FrameCodes.h"
#include "frame/MDITabs.h"
#include "frame/StatusBarCtrls.h"

#include "model/QelDoc.h"
#include "model/generali.h"
#include "modbus/RequestPacket.h"
#include "modbus/SerManager.h"
#include "platform/PostToThread.h"
#include "platform/Profile.h"
#include "platform/ScreenFit.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "platform/Trace.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

namespace {

constexpr int kPaneMessage = 554;
constexpr int kPaneHelp = 555;
constexpr int kPaneFirmware = 512;
constexpr int kPaneVersionTag = 692;
constexpr int kTimerMs = 50;
// The stored window placement: eleven 32-bit fields, the normal rectangle
// (left, top, right, bottom) from field 7 on.
constexpr int kPlacementBytes = 44;
constexpr int kPlacementFields = 11;
constexpr int kPlacementLength = 0;
constexpr int kPlacementLeft = 7;
constexpr std::int32_t kShowNormal = 1, kShowMaximized = 3;
// The window manager's frame is waited for this many times, this long apart.
constexpr int kFitTries = 20;
constexpr int kFitDelayMs = 50;
// The number the version pane shows after its prefix.
constexpr int kVersionTag = 26;
const QString kInitSection = QStringLiteral("2.1\\Init");
const QString kPlacementEntry = QStringLiteral("MainWindowPos");

CMainFrame::ToolWindowFactory &FindFactory()
{
  static CMainFrame::ToolWindowFactory factory;
  return factory;
}

} // namespace

void CMainFrame::SetFindDialogFactory(ToolWindowFactory factory)
{
  FindFactory() = std::move(factory);
}

CMainFrame::CMainFrame(bool startSerial, QWidget *parent)
    : QMainWindow(parent), m_pOptions(std::make_unique<COptions>()), m_router(*this, *this),
      m_makeChild([](CMainFrame &frame, CQelDoc *doc) { return new CChildFrame(&frame, doc); })
{
  setWindowTitle(LoadStr(IDS_GENERATOR));
  MainWindowLink::Set(this);
  const WindowId self = WindowRegistry::Instance().Register(this);

  if (startSerial) {
    m_pSerManager = std::make_unique<CSerManager>(self);
    QPointer<CMainFrame> guard(this);
    m_pSerManager->SetNotify([guard](unsigned code, long argument) {
      // From the worker: the frame handles it on its own thread, or not at all.
      if (CMainFrame *frame = guard.data())
        vtx::PostToThread(frame, [frame, code, argument] { frame->OnServerAnswer(code, argument); });
    });
    ApplySerialSettings();
    m_pSerManager->CreateThread(0, 0, nullptr, CThinThread::kInfinite);
    m_router.SetServer(m_pSerManager.get());
  }

  // The tab strip lays out the MDI area and itself (see CMDITabs).
  auto *central = new QWidget(this);
  m_pMdiArea = new QMdiArea(central);
  m_pMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_pMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_pTabs = new CMDITabs(central);
  setCentralWidget(central);
  connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);

  CreateStatusBar();
  CreateToolBar();
  CreateLockPanes();
  BuildMenus();
  RestorePlacement();
  CreateToolWindows();
  connect(&m_timer, &QTimer::timeout, this, &CMainFrame::OnSchedulerTick);
  if (m_pOptions->Start_Timer.Get() != 0)
    StartTimer(true);
  if (QAction *tp = Action(Cmd::EnableAllTestpoints))
    tp->setChecked(m_pOptions->TP_Autofilling.Get() == 0);
  CreateMDITabs(true);
}

CMainFrame::~CMainFrame()
{
  if (QLabel *pane = Pane(kPaneMessage))
    pane->setText(QStringLiteral("Chiusura in corso..."));
  StartTimer(false);
  // Board windows write their layouts into the settings: they go first.
  CloseAllChildren();
  m_router.SetServer(nullptr);
  m_pSerManager.reset();
  m_hActiveChild = kNoWindow;
  m_children.clear();
  SavePlacement();
  Profile::Instance().WriteProfileString(QStringLiteral("2.1\\BarState"), QStringLiteral("BarState"),
                                         QString::fromLatin1(saveState().toHex()));
  DestroyToolWindows();
  if (MainWindowLink::Get() == this)
    MainWindowLink::Set(nullptr);
  WindowRegistry::Instance().Unregister(WindowRegistry::Instance().IdOf(this));
}

// ---- parts of the window ------------------------------------------------------

void CMainFrame::OnHScroll(int position)
{
  for (WindowId child : ChildrenCopy())
    if (IBoardWindow *board = Child(child))
      board->LevelChanged(position);
}

void CMainFrame::CreateStatusBar()
{
  QStatusBar *bar = statusBar();
  bar->setMinimumHeight(21);
  auto addPane = [&](int id, const QString &text, int width, bool stretch) {
    auto *label = new QLabel(text, bar);
    label->setMinimumWidth(width);
    m_panes[id] = label;
    if (stretch)
      bar->addWidget(label, 1);
    else
      bar->addPermanentWidget(label);
  };
  addPane(kPaneMessage, LoadStr(IDS_BLANK_PANE), 300, true);
  addPane(kPaneHelp, QString(), 200, false);
  addPane(kPaneFirmware, QString(), 150, false);
  m_pProgress = new CExtStatusBarProgressCtrl(bar);
  m_pProgress->setFixedWidth(70);
  bar->addPermanentWidget(m_pProgress);
  m_pActivity = new CExtBitmap(bar);
  m_pActivity->setFixedWidth(36);
  bar->addPermanentWidget(m_pActivity);
  addPane(kPaneVersionTag, QString(), 50, false);
  m_pSlider = new CExtStatusBarSliderCtrl(bar);
  m_pSlider->setFixedWidth(80);
  m_pSlider->SetMainFrame(this);
  m_pSlider->setValue(std::clamp(m_pOptions->VisLevel.Get(), 0, kMaxVisLevel));
  connect(m_pSlider, &CExtStatusBarSliderCtrl::visLevelChanged, this,
          [this](int, int position) { OnHScroll(position); });
  bar->addPermanentWidget(m_pSlider);
}

QLabel *CMainFrame::Pane(int id) const
{
  auto it = m_panes.find(id);
  return it == m_panes.end() ? nullptr : it->second;
}

QString CMainFrame::MessageText() const
{
  QLabel *pane = Pane(kPaneMessage);
  return pane ? pane->text() : QString();
}

void CMainFrame::SetMessageText(const QString &text)
{
  if (QLabel *pane = Pane(kPaneMessage))
    pane->setText(text);
}

void CMainFrame::CreateFindDialog()
{
  delete m_pFindDialog.data();
  m_pFindDialog = FindFactory() ? FindFactory()(*this) : nullptr;
  if (m_pFindDialog) {
    m_pFindDialog->hide();
    vtx::KeepOnScreen(m_pFindDialog);
  }
}

void CMainFrame::WinCmdCallback(int value)
{
  qCDebug(lcFrame, "hide current drive info");
  SendWinCmdToActive(value);
}

void CMainFrame::CreateWinCmd()
{
  delete m_pWinCmd.data();
  QPointer<CMainFrame> guard(this);
  m_pWinCmd = new CWinCmdDiag(this, [guard](int value) {
    if (guard)
      guard->WinCmdCallback(value);
  });
  m_pWinCmd->hide();
  vtx::KeepOnScreen(m_pWinCmd);
}

void CMainFrame::CreateToolWindows()
{
  CreateFindDialog();
  CreateGenMemBuff();
  CreateWinCmd();
}

void CMainFrame::DestroyToolWindows()
{
  m_pGenMemBuff.reset();
  delete m_pFindDialog.data();
  delete m_pWinCmd.data();
}

void CMainFrame::RecreateMDITabs()
{
  CreateMDITabs(false);
}

void CMainFrame::CreateMDITabs(bool atCreation)
{
  int style = 0;
  if (m_pOptions->TabsOnTop.Get() != 0)
    style |= CMDITabs::kStyleTop;
  // The first strip always shows the board windows' icons; a later one
  // follows the setting.
  if (atCreation || m_pOptions->TabsImages.Get() != 0)
    style |= CMDITabs::kStyleImages;
  if (m_pOptions->HideTabsLess2Views.Get() != 0)
    style |= CMDITabs::kStyleHideLess2;
  m_pTabs->Create(m_pMdiArea, style);
  m_pTabs->Update();
}

void CMainFrame::UpdateTabs()
{
  if (m_pTabs)
    m_pTabs->Update();
}

void CMainFrame::StartTimer(bool start)
{
  if (start && !m_bTimerRunning) {
    m_timer.start(kTimerMs);
    m_bTimerRunning = true;
  } else if (!start && m_bTimerRunning) {
    m_timer.stop();
    m_bTimerRunning = false;
  }
}

// ---- serial queue ---------------------------------------------------------------

QString CMainFrame::GetInitializeLanguage() const
{
  return m_pOptions->InitializeLanguage.Get();
}

void CMainFrame::AddRequest(CRequestPacket *&packet)
{
  if (m_pSink)
    m_pSink->AddRequest(packet);
  else if (m_pSerManager)
    m_pSerManager->AddRequest(packet);
  delete packet; // no queue: the request goes nowhere
  packet = nullptr;
}

void CMainFrame::AddHeadRequest(CRequestPacket *&packet)
{
  if (m_pSink)
    m_pSink->AddHeadRequest(packet);
  else if (m_pSerManager)
    m_pSerManager->AddHeadRequest(packet);
  delete packet;
  packet = nullptr;
}

void CMainFrame::AddRequests(std::vector<CRequestPacket *> &packets)
{
  if (m_pSink)
    m_pSink->AddRequests(packets);
  else if (m_pSerManager)
    m_pSerManager->AddRequests(packets);
  for (CRequestPacket *p : packets)
    delete p;
  packets.clear();
}

void CMainFrame::CancelRequests(WindowId window, std::uint16_t kind)
{
  if (m_pSink)
    m_pSink->CancelRequests(window, kind);
  else if (m_pSerManager)
    m_pSerManager->CancelRequests(window, kind);
}

std::vector<std::uint16_t> CMainFrame::RemoveRequests(WindowId window)
{
  if (m_pSink)
    return m_pSink->RemoveRequests(window);
  return m_pSerManager ? m_pSerManager->RemoveRequests(window) : std::vector<std::uint16_t>{};
}

int CMainFrame::IsActive() const
{
  if (m_pSink)
    return m_pSink->IsActive();
  return m_pSerManager ? m_pSerManager->IsActive() : 0;
}

int CMainFrame::GetReqPktListSize() const
{
  if (m_pSink)
    return m_pSink->GetReqPktListSize();
  return m_pSerManager ? m_pSerManager->GetReqPktListSize() : 0;
}

// ---- board windows --------------------------------------------------------------

IBoardWindow *CMainFrame::Child(WindowId id) const
{
  if (id == kNoWindow)
    return nullptr;
  return dynamic_cast<IBoardWindow *>(WindowRegistry::Instance().Resolve(id));
}

int CMainFrame::ChildAddress(WindowId id) const
{
  const IBoardWindow *board = Child(id);
  return board ? board->GetAddress() : 0;
}

CChildFrame *CMainFrame::AddChildFrame(CQelDoc *doc)
{
  CChildFrame *child = m_makeChild(*this, doc);
  m_pMdiArea->addSubWindow(child);
  child->showMaximized();
  m_pMdiArea->setActiveSubWindow(child);
  child->ActivateFrame();
  WatchDocument(doc);
  UpdateTabs();
  return child;
}

void CMainFrame::OnChildClosed(CChildFrame *child)
{
  CQelDoc *doc = child->GetDocument();
  if (!doc)
    return;
  // The document closes once its window is gone.
  QPointer<CQelDoc> guard(doc);
  connect(child, &QObject::destroyed, this, [this, guard] {
    if (guard && m_closeDocument)
      m_closeDocument(guard.data());
  });
}

void CMainFrame::CloseAllChildren()
{
  if (!m_pMdiArea)
    return;
  // Closed windows waiting for their deletion count too.
  for (CChildFrame *w : m_pMdiArea->findChildren<CChildFrame *>())
    delete w;
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow *window)
{
  if (auto *child = qobject_cast<CChildFrame *>(window)) {
    if (m_hActiveChild != child->GetAnswerWindowId())
      child->ActivateFrame();
  }
  UpdateTabs();
  UpdateCommandStates();
}

void CMainFrame::RegisterChild(WindowId child)
{
  m_children.insert(m_children.begin(), child);
  if (QAction *online = Action(Cmd::OnLine))
    online->setEnabled(false);
  if (IBoardWindow *active = Child(m_hActiveChild))
    active->NotifyMainFrame();
}

void CMainFrame::UnregisterChild(WindowId child)
{
  m_children.erase(std::remove(m_children.begin(), m_children.end(), child), m_children.end());
  m_hActiveChild = m_children.empty() ? kNoWindow : m_children.front();
  if (m_pGenMemBuff && m_pGenMemBuff->GetBoardWindow() == child) {
    if (m_hActiveChild == kNoWindow)
      m_pGenMemBuff->SetAddress(kNoWindow, 0);
    else
      m_pGenMemBuff->SetAddress(m_hActiveChild, ChildAddress(m_hActiveChild));
  }
  if (m_children.empty() && m_pToolbar)
    m_pToolbar->SetAddress(0);
  UpdateCommandStates();
}

void CMainFrame::SetActiveChild(WindowId child)
{
  if (child == kNoWindow || m_children.empty())
    return;
  if (m_children.size() > 1) {
    m_children.erase(std::remove(m_children.begin(), m_children.end(), child), m_children.end());
    m_children.insert(m_children.begin(), child);
  }
  m_hActiveChild = child;
  UpdateAddressBox(child);
}

void CMainFrame::UpdateAddressBox(WindowId child)
{
  if (m_pToolbar)
    m_pToolbar->SetAddress(ChildAddress(child) & kAddressByte);
}

void CMainFrame::SelectChildByAddress(int address)
{
  for (WindowId child : ChildrenCopy()) {
    if ((ChildAddress(child) & kAddressByte) == (address & kAddressByte)) {
      if (m_pGenMemBuff) {
        AttachTraceManager(child);
        m_pGenMemBuff->ShowControls(true);
      }
      return;
    }
  }
}

void CMainFrame::ForwardToolbarValue(int value)
{
  if (m_hActiveChild == kNoWindow)
    return;
  if (IBoardWindow *active = Child(m_hActiveChild))
    active->SetAddress(static_cast<std::int16_t>(value));
  UpdateAddressBox(m_hActiveChild);
}

void CMainFrame::SendWinCmdToActive(int value)
{
  if (IBoardWindow *active = Child(m_hActiveChild))
    active->AnswerWinCmd(value);
}

bool CMainFrame::QueryChild(WindowId child, int mask)
{
  return BoardInState(*this, child, mask);
}

void CMainFrame::UpdateStatus(WindowId child, const StatusValues &v)
{
  if (child != m_hActiveChild) {
    // A manager put on another board by its address box follows that
    // board's settings as they arrive, or a download is timed with none.
    if (m_pGenMemBuff && m_pGenMemBuff->GetBoardWindow() == child)
      HandTraceItems(v.items);
    return;
  }
  if (m_pGenMemBuff)
    m_pGenMemBuff->SetAddress(child, v.address);
  if (QLabel *p = Pane(kPaneMessage))
    p->setText(v.message);
  if (QLabel *p = Pane(kPaneHelp))
    p->setText(v.helpFile);
  if (QLabel *p = Pane(kPaneFirmware))
    p->setText(v.firmware);
  if (auto *find = dynamic_cast<IFindDialogLink *>(m_pFindDialog.data()))
    find->SetDocumentLists(v.document);
  if (m_pGenMemBuff)
    HandTraceItems(v.items);
}

void CMainFrame::ShowWinCmd(int action, const QString &text, std::int16_t code)
{
  if (!m_pWinCmd)
    return;
  if (action == WinCmdShow::Hide) {
    m_pWinCmd->hide();
    return;
  }
  if (action == WinCmdShow::ShowText)
    m_pWinCmd->ShowMessage(text, code);
  m_pWinCmd->show();
}

// ---- language -------------------------------------------------------------------

void CMainFrame::InitLanguage()
{
  if (m_pOptions->Language.Get() == UiLanguage::Italian) {
    SetLanguage(UiLanguage::Italian);
  } else {
    m_pOptions->Language.Set(UiLanguage::English);
    SetLanguage(UiLanguage::English);
  }
}

void CMainFrame::SetLanguage(int code)
{
  m_pOptions->Language.Set(code);
  if (code == UiLanguage::Italian)
    StringTable::Instance().SetLanguage(StringTable::Language::Italian);
  else
    StringTable::Instance().SetLanguage(StringTable::Language::English);
  BuildMenus();
  if (QLabel *p = Pane(kPaneVersionTag))
    p->setText(LoadStr(IDS_VERSION_PREFIX) + vtx::Format(u"%d", kVersionTag));
  // The tool windows come up again in the new language.
  RecreateGenMemBuff();
  CreateFindDialog();
  CreateWinCmd();
  update();
}

void CMainFrame::OnLanguage(int id)
{
  const int code = id == Cmd::Italian ? UiLanguage::Italian : UiLanguage::English;
  if (m_pOptions->Language.Get() == code)
    return;
  SetLanguage(code);
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
  if (!AskStopEveryWriteAll()) {
    event->ignore(); // No at one question keeps every window online
    return;
  }
  // The questions took the place of the boxes.
  for (WindowId child : ChildrenCopy())
    if (IBoardWindow *board = Child(child))
      board->GoOfflineSilently();
  if (!AskEveryDocument()) {
    event->ignore(); // Cancel at one question keeps every window
    return;
  }
  m_pMdiArea->closeAllSubWindows();
  if (!m_pMdiArea->subWindowList().isEmpty()) {
    event->ignore(); // a document was not let go
    return;
  }
  QMainWindow::closeEvent(event);
}

std::vector<QPointer<CChildFrame>> CMainFrame::ChildFrames() const
{
  std::vector<QPointer<CChildFrame>> frames;
  for (QMdiSubWindow *w : m_pMdiArea->subWindowList())
    if (auto *child = qobject_cast<CChildFrame *>(w))
      frames.emplace_back(child);
  return frames;
}

bool CMainFrame::AskStopEveryWriteAll()
{
  // Every question before anything stops: each box lets the others' answers
  // come in, and a window may close meanwhile.
  for (const QPointer<CChildFrame> &child : ChildFrames())
    if (child && !child->AskStopWriteAll())
      return false;
  return true;
}

bool CMainFrame::AskEveryDocument()
{
  const std::vector<QPointer<CChildFrame>> frames = ChildFrames();
  for (const QPointer<CChildFrame> &child : frames)
    if (child && !child->SaveModified())
      return false;
  // Each document was asked once: its window closes without a second question.
  for (const QPointer<CChildFrame> &child : frames)
    if (child)
      child->SetSaveAnswered();
  return true;
}

// ---- placement ------------------------------------------------------------------

QRect CMainFrame::ClampPlacement(const QRect &r, int cx, int cy)
{
  // Stored as left, top, right, bottom (QRect's x, y, width, height).
  int left = std::max(r.x(), 0);
  int top = std::max(r.y(), 0);
  int right = std::min(r.width(), cx);
  int bottom = std::min(r.height(), cy);
  right = std::max(right, left + cx / 3);
  bottom = std::max(bottom, top + cy / 3);
  // A window pushed past the screen's far side comes back onto it whole.
  if (right > cx) {
    left = std::max(0, left - (right - cx));
    right = std::min(cx, left + std::max(right - left, cx / 3));
  }
  if (bottom > cy) {
    top = std::max(0, top - (bottom - cy));
    bottom = std::min(cy, top + std::max(bottom - top, cy / 3));
  }
  return QRect(left, top, right, bottom);
}

void CMainFrame::RestorePlacement()
{
  QScreen *screen = QGuiApplication::primaryScreen();
  const QSize size = screen ? screen->size() : QSize(1280, 800);
  const int cx = size.width();
  const int cy = size.height();
  // Without a stored placement the frame fills the area that panels and
  // docks leave free.
  QRect placement = screen ? screen->availableGeometry() : QRect(0, 0, cx, cy);
  const QByteArray stored =
      QByteArray::fromHex(Profile::Instance().GetProfileString(kInitSection, kPlacementEntry).toLatin1());
  if (stored.size() == kPlacementBytes) {
    std::int32_t record[kPlacementFields] = {};
    std::memcpy(record, stored.constData(), sizeof record);
    if (record[kPlacementLength] == kPlacementBytes) {
      const QRect ltrb = ClampPlacement(QRect(record[kPlacementLeft], record[kPlacementLeft + 1],
                                              record[kPlacementLeft + 2], record[kPlacementLeft + 3]),
                                        cx, cy);
      placement = QRect(QPoint(ltrb.x(), ltrb.y()), QPoint(ltrb.width() - 1, ltrb.height() - 1));
    }
  }
  ApplyFramePlacement(placement);
}

void CMainFrame::ApplyFramePlacement(const QRect &frame)
{
  // The rectangle is the whole window, title bar included: a top-level
  // move() places the frame, and the client is what the frame leaves.
  m_framePlacement = frame;
  const QRect now = frameGeometry();
  const int extraW = std::max(0, now.width() - width());
  const int extraH = std::max(0, now.height() - height());
  resize(std::max(1, frame.width() - extraW), std::max(1, frame.height() - extraH));
  move(frame.topLeft());
}

void CMainFrame::showEvent(QShowEvent *event)
{
  QMainWindow::showEvent(event);
  if (!m_framePlacement.isNull())
    FitFrameToPlacement(kFitTries);
}

void CMainFrame::FitFrameToPlacement(int triesLeft)
{
  // The window manager adds its frame some time after the window is mapped
  // (never, without one); once it is known the whole frame is fitted.
  QTimer::singleShot(triesLeft == kFitTries ? 0 : kFitDelayMs, this, [this, triesLeft] {
    if (m_framePlacement.isNull() || isMaximized() || isFullScreen())
      return;
    if (frameGeometry().size() == size() && triesLeft > 0) {
      FitFrameToPlacement(triesLeft - 1);
      return;
    }
    const QRect placement = m_framePlacement;
    if (frameGeometry() != placement)
      ApplyFramePlacement(placement);
    m_framePlacement = QRect();
  });
}

void CMainFrame::SavePlacement()
{
  // The whole window, title bar included, as it is placed again.
  QRect g = frameGeometry();
  if ((isMaximized() || isMinimized()) && normalGeometry().isValid()) {
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    g = normalGeometry().adjusted(frame.left() - client.left(), frame.top() - client.top(),
                                  frame.right() - client.right(), frame.bottom() - client.bottom());
  }
  const std::int32_t show = isMaximized() ? kShowMaximized : kShowNormal;
  // Length, flags, show command, minimized and maximized positions (unset),
  // then the normal rectangle: left, top, right, bottom.
  std::int32_t record[kPlacementFields] = {kPlacementBytes,   0, show, -1, -1, -1, -1, g.x(), g.y(), g.x() + g.width(),
                                           g.y() + g.height()};
  static_assert(sizeof record == kPlacementBytes);
  QByteArray bytes(reinterpret_cast<const char *>(record), sizeof record);
  Profile::Instance().WriteProfileString(kInitSection, kPlacementEntry, QString::fromLatin1(bytes.toHex()));
}

void CMainFrame::dragEnterEvent(QDragEnterEvent *event)
{
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent *event)
{
  for (const QUrl &url : event->mimeData()->urls())
    if (url.isLocalFile())
      OnFileOpen(url.toLocalFile());
  event->acceptProposedAction();
}

CWinCmdDiag *CMainFrame::GetWinCmdDialog() const
{
  return m_pWinCmd.data();
}

CQelDoc *CMainFrame::GetActiveDocument() const
{
  CChildFrame *child = WindowRegistry::Instance().ResolveAs<CChildFrame>(m_hActiveChild);
  return child ? child->GetDocument() : nullptr;
}
