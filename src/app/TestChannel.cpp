#include "app/TestChannel.h"

#include "chart/ChartCtrl.h"
#include "controls/XListCtrl.h"
#include "frame/ChildFrm.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"
#include "frame/QelApp.h"
#include "frame/StatusBarCtrls.h"
#include "model/QelDoc.h"
#include "trace/GenMemBuff.h"
#include "views/ListaPar.h"
#include "views/ParListPrint.h"
#include "views/ParTreeView.h"
#include "views/VarListView.h"
#include "views/VarTreeView.h"
#include "views/ViewState.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPrinter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include <cstdio>

namespace {

// The status panes in their order on the bar: message, help, firmware, tag,
// caps lock, num lock.
constexpr int kPanes[] = {554, 555, 512, 692, 59137, 59138};

CChildFrame *ActiveChild(CMainFrame &frame)
{
  if (auto *child = qobject_cast<CChildFrame *>(frame.MdiArea()->activeSubWindow()))
    return child;
  const QList<QMdiSubWindow *> windows = frame.MdiArea()->subWindowList();
  return windows.isEmpty() ? nullptr : qobject_cast<CChildFrame *>(windows.first());
}

template <class View> View *FindView(CMainFrame &frame)
{
  CChildFrame *child = ActiveChild(frame);
  return child ? child->findChild<View *>() : nullptr;
}

// Tabs and line ends would break the answer's fields.
QString Flat(QString text)
{
  return text.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
}

QString Ok(const QString &text = QString())
{
  return text.isEmpty() ? QStringLiteral("OK") : QStringLiteral("OK ") + text;
}

QString Err(const QString &text)
{
  return QStringLiteral("ERR ") + text;
}

bool ToInt(const QString &text, int &value)
{
  bool ok = false;
  value = text.toInt(&ok);
  return ok;
}

// "ROW COL" cell of a list, its centre on the screen.
QString CellRect(CXListCtrl *list, int row, int col)
{
  QRect rect;
  if (!list->EnsureVisible(row, false) || !list->GetSubItemRect(row, col, xl::LVIR_BOUNDS, rect))
    return Err(QStringLiteral("no cell"));
  const QPoint centre = list->ClientToScreen(rect.center());
  return Ok(QStringLiteral("%1 %2 %3 %4").arg(centre.x()).arg(centre.y()).arg(rect.width()).arg(rect.height()));
}

QString CellText(CXListCtrl *list, int row, int col)
{
  if (row < 0 || row >= list->GetItemCount() || col < 0 || col >= list->GetColumns())
    return Err(QStringLiteral("no cell"));
  return Ok(Flat(list->GetItemText(row, col)));
}

// The first row whose column holds exactly the text, or -1.
int FindRow(CXListCtrl *list, int col, const QString &text)
{
  for (int row = 0; row < list->GetItemCount(); ++row)
    if (list->GetItemText(row, col) == text)
      return row;
  return -1;
}

// One command line, split at its first space and again into words.
struct Request {
  CQelApp &app;
  QObject *context; // owns the queued work
  CMainFrame &frame;
  QString verb;
  QString rest;
  QStringList args;
};

QString Unknown(const Request &r)
{
  return Err(QStringLiteral("unknown command ") + r.verb);
}

QString RectText(const QRect &r)
{
  return QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QString Open(const Request &r)
{
  if (r.rest.isEmpty())
    return Err(QStringLiteral("open PATH"));
  QTimer::singleShot(0, r.context, [&app = r.app, path = r.rest] { app.OpenDocumentFile(path); });
  return Ok(QStringLiteral("queued"));
}

// "command ID" runs it, "enabled ID" tells its state.
QString Command(const Request &r)
{
  int id = 0;
  if (r.args.size() != 1 || !ToInt(r.args[0], id))
    return Err(r.verb + QStringLiteral(" ID"));
  bool checked = false;
  const bool enabled = r.frame.IsCommandEnabled(id, &checked);
  if (r.verb == u"enabled")
    return Ok(QStringLiteral("%1 %2").arg(enabled ? 1 : 0).arg(checked ? 1 : 0));
  if (!enabled)
    return Err(QStringLiteral("disabled"));
  // Through the menu's own action where there is one, as a click would.
  QTimer::singleShot(0, r.context, [guard = QPointer<CMainFrame>(&r.frame), id] {
    if (!guard)
      return;
    if (QAction *action = guard->Action(id))
      action->trigger();
    else
      guard->OnCommand(id);
  });
  return Ok(QStringLiteral("queued"));
}

QString Status(const Request &r)
{
  QStringList texts;
  for (int id : kPanes) {
    QLabel *pane = r.frame.Pane(id);
    texts << (pane ? Flat(pane->text()) : QString());
  }
  return Ok(texts.join(u'\t'));
}

QString Menus(const Request &r)
{
  QStringList titles;
  for (QAction *action : r.frame.menuBar()->actions())
    titles << Flat(action->text().remove(u'&'));
  return Ok(titles.join(u'\t'));
}

QString Title(const Request &r)
{
  return Ok(Flat(r.frame.windowTitle()));
}

QString Geometry(const Request &r)
{
  return Ok(RectText(r.frame.frameGeometry()));
}

QString Activate(const Request &r)
{
  r.frame.raise();
  r.frame.activateWindow();
  return Ok();
}

// The widget the keyboard goes to, with the text it holds if it is an editor.
QString Focus(const Request &)
{
  QWidget *w = QApplication::focusWidget();
  if (!w)
    return Ok(QStringLiteral("none"));
  QString text = QString::fromLatin1(w->metaObject()->className());
  if (auto *edit = qobject_cast<QLineEdit *>(w))
    text += QStringLiteral(" ") + Flat(edit->text());
  return Ok(text);
}

QString Children(const Request &r)
{
  return Ok(QString::number(r.frame.MdiArea()->subWindowList().size()));
}

QString ChildState(const Request &r)
{
  if (!ActiveChild(r.frame))
    return Err(QStringLiteral("no board window"));
  const WindowId child = r.frame.GetActiveChild();
  if (r.frame.QueryChild(child, BoardState::Online))
    return Ok(QStringLiteral("online"));
  return Ok(r.frame.QueryChild(child, BoardState::Connecting) ? QStringLiteral("connecting")
                                                              : QStringLiteral("offline"));
}

// 4 once a read all has finished, until the board goes offline.
QString ReadState(const Request &r)
{
  CChildFrame *child = ActiveChild(r.frame);
  if (!child)
    return Err(QStringLiteral("no board window"));
  return Ok(QString::number(child->GetReadState()));
}

CQelDoc *ActiveDocument(CMainFrame &frame)
{
  CChildFrame *child = ActiveChild(frame);
  return child ? child->GetDocument() : nullptr;
}

QString Modified(const Request &r)
{
  CQelDoc *doc = ActiveDocument(r.frame);
  if (!doc)
    return Err(QStringLiteral("no document"));
  return Ok(QStringLiteral("%1 %2").arg(doc->IsModified() ? 1 : 0).arg(doc->GetPathName()));
}

QString Dialogs(const Request &r)
{
  QStringList found;
  for (QWidget *w : QApplication::topLevelWidgets()) {
    if (w == &r.frame || !w->isVisible())
      continue;
    QString text = w->metaObject()->className() + QStringLiteral(":") + w->windowTitle() + QStringLiteral(":") +
                   QString::number(w->winId());
    if (auto *box = qobject_cast<QMessageBox *>(w))
      text += QStringLiteral(":") + box->text();
    found << Flat(text);
  }
  return Ok(found.join(u'\t'));
}

// The parameter list of the active board window: list-rows, list-find TEXT,
// list-cell ROW COL, list-rect ROW COL, edit-cell ROW COL TEXT.
QString ParameterList(const Request &r)
{
  CParListView *view = FindView<CParListView>(r.frame);
  if (!view)
    return Err(QStringLiteral("no parameter list"));
  CXListCtrl *list = view->GetListCtrl();
  int row = 0, col = 0;
  if (r.verb == u"list-rows")
    return Ok(QString::number(list->GetItemCount()));
  if (r.verb == u"list-find")
    return Ok(QString::number(FindRow(list, CParListView::COL_NAME, r.rest)));
  if (r.args.size() < 2 || !ToInt(r.args[0], row) || !ToInt(r.args[1], col))
    return Err(r.verb + QStringLiteral(" ROW COL"));
  if (r.verb == u"list-cell")
    return CellText(list, row, col);
  if (r.verb == u"list-rect")
    return CellRect(list, row, col);
  if (r.verb == u"edit-cell") {
    if (r.args.size() < 3 || row < 0 || row >= list->GetItemCount())
      return Err(QStringLiteral("edit-cell ROW COL TEXT"));
    // What the in-place editor leaves behind when it closes.
    list->SetItemText(row, col, r.args.mid(2).join(u' '));
    return Ok(QString::number(view->OnEndLabelEdit(row, col)));
  }
  return Unknown(r);
}

// The variable list: var-rows, var-find TEXT, var-cell ROW COL.
QString VariableList(const Request &r)
{
  CVarListView *view = FindView<CVarListView>(r.frame);
  if (!view)
    return Err(QStringLiteral("no variable list"));
  if (r.verb == u"var-rows")
    return Ok(QString::number(view->GetItemCount()));
  if (r.verb == u"var-find") {
    for (int row = 0; row < view->GetItemCount(); ++row)
      if (view->GetItemText(row, CVarListView::COL_NAME) == r.rest)
        return Ok(QString::number(row));
    return Ok(QStringLiteral("-1"));
  }
  int row = 0, col = 0;
  if (r.verb != u"var-cell" || r.args.size() != 2 || !ToInt(r.args[0], row) || !ToInt(r.args[1], col))
    return Err(QStringLiteral("var-cell ROW COL"));
  if (row < 0 || row >= view->GetItemCount() || col < 0 || col >= CVarListView::kColumns)
    return Err(QStringLiteral("no cell"));
  return Ok(Flat(view->GetItemText(row, col)));
}

QString TreeItems(const Request &r)
{
  CParTreeView *tree = FindView<CParTreeView>(r.frame);
  if (!tree)
    return Err(QStringLiteral("no parameter tree"));
  QStringList items;
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    items << QStringLiteral("%1=%2").arg((*it)->data(0, CBlockTreeView::KeyRole).toInt()).arg(Flat((*it)->text(0)));
  return Ok(items.join(u'\t'));
}

QString SelectBlock(const Request &r)
{
  CParTreeView *tree = FindView<CParTreeView>(r.frame);
  if (!tree)
    return Err(QStringLiteral("no parameter tree"));
  int key = 0;
  if (!ToInt(r.rest, key))
    return Err(QStringLiteral("select-block ID"));
  QTreeWidgetItem *item = tree->ItemOfKey(key);
  if (!item)
    return Err(QStringLiteral("no block %1").arg(key));
  tree->setCurrentItem(item);
  return Ok();
}

// The variable tree: tree-var-rect NAME gives the centre of the variable's
// item on the screen; tree-drag gives "1 TARGET" while a variable is dragged
// (the parameter under it, "-" for none), else "0".
QString VariableTree(const Request &r)
{
  CVarTreeView *tree = FindView<CVarTreeView>(r.frame);
  CQelDoc *doc = ActiveDocument(r.frame);
  if (!tree || !doc)
    return Err(QStringLiteral("no variable tree"));
  if (r.verb == u"tree-drag") {
    if (!tree->IsDragging())
      return Ok(QStringLiteral("0"));
    const int par = views::drag::TargetPar(*doc);
    return Ok(QStringLiteral("1 ") +
              (par >= 0 && par < doc->GetParCount() ? doc->GetPar(par).GetName() : QStringLiteral("-")));
  }
  for (QTreeWidgetItemIterator it(tree); *it; ++it) {
    if ((*it)->text(0) != r.rest || (*it)->childCount() > 0)
      continue;
    tree->scrollToItem(*it);
    const QRect rect = tree->visualItemRect(*it);
    const QPoint centre = tree->viewport()->mapToGlobal(rect.center());
    return Ok(QStringLiteral("%1 %2").arg(centre.x()).arg(centre.y()));
  }
  return Err(QStringLiteral("no variable ") + r.rest);
}

// The level slider's channel on the screen.
QString SliderRect(const Request &r)
{
  CExtStatusBarSliderCtrl *slider = r.frame.Slider();
  if (!slider || !slider->isVisible())
    return Err(QStringLiteral("no level slider"));
  const QRect channel = slider->ChannelRect();
  return Ok(RectText(QRect(slider->mapToGlobal(channel.topLeft()), channel.size())) + QStringLiteral(" ") +
            QString::number(slider->value()));
}

QString TraceState(const Request &r)
{
  ITraceManager *trace = r.frame.GetTraceManager();
  int charts = 0;
  for (QWidget *w : QApplication::allWidgets())
    if (qobject_cast<CChartCtrl *>(w) && w->isVisible())
      ++charts;
  return Ok(QStringLiteral("state=%1 buffers=%2 charts=%3")
                .arg(trace ? trace->GetState() : -1)
                .arg(trace ? trace->GetBufferCount() : -1)
                .arg(charts));
}

// Where the manager's Download button is, for a real click.
QString TraceButton(const Request &r)
{
  ITraceManager *trace = r.frame.GetTraceManager();
  auto *manager = trace ? qobject_cast<CGenMemBuff *>(trace->Window()) : nullptr;
  QWidget *button = manager ? manager->GetDlgItem(CGenMemBuff::IDC_DOWNLOAD) : nullptr;
  if (!button || !button->isVisible())
    return Err(QStringLiteral("no download button on the screen"));
  const QPoint centre = button->mapToGlobal(button->rect().center());
  return Ok(QStringLiteral("%1 %2 %3").arg(centre.x()).arg(centre.y()).arg(button->isEnabled() ? 1 : 0));
}

QString Save(const Request &r)
{
  CQelDoc *doc = ActiveDocument(r.frame);
  if (!doc || r.rest.isEmpty())
    return Err(QStringLiteral("save PATH, with a board window"));
  // Straight to the file; the Save command itself asks for the name.
  return doc->OnSaveDocument(r.rest) ? Ok() : Err(QStringLiteral("not saved"));
}

// The program's own Print command, with a PDF file where the print dialog
// would choose the printer.
QString PrintPdf(const Request &r)
{
  if (r.rest.isEmpty() || !r.frame.IsCommandEnabled(Cmd::FilePrint))
    return Err(QStringLiteral("print-pdf PATH, with a board window"));
  const QString path = r.rest;
  bool asked = false;
  CParListPrint::PrintDialogHook previous =
      CParListPrint::SetPrintDialogHook([path, &asked](QPrinter &printer, QWidget *) {
        asked = true;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        return true;
      });
  if (QAction *action = r.frame.Action(Cmd::FilePrint))
    action->trigger();
  else
    r.frame.OnCommand(Cmd::FilePrint);
  CParListPrint::SetPrintDialogHook(std::move(previous));
  return asked ? Ok() : Err(QStringLiteral("the print command asked for no printer"));
}

// The trace-buffer manager when it is on the screen.
QWidget *VisibleTraceWindow(CMainFrame &frame)
{
  ITraceManager *trace = frame.GetTraceManager();
  QWidget *window = trace ? trace->Window() : nullptr;
  return window && window->isVisible() ? window : nullptr;
}

// grab PATH [trace]: the main window, or the trace-buffer manager.
QString Grab(const Request &r)
{
  if (r.args.isEmpty())
    return Err(QStringLiteral("grab PATH [trace]"));
  QWidget *window = &r.frame;
  if (r.args.size() > 1 && r.args[1] == u"trace") {
    window = VisibleTraceWindow(r.frame);
    if (!window)
      return Err(QStringLiteral("no trace manager on the screen"));
  }
  return window->grab().save(r.args[0]) ? Ok() : Err(QStringLiteral("not written"));
}

QString TraceGeometry(const Request &r)
{
  QWidget *window = VisibleTraceWindow(r.frame);
  if (!window)
    return Err(QStringLiteral("no trace manager on the screen"));
  return Ok(RectText(window->frameGeometry()));
}

QString Quit(const Request &r)
{
  QTimer::singleShot(0, r.context, [guard = QPointer<CMainFrame>(&r.frame)] {
    if (guard)
      guard->close();
  });
  return Ok(QStringLiteral("queued"));
}

struct Verb {
  QStringView name;
  bool prefix; // every verb that starts with the name
  QString (*run)(const Request &);
};

const Verb kVerbs[] = {
    {u"open", false, Open},
    {u"command", false, Command},
    {u"enabled", false, Command},
    {u"status", false, Status},
    {u"menus", false, Menus},
    {u"title", false, Title},
    {u"geometry", false, Geometry},
    {u"activate", false, Activate},
    {u"focus", false, Focus},
    {u"children", false, Children},
    {u"child-state", false, ChildState},
    {u"read-state", false, ReadState},
    {u"modified", false, Modified},
    {u"dialogs", false, Dialogs},
    {u"list-", true, ParameterList},
    {u"edit-cell", false, ParameterList},
    {u"var-", true, VariableList},
    {u"tree-items", false, TreeItems},
    {u"select-block", false, SelectBlock},
    {u"tree-var-rect", false, VariableTree},
    {u"tree-drag", false, VariableTree},
    {u"slider-rect", false, SliderRect},
    {u"trace", false, TraceState},
    {u"trace-button", false, TraceButton},
    {u"save", false, Save},
    {u"print-pdf", false, PrintPdf},
    {u"grab", false, Grab},
    {u"trace-geometry", false, TraceGeometry},
    {u"quit", false, Quit},
};

} // namespace

TestChannel::TestChannel(CQelApp &app, QObject *parent) : QObject(parent), m_app(app) {}

TestChannel::~TestChannel() = default;

bool TestChannel::Listen(const QString &name)
{
  m_pServer = new QLocalServer(this);
  QLocalServer::removeServer(name);
  if (!m_pServer->listen(name)) {
    std::fprintf(stderr, "velotrix: test channel %s: %s\n", qPrintable(name), qPrintable(m_pServer->errorString()));
    return false;
  }
  connect(m_pServer, &QLocalServer::newConnection, this, &TestChannel::OnConnection);
  return true;
}

void TestChannel::OnConnection()
{
  while (QLocalSocket *socket = m_pServer->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
  }
}

void TestChannel::OnReadyRead(QLocalSocket *socket)
{
  while (socket->canReadLine()) {
    const QString line = QString::fromUtf8(socket->readLine()).trimmed();
    if (line.isEmpty())
      continue;
    socket->write((Run(line) + u'\n').toUtf8());
    socket->flush();
  }
}

QString TestChannel::Run(const QString &line)
{
  CMainFrame *frame = m_app.GetMainFrame();
  if (!frame)
    return Err(QStringLiteral("no main frame"));
  const int space = line.indexOf(u' ');
  const QString rest = space < 0 ? QString() : line.mid(space + 1);
  const Request request{
      m_app, this, *frame, space < 0 ? line : line.left(space), rest, rest.split(u' ', Qt::SkipEmptyParts)};
  for (const Verb &verb : kVerbs)
    if (verb.prefix ? request.verb.startsWith(verb.name) : request.verb == verb.name)
      return verb.run(request);
  return Err(QStringLiteral("unknown command ") + request.verb);
}
