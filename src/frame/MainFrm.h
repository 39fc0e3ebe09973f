#pragma once

#include "frame/AnswerRouter.h"
#include "frame/RequestSink.h"
#include "frame/SplitterWnd.h"

#include "model/MainWindowLink.h"
#include "platform/Options.h"
#include "platform/WindowId.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class CChildFrame;
class CExtBitmap;
class CExtStatusBarProgressCtrl;
class CExtStatusBarSliderCtrl;
class CMainToolbar;
class CMDITabs;
class CQelDoc;
class CSerManager;
class CWinCmdDiag;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
struct CRequestPacket;

// What the main frame needs of the find dialog; the views implement it.
class IFindDialogLink {
public:
  virtual ~IFindDialogLink() = default;
  // Points the candidate lists at the active document's names (null: none).
  virtual void SetDocumentLists(CQelDoc *doc) = 0;
};

// The application's one main window: owner of the serial manager, the
// settings and the registry of board windows; routes every answer, runs the
// 50 ms scheduler and switches the interface language. GUI thread only.
class CMainFrame : public QMainWindow,
                   public IMainWindow,
                   public IRequestSink,
                   public IPaneLayoutStore,
                   public IBoardRegistry,
                   private IAnswerDisplay {
  Q_OBJECT
public:
  using TraceManagerFactory = std::function<std::unique_ptr<ITraceManager>(CMainFrame &frame)>;
  using ToolWindowFactory = std::function<QWidget *(CMainFrame &frame)>;
  using ChildFrameFactory = std::function<CChildFrame *(CMainFrame &frame, CQelDoc *doc)>;
  static void SetTraceManagerFactory(TraceManagerFactory factory);
  static void SetFindDialogFactory(ToolWindowFactory factory);

  // startSerial false: no serial manager (tests give their own sink).
  explicit CMainFrame(bool startSerial = true, QWidget *parent = nullptr);
  ~CMainFrame() override;

  // ---- IMainWindow -------------------------------------------------------
  COptions &GetOptions() override { return *m_pOptions; }
  const COptions &GetOptions() const { return *m_pOptions; }
  void ApplySerialSettings() override;
  void RequestStatistics(WindowId page) override;
  void ResetStatistics() override;
  void ApplyTimerAndTabs() override;
  // IPaneLayoutStore: the layouts in the setting Panes_, four values each.
  void PaneLayout(int code, SplitterLayout &layout) override;
  // What a board window takes for its testpoints: 1 when TP_Autofilling is 0.
  int TestpointQuery() const;
  QString GetInitializeLanguage() const override;
  void AddRequest(CRequestPacket *&packet) override;
  void AddHeadRequest(CRequestPacket *&packet) override;
  void AddRequests(std::vector<CRequestPacket *> &packets) override;
  void CancelRequests(WindowId window, std::uint16_t kind) override;
  std::vector<std::uint16_t> RemoveRequests(WindowId window) override;
  int IsActive() const override;
  int GetReqPktListSize() const override;

  // A sink in place of the serial manager (tests); null goes back to it.
  void SetRequestSink(IRequestSink *sink) { m_pSink = sink; }
  // Answers from elsewhere than the serial manager (tests); null goes back to it.
  void SetAnswerSource(IAnswerSource *source) { m_router.SetSource(source); }
  CSerManager *GetSerManager() const { return m_pSerManager.get(); }
  QMdiArea *MdiArea() const { return m_pMdiArea; }

  // ---- board windows -----------------------------------------------------
  void RegisterChild(WindowId child);
  void UnregisterChild(WindowId child);
  void SetActiveChild(WindowId child);
  WindowId GetActiveChild() const override { return m_hActiveChild; }
  // The active board window's document (what the find dialog searches), or null.
  CQelDoc *GetActiveDocument() const;
  const std::vector<WindowId> &GetChildren() const override { return m_children; }
  void UpdateAddressBox(WindowId child);
  void SelectChildByAddress(int address);
  void ForwardToolbarValue(int value);
  void SendWinCmdToActive(int value);
  // The board-message window's button: to the active board.
  void WinCmdCallback(int value);
  // The level slider moved: every board window hears of it.
  void OnHScroll(int position);
  // The board window of an id, or null (gone, or not a board).
  IBoardWindow *Child(WindowId id) const override;
  // Its slave address; 0 when it is gone.
  int ChildAddress(WindowId id) const;
  // The connection bits with a mask (BoardState): Online, or Connected.
  bool QueryChild(WindowId child, int mask);
  // Adds a board window for a document to the MDI area and shows it.
  CChildFrame *AddChildFrame(CQelDoc *doc);
  // What makes the board windows AddChildFrame adds.
  void SetChildFrameFactory(ChildFrameFactory factory) { m_makeChild = std::move(factory); }
  void OnChildClosed(CChildFrame *child);
  // Called when a board window is gone and its document must close.
  void SetDocumentCloser(std::function<void(CQelDoc *)> closer) { m_closeDocument = std::move(closer); }

  struct StatusValues {
    int address = 0;
    QString message, helpFile, firmware;
    CQelDoc *document = nullptr;
    TraceItems items{};
  };
  void UpdateStatus(WindowId child, const StatusValues &values);
  // A board window went offline: its trace download ends, and a manager
  // attached to it shows it offline.
  void RefreshGenMemBuff(WindowId child);
  // The board-message window: hide, show, or show the text for code (WinCmdShow).
  void ShowWinCmd(int action, const QString &text, std::int16_t code);
  void UpdateTabs();
  QString MessageText() const;

  // ---- answers (routed by m_router) ---------------------------------------
  void OnServerAnswer(unsigned code, long argument) { m_router.OnServerAnswer(code, argument); }
  // Takes every waiting answer from the serial manager and routes it.
  void DrainAnswers() { m_router.DrainAnswers(); }
  void AfterAnswers(QObject *context, std::function<void()> call) { m_router.AfterAnswers(context, std::move(call)); }
  // Routes one answer (its owner deletes it afterwards).
  void RouteAnswer(CRequestPacket &packet) { m_router.RouteAnswer(packet); }
  bool ProcessAnswer(CRequestPacket &packet, bool activeChild) { return m_router.ProcessAnswer(packet, activeChild); }
  void NotifyAnswerError(CRequestPacket &packet, bool activeChild) { m_router.NotifyAnswerError(packet, activeChild); }
  bool CheckBoardVersion(WindowId child, const QString &boardVersion)
  {
    return m_router.CheckBoardVersion(child, boardVersion);
  }

  // ---- scheduler ---------------------------------------------------------
  void OnSchedulerTick();
  void RunBackupStateMachine();
  void RunEEPStateMachine();
  void CheckTraceBuffers();
  void PollNextChild();
  void ResetAllProcedures();
  // The timer stopped: a running procedure ends with its error box.
  void AbortOnTimerStopped();
  void OnBackupAll();
  void OnMemorizeAllToEEP();
  int GetBackupState() const { return m_nBackupState; }
  int GetEEPState() const { return m_nEEPState; }
  bool IsProcedureRunning() const;
  bool IsTimerRunning() const { return m_bTimerRunning; }

  // ---- language, commands ------------------------------------------------
  void InitLanguage();
  void SetLanguage(int code);
  void OnLanguage(int id);
  // Runs a command of the menu table (the active board's or the frame's).
  void OnCommand(int id);
  bool IsCommandEnabled(int id, bool *checked = nullptr) const;
  // Sets every action's enabled and checked state from IsCommandEnabled.
  void UpdateCommandStates();
  // A command's status-bar prompt, and its tooltip: the text after the
  // first line feed of its string. A string without one is a menu text:
  // both are that text without its mnemonic.
  static QString CommandPrompt(int id);
  static QString CommandTooltip(int id);
  // The caps and num lock panes follow the keyboard.
  void UpdateLockPanes();
  QAction *Action(int id) const;
  QMenuBar *Menu() const { return menuBar(); }
  void OnEnableAllTestpoints();
  void OnFileSaveAs();
  void OnFileOpen(const QString &path);
  // File > Open: asks for the document.
  void OnCmdFileOpen() { OnFileOpen(QString()); }
  void OnOptions();
  void OnFind();
  void OnReadBuffer();
  // Print, print preview (of the active board's parameters) and print setup.
  void OnPrintCommand(int id);
  // Opens a document through the application (set by it).
  void SetDocumentOpener(std::function<bool(const QString &)> opener) { m_openDocument = std::move(opener); }
  void SetAppCommand(int id, std::function<void()> run) { m_appCommands[id] = std::move(run); }
  // Runs what the application set for a command; nothing when it set none.
  void RunAppCommand(int id);
  // The recent files shown in the File menu, and what opens entry i.
  void SetRecentFiles(std::function<QStringList()> list, std::function<void(int)> open)
  {
    m_recentList = std::move(list);
    m_recentOpen = std::move(open);
  }

  // ---- placement ---------------------------------------------------------
  // The stored rectangle (left, top, right, bottom) clamped onto a cx by cy screen.
  static QRect ClampPlacement(const QRect &ltrb, int cx, int cy);
  void RestorePlacement();
  void SavePlacement();

  ITraceManager *GetTraceManager() const override { return m_pGenMemBuff.get(); }
  QWidget *GetFindDialog() const { return m_pFindDialog; }
  CWinCmdDiag *GetWinCmdDialog() const;
  CExtStatusBarProgressCtrl *Progress() const { return m_pProgress; }
  CExtBitmap *ActivityBitmap() const { return m_pActivity; }
  CExtStatusBarSliderCtrl *Slider() const { return m_pSlider; }
  CMainToolbar *Toolbar() const { return m_pToolbar; }
  CMDITabs *Tabs() const { return m_pTabs; }
  QLabel *Pane(int id) const;
  void RecreateMDITabs();
  // Closes every board window (the settings must outlive them).
  void CloseAllChildren();

protected:
  void closeEvent(QCloseEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dropEvent(QDropEvent *event) override;
  void showEvent(QShowEvent *event) override;

private:
  struct AllBoards; // what tells backup-all and EEPROM-all apart
  static const AllBoards kBackupAll;
  static const AllBoards kEepromAll;
  void StartAllBoards(const AllBoards &procedure);
  void RunAllBoards(const AllBoards &procedure);
  bool IsPollSuspended() const;
  // IAnswerDisplay
  void ProgressStart(long steps) override;
  void ProgressStep(long step) override;
  void ProgressEnd() override;
  void ProgressAbort() override;
  void Beep() override;
  void SetMessageText(const QString &text) override;
  void DeliverStatistics(WindowId page, const CSerStatistics &stats) override;
  void AnswersRouted() override { UpdateCommandStates(); }
  QWidget *BoxParent() override { return this; }

  void CreateStatusBar();
  void CreateToolBar();
  void CreateLockPanes();
  void BuildMenus();
  void LayoutToolbar();
  void WatchDocument(CQelDoc *doc);
  void CreateToolWindows();
  void CreateMDITabs(bool atCreation);
  void DestroyToolWindows();
  void CreateGenMemBuff();
  // The trace manager on that board, with its settings as they are now.
  void AttachTraceManager(WindowId child);
  // A board's trace settings into the manager; items not yet known keep
  // the manager's.
  void HandTraceItems(const TraceItems &items);
  void RecreateGenMemBuff();
  void CreateFindDialog();
  void CreateWinCmd();
  void StartTimer(bool start);
  void OnSubWindowActivated(QMdiSubWindow *window);
  std::vector<QPointer<CChildFrame>> ChildFrames() const;
  // Asks about every running write all before any stops; false on a No.
  bool AskStopEveryWriteAll();
  // Asks every modified document before any window closes; false on Cancel.
  bool AskEveryDocument();
  // Places the whole window (frame included) on that screen rectangle.
  void ApplyFramePlacement(const QRect &frame);
  void FitFrameToPlacement(int triesLeft);
  std::vector<WindowId> ChildrenCopy() const { return m_children; }

  std::unique_ptr<COptions> m_pOptions; // first in, last out: windows write into it
  std::unique_ptr<CSerManager> m_pSerManager;
  IRequestSink *m_pSink = nullptr; // not owned; tests
  CAnswerRouter m_router;
  ChildFrameFactory m_makeChild;
  QMdiArea *m_pMdiArea = nullptr;
  CMDITabs *m_pTabs = nullptr;
  CMainToolbar *m_pToolbar = nullptr;
  CExtStatusBarProgressCtrl *m_pProgress = nullptr;
  CExtStatusBarSliderCtrl *m_pSlider = nullptr;
  CExtBitmap *m_pActivity = nullptr;
  std::map<int, QLabel *> m_panes; // status-bar text panes by id
  std::unique_ptr<ITraceManager> m_pGenMemBuff;
  QPointer<QWidget> m_pFindDialog;
  QPointer<CWinCmdDiag> m_pWinCmd;
  std::map<int, QAction *> m_actions;
  WindowId m_hActiveChild = kNoWindow;
  std::vector<WindowId> m_children; // most recently activated first
  QTimer m_timer;
  bool m_bTimerRunning = false;
  int m_nBackupState = 0;
  int m_nEEPState = 0;
  int m_nActivity = 0;
  int m_nRoundRobin = 0;
  bool m_bClosing = false;
  QRect m_framePlacement; // until the first show has fitted the frame
  std::function<bool(const QString &)> m_openDocument;
  std::function<void(CQelDoc *)> m_closeDocument;
  std::map<int, std::function<void()>> m_appCommands;
  std::function<QStringList()> m_recentList;
  std::function<void(int)> m_recentOpen;
};
