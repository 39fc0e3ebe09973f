#include "frame/ChildFrm.h"

#include "frame/BoardDialogs.h"
#include "frame/CommandTable.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"
#include "frame/SplitterWnd.h"

#include "model/DescLine.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/Options.h"
#include "platform/Prompter.h"
#include "platform/StringIds.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QPixmap>

#include <map>
#include <utility>

namespace {

std::array<CChildFrame::PaneFactory, CChildFrame::PaneKinds> &Factories()
{
  static std::array<CChildFrame::PaneFactory, CChildFrame::PaneKinds> factories;
  return factories;
}

QWidget *MakePane(CChildFrame::PaneKind kind, CQelDoc &doc, CChildFrame &frame)
{
  if (const auto &factory = Factories()[kind]) {
    if (QWidget *w = factory(doc, frame))
      return w;
  }
  // Until the views are plugged in: an empty pane of the right kind.
  static const char *const names[] = {"ParTreePane", "ParListPane", "VarTreePane", "VarListPane"};
  auto *placeholder = new QWidget;
  placeholder->setObjectName(QString::fromLatin1(names[kind]));
  placeholder->setAutoFillBackground(true);
  return placeholder;
}

} // namespace

namespace {

QIcon DrawStateIcon(int icon)
{
  QColor colour(0x90, 0x90, 0x90);
  switch (icon) {
  case StateIcon::ErrorStop:
  case StateIcon::ErrorRun:
  case StateIcon::Error:
    colour = QColor(0xD0, 0x20, 0x20);
    break;
  case StateIcon::WarningStop:
  case StateIcon::WarningRun:
  case StateIcon::Warning:
    colour = QColor(0xE0, 0xB0, 0x10);
    break;
  case StateIcon::OkStop:
  case StateIcon::OkRun:
  case StateIcon::Ok:
    colour = QColor(0x20, 0xA0, 0x30);
    break;
  default:
    break;
  }
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(colour.darker(160), 1));
  p.setBrush(colour);
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  if (icon == StateIcon::ErrorStop || icon == StateIcon::WarningStop || icon == StateIcon::OkStop) {
    p.drawRect(QRectF(5, 5, 6, 6)); // stopped
  } else if (icon == StateIcon::ErrorRun || icon == StateIcon::WarningRun || icon == StateIcon::OkRun) {
    const QPointF run[] = {{6, 4.5}, {11.5, 8}, {6, 11.5}};
    p.drawPolygon(run, 3); // running
  }
  return QIcon(pixmap);
}

} // namespace

QIcon StateIconImage(int icon)
{
  // Each state's icon is drawn once: a new icon at every status report would
  // put a new pixmap into Qt's pixmap cache at every repaint of the tabs.
  // Never freed: no pixmap may be destroyed after the application object.
  static auto *icons = new std::map<int, QIcon>;
  auto it = icons->find(icon);
  if (it == icons->end())
    it = icons->emplace(icon, DrawStateIcon(icon)).first;
  return it->second;
}

void CChildFrame::SetPaneFactory(PaneKind kind, PaneFactory factory)
{
  if (kind >= 0 && kind < PaneKinds)
    Factories()[kind] = std::move(factory);
}

CChildFrame::CChildFrame(CMainFrame *main, CQelDoc *doc)
    : QMdiSubWindow(nullptr), CChildConn(WindowRegistry::Instance().Register(static_cast<QObject *>(this)), main),
      m_pMain(main)
{
  SetHooks(this);
  setAttribute(Qt::WA_DeleteOnClose);
  SetConnDocument(doc);
  if (doc) {
    doc->SetHost(main);
    setWindowTitle(doc->GetTitle());
    connect(doc, &CDocument::titleChanged, this, [this](const QString &title) {
      setWindowTitle(title);
      if (m_pMain)
        m_pMain->UpdateTabs();
    });
    // A document that goes first leaves the window without one, never dangling.
    connect(doc, &QObject::destroyed, this, [this] { SetConnDocument(nullptr); });
  }
  m_focusConnection = connect(qApp, &QApplication::focusChanged, this, &CChildFrame::OnFocusChanged);
  OnCreateClient();
}

CChildFrame::~CChildFrame()
{
  // Focus moves while the base class deletes the panes.
  disconnect(m_focusConnection);
  if (CQelDoc *doc = GetDocument()) {
    // The document may die while the window's base class still runs (its
    // close follows the window's destroyed signal): nothing of it may reach
    // this object any more.
    disconnect(doc, nullptr, this, nullptr);
    // Gone without a request: the board is simply no longer shown.
    doc->MarkOffline();
    if (doc->GetAnswerWindow() == this)
      doc->SetAnswerWindow(nullptr);
  }
  if (m_pMain) {
    m_pMain->UnregisterChild(GetAnswerWindow());
    // Also when deleted without a close: pane sizes and column widths are
    // kept while the main frame's settings still live.
    NotifyMainFrame();
  }
  WindowRegistry::Instance().Unregister(GetAnswerWindow());
  SetConnDocument(nullptr);
  // The bases outlive this part of the window.
  SetHooks(nullptr);
}

void CChildFrame::OnCreateClient()
{
  if (m_pMain)
    m_pMain->RegisterChild(GetAnswerWindow());
  CQelDoc *doc = GetDocument();
  if (!doc)
    return;
  // The parameter list first: it is the document's first view.
  QWidget *parList = MakePane(ParList, *doc, *this);
  QWidget *parTree = MakePane(ParTree, *doc, *this);
  QWidget *varTree = MakePane(VarTree, *doc, *this);
  QWidget *varList = MakePane(VarList, *doc, *this);
  m_panes = {parTree, parList, varTree, varList};

  m_pSplitter = new ST_SplitterWnd(0);
  m_pSplitter->Create(nullptr, nullptr, nullptr, true);
  // The variables (number 1) over each other on the right, the parameters
  // (number 2) side by side on the left: the numbers name the stored layouts.
  m_pVarSplitter = m_pSplitter->AddSubDivision(1, varTree, varList, 1, false);
  m_pParSplitter = m_pSplitter->AddSubDivision(0, parTree, parList, 2, true);
  setWidget(m_pSplitter);
  m_pSplitter->LoadPaneSizes(this);
  setWindowIcon(StateIconImage(StateIcon::Offline));
}

void CChildFrame::WriteParameterOnline(std::int16_t index, double value, bool marked)
{
  CQelDoc *doc = GetDocument();
  if (!doc || !doc->IsOnline())
    return;
  WriteParameter(static_cast<std::uint16_t>(index), value, 1, marked ? 1 : 0);
}

void CChildFrame::OnDescriptionLoaded()
{
  if (CQelDoc *doc = GetDocument())
    setWindowTitle(doc->GetTitle());
  SetStateIcon(StateIconId());
  ShowStatusText();
}

void CChildFrame::ActivateFrame()
{
  CQelDoc *doc = GetDocument();
  if (!doc || !m_pMain)
    return;
  doc->SetAnswerWindow(this);
  doc->SetTestpoints(static_cast<std::uint32_t>(m_pMain->TestpointQuery()));
  // The trace manager works with the board's settings: a value changed
  // offline and not yet sent gives way to the last one the board had.
  for (std::int16_t index : {doc->GetDiagnTsPar(), doc->GetTrigPosPar(), doc->GetTrigNegPar(), doc->GetTrigDelayPar()})
    if (index > 0) {
      const Parametri &par = doc->GetPar(index);
      SetSpecialParValue(
          index, SaturateToLong(par.GetValue(par.IsOfflineChange() ? Parametri::SEL_OLD : Parametri::SEL_VALUE)));
    }
  ShowStatusText();
  NotifyMainFrame();
  m_pMain->SetActiveChild(GetAnswerWindow());
  ShowStatusText();
}

void CChildFrame::ShowStatusText()
{
  CQelDoc *doc = GetDocument();
  if (!doc || !m_pMain)
    return;
  CMainFrame::StatusValues values;
  values.address = doc->GetSlaveAddress();
  values.message = doc->GetStatusText();
  values.helpFile = doc->GetManualName();
  values.firmware = doc->GetVersion();
  values.document = doc;
  values.items = GetTraceItems();
  m_pMain->UpdateStatus(GetAnswerWindow(), values);
  UpdateWinCmdText();
}

void CChildFrame::UpdateWinCmdText()
{
  CQelDoc *doc = GetDocument();
  if (!doc || !m_pMain || m_pMain->GetActiveChild() != GetAnswerWindow())
    return;
  const int action = WinCmdAction();
  const auto w = static_cast<std::int16_t>(doc->GetWinCmdValue());
  m_pMain->ShowWinCmd(action, action == WinCmdShow::ShowText ? doc->GetWinCmdText(w) : QString(), w);
}

void CChildFrame::SetStateIcon(int icon)
{
  setWindowIcon(StateIconImage(icon));
  if (m_pMain)
    m_pMain->UpdateTabs();
}

void CChildFrame::FillParList()
{
  if (auto *list = dynamic_cast<IDocParList *>(m_panes[ParList].data()))
    list->FillList();
}

void CChildFrame::RefillParRows(const std::vector<std::uint16_t> &pars)
{
  if (auto *list = dynamic_cast<IDocParList *>(m_panes[ParList].data()))
    list->RefillRows(pars);
}

void CChildFrame::AfterAnswers(std::function<void()> call)
{
  if (m_pMain)
    m_pMain->AfterAnswers(this, std::move(call));
  else
    call();
}

void CChildFrame::RecolorParList()
{
  if (auto *list = dynamic_cast<IDocParList *>(m_panes[ParList].data()))
    list->RecolorAll();
}

void CChildFrame::OnWentOffline()
{
  if (!m_pMain)
    return;
  m_pMain->RefreshGenMemBuff(GetAnswerWindow());
  m_pMain->UpdateTabs();
  update();
}

void CChildFrame::NotifyMainFrame()
{
  CQelDoc *doc = GetDocument();
  if (!doc)
    return;
  if (m_pSplitter && m_pMain)
    m_pSplitter->SendPaneSizes(m_pMain, PaneCode::Store);
  doc->UpdateAllViews(nullptr, FrameHint::Layout);
}

void CChildFrame::PaneLayout(int code, SplitterLayout &layout)
{
  if (code == PaneCode::Load && m_pMain)
    m_pMain->PaneLayout(code, layout);
}

int CChildFrame::ChooseDefaultSet(const QStringList &names)
{
  CLoadDefault dialog(this, names);
  return BoardModal::Run(dialog) == IDOK ? dialog.GetSelection() : -1;
}

QString CChildFrame::ChooseLanguage(const QStringList &codes, const QString &current)
{
  CLanguageSelect dialog(this, codes, current);
  return BoardModal::Run(dialog) == IDOK ? dialog.GetCurrent() : QString();
}

void CChildFrame::StoreInitializeLanguage(const QString &code)
{
  if (!m_pMain)
    return;
  m_pMain->GetOptions().InitializeLanguage.SetValue(code);
  m_pMain->GetOptions().InitializeLanguage.Save();
}

int CChildFrame::VisLevel() const
{
  return m_pMain ? m_pMain->GetOptions().VisLevel.Get() : 0;
}

bool CChildFrame::OnCommand(int id)
{
  return commands::RunBoardCommand(*this, id);
}

void CChildFrame::OnFocusChanged(QWidget *old, QWidget *now)
{
  // Focus coming in from outside the window (the main window activated
  // again, a click on a window that already was the active one); moves
  // between its own panes change nothing.
  const auto inside = [this](QWidget *w) { return w && (w == this || isAncestorOf(w)); };
  if (!inside(now) || inside(old))
    return;
  if (m_pMain)
    m_pMain->SetActiveChild(GetAnswerWindow());
  ShowStatusText();
}

bool CChildFrame::SaveModified()
{
  CQelDoc *doc = GetDocument();
  if (m_bSaveAnswered || !doc || !doc->IsModified())
    return true;
  const int answer = Prompter::Instance().MessageBox(LoadStrFormat(IDS_ASK_SAVE_CHANGES, doc->GetTitle()), QString(),
                                                     MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL)
    return false;
  if (answer == IDYES)
    return doc->DoSave(doc->GetPathName(), true);
  return true;
}

void CChildFrame::closeEvent(QCloseEvent *event)
{
  // A running write all stops only when the user agrees; No keeps the
  // window, online, and the write all going.
  if (!AskStopWriteAll()) {
    event->ignore();
    return;
  }
  // Offline first: a window kept open by Cancel stays offline, and says so.
  // The question took the place of the box.
  GoOfflineSilently();
  UpdateWinCmdText();
  if (m_pParSplitter && m_pParSplitter->IsPaneHidden(0))
    m_pParSplitter->TogglePane(0);
  if (m_pSplitter && m_pSplitter->IsPaneHidden(1))
    m_pSplitter->TogglePane(1);
  NotifyMainFrame();
  if (!SaveModified()) {
    event->ignore();
    return;
  }
  QMdiSubWindow::closeEvent(event);
  if (event->isAccepted() && m_pMain)
    m_pMain->OnChildClosed(this);
}
