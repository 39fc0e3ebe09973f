// The main frame's menus, toolbar, command enabling and the commands it
// runs itself.

#include "frame/MainFrm.h"

#include "frame/ChildFrm.h"
#include "frame/CommandTable.h"
#include "frame/FrameCodes.h"
#include "frame/LockKeys.h"
#include "frame/PrefsPages.h"
#include "frame/StatusBarCtrls.h"

#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/Prompter.h"
#include "platform/ScreenFit.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "views/MultiPagePreview.h"
#include "views/ParListPrint.h"
#include "views/PrintSetup.h"

#include <QAction>
#include <QScopeGuard>
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMdiSubWindow>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QStatusBar>

namespace {

// One line of the menus: its menu, command, label, shortcut. Menus are
// built from here, again at every language switch.
struct MenuEntry {
  int menu; // index into kMenus
  int id;   // 0: separator
  unsigned label;
  const char *shortcut;
};
enum { MenuFile, MenuBoard, MenuView, MenuWindow, MenuLanguage, MenuHelp };
constexpr unsigned kMenus[] = {IDS_MENU_FILE,   IDS_MENU_BOARD,    IDS_MENU_VIEW,
                               IDS_MENU_WINDOW, IDS_MENU_LANGUAGE, IDS_MENU_HELP};
constexpr MenuEntry kMenuTable[] = {
    {MenuFile, Cmd::FileOpen, IDS_CMD_OPEN, "Ctrl+O"},
    {MenuFile, Cmd::FileSave, IDS_MENU_SAVE, "Ctrl+S"},
    {MenuFile, Cmd::FileSaveAs, IDS_SAVE_AS, nullptr},
    {MenuFile, Cmd::FileClose, IDS_MENU_CLOSE, nullptr},
    {MenuFile, 0, 0, nullptr},
    {MenuFile, Cmd::FilePrint, IDS_MENU_PRINT, "Ctrl+P"},
    {MenuFile, Cmd::FilePrintPreview, IDS_MENU_PRINT_PREVIEW, nullptr},
    {MenuFile, Cmd::FilePrintSetup, IDS_MENU_PRINT_SETUP, nullptr},
    {MenuFile, 0, 0, nullptr},
    {MenuFile, Cmd::ImportFile, IDS_MENU_FILE_IMPORT, nullptr},
    {MenuFile, Cmd::CompareFile, IDS_MENU_FILE_COMPARE, nullptr},
    {MenuFile, 0, 0, nullptr},
    {MenuFile, Cmd::BackupAll, IDS_CMD_BACKUP, nullptr},
    {MenuFile, Cmd::MemorizeAllToEEP, IDS_CMD_EEP_MEMORIZE, nullptr},
    {MenuFile, 0, 0, nullptr},
    {MenuFile, Cmd::AppExit, IDS_MENU_EXIT, nullptr},
    {MenuBoard, Cmd::OnLine, IDS_CMD_ONLINE, nullptr},
    {MenuBoard, Cmd::Undo, IDS_MENU_UNDO, "Ctrl+Z"},
    {MenuBoard, 0, 0, nullptr},
    {MenuBoard, Cmd::ReadAll, IDS_MENU_READ_ALL, nullptr},
    {MenuBoard, Cmd::WriteAll, IDS_MENU_WRITE_ALL, nullptr},
    {MenuBoard, 0, 0, nullptr},
    {MenuBoard, Cmd::EepSave1, IDS_MENU_EEP_SAVE1, nullptr},
    {MenuBoard, Cmd::EepLoad1, IDS_MENU_EEP_LOAD1, nullptr},
    {MenuBoard, Cmd::EepSave2, IDS_MENU_EEP_SAVE2, nullptr},
    {MenuBoard, Cmd::EepLoad2, IDS_MENU_EEP_LOAD2, nullptr},
    {MenuBoard, Cmd::DefLoad, IDS_MENU_DEF_LOAD, nullptr},
    {MenuBoard, 0, 0, nullptr},
    {MenuBoard, Cmd::InitDescriptions, IDS_MENU_INITIALIZE, nullptr},
    {MenuBoard, Cmd::InitLanguage, IDS_MENU_INIT_LANGUAGE, nullptr},
    {MenuBoard, 0, 0, nullptr},
    {MenuBoard, Cmd::FindFirstModified, IDS_MENU_FIND_FIRST_MODIFIED, nullptr},
    {MenuBoard, Cmd::FindNextModified, IDS_MENU_FIND_NEXT, nullptr},
    {MenuBoard, Cmd::FindPrevModified, IDS_MENU_FIND_PREVIOUS, nullptr},
    {MenuView, Cmd::ToggleUnits, IDS_MENU_INTERNAL_UNITS, nullptr},
    {MenuView, Cmd::EnableAllTestpoints, IDS_CMD_TESTPOINTS, nullptr},
    {MenuView, Cmd::Find, IDS_CMD_FIND, "Ctrl+F"},
    {MenuView, Cmd::ReadBuffer, IDS_CMD_READ_BUFFER, nullptr},
    {MenuView, 0, 0, nullptr},
    {MenuView, Cmd::Options, IDS_MENU_OPTIONS, nullptr},
    {MenuWindow, Cmd::WindowCascade, IDS_MENU_CASCADE, nullptr},
    {MenuWindow, Cmd::WindowTile, IDS_MENU_TILE, nullptr},
    {MenuLanguage, Cmd::English, IDS_MENU_ENGLISH, nullptr},
    {MenuLanguage, Cmd::Italian, IDS_MENU_ITALIAN, nullptr},
    {MenuHelp, Cmd::InternetUpdate, IDS_CMD_INTERNET_UPDATE, nullptr},
    {MenuHelp, Cmd::AppAbout, IDS_CMD_INFO_MAIL, nullptr},
};

// Toolbar 100 from left to right (0: separator); the last place holds the
// address box.
constexpr int kToolbarLayout[] = {
    Cmd::FileNew,
    0,
    Cmd::FileOpen,
    Cmd::FileSaveAs,
    0,
    Cmd::FilePrintPreview,
    Cmd::FilePrint,
    0,
    Cmd::Search,
    0,
    Cmd::Find,
    Cmd::FindPrevModified,
    Cmd::FindFirstModified,
    Cmd::FindNextModified,
    0,
    Cmd::EnableAllTestpoints,
    Cmd::ToggleUnits,
    Cmd::InitLanguage,
    0,
    Cmd::ReadBuffer,
    0,
    Cmd::Undo,
    0,
    Cmd::ReadAll,
    Cmd::WriteAll,
    0,
    Cmd::EepSave1,
    Cmd::EepLoad1,
    0,
    Cmd::EepSave2,
    Cmd::EepLoad2,
    0,
    Cmd::DefLoad,
    0,
    Cmd::InitDescriptions,
    0,
    Cmd::Reset,
    0,
    Cmd::OnLine,
    Cmd::AddressPlace,
};

// The string of a command: prompt, then after a line feed its tooltip.
QString CommandString(int id)
{
  QString text;
  if (id <= 0 || !StringTable::Instance().Lookup(static_cast<unsigned>(id), &text))
    return {};
  return text;
}

// A string with no tooltip part is the menu text itself: shown as a prompt
// or tooltip, "&x" reads x and "&&" one ampersand.
QString WithoutMnemonic(const QString &text)
{
  QString plain;
  plain.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size())
      ++i;
    plain += text[i];
  }
  return plain;
}

// The picture of a toolbar button: our own drawings at 1x, 1.5x and 2x.
QIcon ToolbarIcon(int id)
{
  QIcon icon;
  const QString base = QStringLiteral(":/toolbar/%1").arg(id);
  icon.addFile(base + QStringLiteral(".png"), QSize(16, 16));
  icon.addFile(base + QStringLiteral("-24.png"), QSize(24, 24));
  icon.addFile(base + QStringLiteral("-32.png"), QSize(32, 32));
  return icon;
}

// Keeps the command states right at the moment of use and the lock panes
// current: a shortcut fires only when its action is enabled, so the states
// are recomputed before the shortcut map looks at them.
class CCommandStateFilter : public QObject {
public:
  explicit CCommandStateFilter(CMainFrame *frame) : QObject(frame), m_frame(frame) {}

protected:
  bool eventFilter(QObject *watched, QEvent *event) override
  {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
      if (InFrame(watched))
        m_frame->UpdateCommandStates();
      break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      m_frame->UpdateLockPanes();
      break;
    case QEvent::WindowActivate:
      if (watched == m_frame) {
        m_frame->UpdateLockPanes();
        m_frame->UpdateCommandStates();
      }
      break;
    default:
      break;
    }
    return false;
  }

private:
  bool InFrame(QObject *watched) const
  {
    auto *widget = qobject_cast<QWidget *>(watched);
    return widget && widget->window() == m_frame;
  }

  CMainFrame *m_frame;
};

} // namespace

QString CMainFrame::CommandPrompt(int id)
{
  const QString text = CommandString(id);
  const int lf = text.indexOf(u'\n');
  return lf < 0 ? WithoutMnemonic(text) : text.left(lf);
}

QString CMainFrame::CommandTooltip(int id)
{
  const QString text = CommandString(id);
  const int lf = text.indexOf(u'\n');
  return lf < 0 ? WithoutMnemonic(text) : text.mid(lf + 1);
}

void CMainFrame::CreateToolBar()
{
  m_pToolbar = new CMainToolbar(this);
  addToolBar(Qt::TopToolBarArea, m_pToolbar);
  connect(m_pToolbar, &CMainToolbar::addressEntered, this, &CMainFrame::ForwardToolbarValue);
  m_pToolbar->AddressAction()->setData(int(Cmd::AddressPlace));
  // The states follow what they depend on: keys, activation, the level.
  qApp->installEventFilter(new CCommandStateFilter(this));
  if (m_pSlider)
    connect(m_pSlider, &CExtStatusBarSliderCtrl::visLevelChanged, this, &CMainFrame::UpdateCommandStates);
}

void CMainFrame::CreateLockPanes()
{
  for (int id : {CLockPane::kCapsId, CLockPane::kNumId}) {
    auto *pane = new CLockPane(id, statusBar());
    m_panes[id] = pane;
    statusBar()->addPermanentWidget(pane);
  }
  // The server says when a lock changes; without it the key and activation
  // events below keep the panes current.
  WatchKeyboardLocks(this, [this] { UpdateLockPanes(); });
  UpdateLockPanes();
}

void CMainFrame::UpdateLockPanes()
{
  const unsigned locks = CLockPane::ReadLocks();
  for (int id : {CLockPane::kCapsId, CLockPane::kNumId})
    if (auto *pane = qobject_cast<CLockPane *>(Pane(id)))
      pane->Show(locks);
}

void CMainFrame::BuildMenus()
{
  // clear() only takes the menus off the bar. They go later, not at once:
  // a language switch comes from an item of one of them.
  for (QMenu *menu : menuBar()->findChildren<QMenu *>(Qt::FindDirectChildrenOnly))
    menu->deleteLater();
  menuBar()->clear();
  for (auto &[id, action] : m_actions) {
    if (m_pToolbar)
      m_pToolbar->removeAction(action);
    action->deleteLater();
  }
  m_actions.clear();
  std::vector<QMenu *> menus;
  for (unsigned label : kMenus) {
    QMenu *menu = menuBar()->addMenu(LoadStr(label));
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    menus.push_back(menu);
  }
  auto makeAction = [this](int id, const QString &text) {
    auto *action = new QAction(text, this);
    action->setData(id);
    action->setStatusTip(CommandPrompt(id));
    action->setToolTip(CommandTooltip(id));
    const commands::Row *row = commands::Find(id);
    action->setCheckable(row && row->checked);
    m_actions[id] = action;
    return action;
  };
  for (const MenuEntry &e : kMenuTable) {
    QMenu *menu = menus[static_cast<std::size_t>(e.menu)];
    if (e.id == 0) {
      menu->addSeparator();
      continue;
    }
    QAction *action = makeAction(e.id, LoadStr(e.label));
    menu->addAction(action);
    if (e.shortcut)
      action->setShortcut(QKeySequence(QString::fromLatin1(e.shortcut)));
    const int id = e.id;
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  // The recent files, listed afresh each time the File menu opens.
  QMenu *recent = new QMenu(LoadStr(IDS_MENU_RECENT_FILES), menus[MenuFile]);
  menus[MenuFile]->insertMenu(Action(Cmd::AppExit), recent);
  menus[MenuFile]->insertSeparator(Action(Cmd::AppExit));
  connect(menus[MenuFile], &QMenu::aboutToShow, this, [this, recent] {
    recent->clear();
    const QStringList files = m_recentList ? m_recentList() : QStringList();
    for (int i = 0; i < files.size(); ++i)
      connect(recent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(files[i])), &QAction::triggered, this,
              [this, i] {
                if (m_recentOpen)
                  m_recentOpen(i);
              });
    recent->setEnabled(!files.isEmpty());
  });
  // Buttons of the toolbar that no menu holds.
  for (int id : kToolbarLayout) {
    if (id == 0 || id == Cmd::AddressPlace || Action(id))
      continue;
    QAction *action = makeAction(id, CommandPrompt(id));
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  LayoutToolbar();
  UpdateLockPanes();
  UpdateCommandStates();
}

void CMainFrame::LayoutToolbar()
{
  if (!m_pToolbar)
    return;
  QAction *place = m_pToolbar->AddressAction();
  for (QAction *action : m_pToolbar->actions()) {
    if (action == place)
      continue;
    m_pToolbar->removeAction(action);
    if (action->isSeparator())
      delete action;
  }
  for (int id : kToolbarLayout) {
    if (id == Cmd::AddressPlace)
      continue;
    if (id == 0) {
      m_pToolbar->insertSeparator(place);
      continue;
    }
    if (QAction *action = Action(id)) {
      action->setIcon(ToolbarIcon(id));
      action->setIconVisibleInMenu(false);
      m_pToolbar->insertAction(place, action);
    }
  }
}

QAction *CMainFrame::Action(int id) const
{
  auto it = m_actions.find(id);
  return it == m_actions.end() ? nullptr : it->second;
}

bool CMainFrame::IsCommandEnabled(int id, bool *checked) const
{
  const commands::Row *row = commands::Find(id);
  if (!row) {
    if (checked)
      *checked = false;
    return true;
  }
  commands::State state{this, nullptr};
  if (row->scope == commands::Scope::Board)
    state.board = WindowRegistry::Instance().ResolveAs<CChildFrame>(m_hActiveChild);
  return commands::IsEnabled(*row, state, checked);
}

void CMainFrame::UpdateCommandStates()
{
  for (auto &[id, action] : m_actions) {
    bool checked = false;
    action->setEnabled(IsCommandEnabled(id, &checked));
    if (action->isCheckable())
      action->setChecked(checked);
  }
}

void CMainFrame::WatchDocument(CQelDoc *doc)
{
  if (doc)
    connect(doc, &CDocument::modifiedChanged, this, &CMainFrame::UpdateCommandStates);
}

// ---- commands -------------------------------------------------------------------

namespace {

CChildFrame *ActiveChildFrame(const CMainFrame &frame)
{
  return WindowRegistry::Instance().ResolveAs<CChildFrame>(frame.GetActiveChild());
}

} // namespace

void CMainFrame::OnCommand(int id)
{
  // Whatever the command did, or if it was refused, the states follow.
  const auto refresh = qScopeGuard([this] { UpdateCommandStates(); });
  const commands::Row *row = commands::Find(id);
  if (!row || !IsCommandEnabled(id))
    return;
  if (row->scope == commands::Scope::Board) {
    if (CChildFrame *child = ActiveChildFrame(*this))
      child->OnCommand(id);
    return;
  }
  row->run({this, nullptr, id});
}

void CMainFrame::RunAppCommand(int id)
{
  if (auto it = m_appCommands.find(id); it != m_appCommands.end() && it->second)
    it->second();
}

void CMainFrame::OnPrintCommand(int id)
{
  CPrintSetup &setup = CPrintSetup::ForApp();
  if (id == Cmd::FilePrintSetup) {
    QPrinter &printer = setup.GetPrinter();
    QPageSetupDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
      setup.SetPrintOrientation(printer.pageLayout().orientation() == QPageLayout::Landscape
                                    ? CPrintSetup::DMORIENT_LANDSCAPE
                                    : CPrintSetup::DMORIENT_PORTRAIT);
    return;
  }
  CChildFrame *child = ActiveChildFrame(*this);
  CQelDoc *doc = child ? child->GetDocument() : nullptr;
  if (!doc)
    return;
  if (id == Cmd::FilePrint)
    CParListPrint::OnFilePrint(*doc, setup, this);
  else if (QWidget *preview = CParListPrint::OnFilePrintPreview(*doc, setup, this))
    vtx::KeepOnScreen(preview);
}

void CMainFrame::OnEnableAllTestpoints()
{
  if (m_hActiveChild == kNoWindow)
    return;
  const int now = m_pOptions->TP_Autofilling.Get() == 0 ? 1 : 0;
  m_pOptions->TP_Autofilling.Set(now);
  if (QAction *tp = Action(Cmd::EnableAllTestpoints))
    tp->setChecked(now == 0);
  for (WindowId child : ChildrenCopy())
    if (IBoardWindow *board = Child(child))
      board->SetTestpoints(now == 0);
}

void CMainFrame::OnFileSaveAs()
{
  if (m_hActiveChild == kNoWindow)
    return;
  if (IBoardWindow *active = Child(m_hActiveChild))
    active->SaveAs();
  UpdateTabs();
}

void CMainFrame::OnFileOpen(const QString &path)
{
  QString chosen = path;
  if (chosen.isEmpty()) {
    FileDialogRequest request;
    request.open = true;
    request.filter = LoadStr(IDS_FILTER);
    request.defaultExtension = QStringLiteral("vtx");
    request.fileMustExist = true;
    chosen = Prompter::Instance().FileDialog(request, this);
    if (chosen.isEmpty())
      return;
  }
  if (m_openDocument)
    m_openDocument(chosen);
}

void CMainFrame::OnOptions()
{
  RunPreferencesDialog(this, *m_pOptions);
}

void CMainFrame::OnFind()
{
  if (m_pFindDialog) {
    m_pFindDialog->show();
    m_pFindDialog->raise();
  }
}

void CMainFrame::OnReadBuffer()
{
  if (m_pGenMemBuff) {
    if (Child(m_hActiveChild))
      AttachTraceManager(m_hActiveChild);
    m_pGenMemBuff->Window()->showNormal();
    m_pGenMemBuff->Window()->raise();
  }
}
