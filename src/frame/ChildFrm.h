#pragma once

#include "frame/ChildConn.h"
#include "frame/SplitterWnd.h"

#include "model/DocFrameLinks.h"
#include "model/MainWindowLink.h"

#include <QMdiSubWindow>
#include <QPointer>

#include <array>
#include <functional>

class CMainFrame;
class CQelDoc;
class ST_SplitterWnd;

// The window of one board document: its splitter with the parameter and
// variable views, its status texts and the board commands, over the
// connection it derives from. GUI thread only.
class CChildFrame : public QMdiSubWindow,
                    public CChildConn,
                    public IConnHooks,
                    public IDocAnswerWindow,
                    public IPaneLayoutStore {
  Q_OBJECT
public:
  // The four views of the splitter; each comes from a factory, by default an
  // empty pane.
  enum PaneKind { ParTree, ParList, VarTree, VarList, PaneKinds };
  using PaneFactory = std::function<QWidget *(CQelDoc &doc, CChildFrame &frame)>;
  static void SetPaneFactory(PaneKind kind, PaneFactory factory);

  // The frame registers with the main frame at once; main must outlive it.
  CChildFrame(CMainFrame *main, CQelDoc *doc);
  ~CChildFrame() override;

  CQelDoc *GetDocument() const { return GetConnDocument(); }
  QWidget *GetPane(PaneKind kind) const { return m_panes[kind]; }
  ST_SplitterWnd *GetSplitter() const { return m_pSplitter; }
  ST_SplitterWnd *GetParSplitter() const { return m_pParSplitter; }
  ST_SplitterWnd *GetVarSplitter() const { return m_pVarSplitter; }

  // IDocAnswerWindow
  WindowId GetAnswerWindowId() const override { return GetAnswerWindow(); }
  void WriteParameterOnline(std::int16_t index, double value, bool marked) override;
  void OnDescriptionLoaded() override;
  // IPaneLayoutStore: the splitter's loads go on to the main frame.
  void PaneLayout(int code, SplitterLayout &layout) override;

  // The frame became the active board window.
  void ActivateFrame();
  // A menu or toolbar command for this board; false when it is not one.
  bool OnCommand(int id);
  // IConnHooks: the status texts go to the main frame.
  void ShowStatusText() override;
  void UpdateWinCmdText() override;
  void NotifyMainFrame() override;
  // Asks to save a changed document; false when the user cancelled. Asks
  // nothing once the main window's close has had the answer.
  bool SaveModified();
  void SetSaveAnswered() { m_bSaveAnswered = true; }

protected:
  void closeEvent(QCloseEvent *event) override;

  void SetStateIcon(int icon) override;
  void FillParList() override;
  void RefillParRows(const std::vector<std::uint16_t> &pars) override;
  void AfterAnswers(std::function<void()> call) override;
  void RecolorParList() override;
  void OnWentOffline() override;
  int ChooseDefaultSet(const QStringList &names) override;
  QString ChooseLanguage(const QStringList &codes, const QString &current) override;
  void StoreInitializeLanguage(const QString &code) override;
  int VisLevel() const override;

private:
  void OnCreateClient();
  void OnFocusChanged(QWidget *old, QWidget *now);

  QPointer<CMainFrame> m_pMain;
  ST_SplitterWnd *m_pSplitter = nullptr;    // owned through the widget tree
  ST_SplitterWnd *m_pParSplitter = nullptr; // nested in pane 0
  ST_SplitterWnd *m_pVarSplitter = nullptr; // nested in pane 1
  std::array<QPointer<QWidget>, PaneKinds> m_panes;
  QMetaObject::Connection m_focusConnection;
  bool m_bUnregistered = false;
  bool m_bSaveAnswered = false;
};

// The state icons, our own drawings.
QIcon StateIconImage(int icon);
