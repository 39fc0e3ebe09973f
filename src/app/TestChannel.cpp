#include "app/TestChannel.h"

#include "chart/ChartCtrl.h"
#include "controls/XListCtrl.h"
#include "frame/ChildFrm.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"
#include "frame/QelApp.h"
#include "model/QelDoc.h"
#include "trace/GenMemBuff.h"
#include "views/ListaPar.h"
#include "views/ParListPrint.h"
#include "views/ParTreeView.h"
#include "views/VarListView.h"

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

// The status panes in their order on the bar: message, help, firmware, tag.
constexpr int kPanes[] = {554, 555, 512, 692};

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
  const QString verb = space < 0 ? line : line.left(space);
  const QString rest = space < 0 ? QString() : line.mid(space + 1);
  const QStringList args = rest.split(u' ', Qt::SkipEmptyParts);
  QPointer<CMainFrame> guard(frame);

  if (verb == u"open") {
    if (rest.isEmpty())
      return Err(QStringLiteral("open PATH"));
    QTimer::singleShot(0, this, [this, rest] { m_app.OpenDocumentFile(rest); });
    return Ok(QStringLiteral("queued"));
  }
  if (verb == u"command" || verb == u"enabled") {
    int id = 0;
    if (args.size() != 1 || !ToInt(args[0], id))
      return Err(verb + QStringLiteral(" ID"));
    bool checked = false;
    const bool enabled = frame->IsCommandEnabled(id, &checked);
    if (verb == u"enabled")
      return Ok(QStringLiteral("%1 %2").arg(enabled ? 1 : 0).arg(checked ? 1 : 0));
    if (!enabled)
      return Err(QStringLiteral("disabled"));
    // Through the menu's own action where there is one, as a click would.
    QTimer::singleShot(0, this, [guard, id] {
      if (!guard)
        return;
      if (QAction *action = guard->Action(id))
        action->trigger();
      else
        guard->OnCommand(id);
    });
    return Ok(QStringLiteral("queued"));
  }
  if (verb == u"status") {
    QStringList texts;
    for (int id : kPanes) {
      QLabel *pane = frame->Pane(id);
      texts << (pane ? Flat(pane->text()) : QString());
    }
    return Ok(texts.join(u'\t'));
  }
  if (verb == u"menus") {
    QStringList titles;
    for (QAction *action : frame->menuBar()->actions())
      titles << Flat(action->text().remove(u'&'));
    return Ok(titles.join(u'\t'));
  }
  if (verb == u"title")
    return Ok(Flat(frame->windowTitle()));
  if (verb == u"geometry") {
    const QRect r = frame->frameGeometry();
    return Ok(QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
  }
  if (verb == u"activate") {
    frame->raise();
    frame->activateWindow();
    return Ok();
  }
  if (verb == u"focus") {
    // The widget the keyboard goes to, with the text it holds if it is an editor.
    QWidget *w = QApplication::focusWidget();
    if (!w)
      return Ok(QStringLiteral("none"));
    QString text = QString::fromLatin1(w->metaObject()->className());
    if (auto *edit = qobject_cast<QLineEdit *>(w))
      text += QStringLiteral(" ") + Flat(edit->text());
    return Ok(text);
  }
  if (verb == u"children")
    return Ok(QString::number(frame->MdiArea()->subWindowList().size()));
  if (verb == u"child-state") {
    if (!ActiveChild(*frame))
      return Err(QStringLiteral("no board window"));
    const WindowId child = frame->GetActiveChild();
    if (frame->QueryChild(child, 8))
      return Ok(QStringLiteral("online"));
    return Ok(frame->QueryChild(child, 4) ? QStringLiteral("connecting") : QStringLiteral("offline"));
  }
  if (verb == u"read-state") {
    // 4 once a read all has finished, until the board goes offline.
    CChildFrame *child = ActiveChild(*frame);
    if (!child)
      return Err(QStringLiteral("no board window"));
    return Ok(QString::number(child->SendCode(ChildCode::GetReadState, 0)));
  }
  if (verb == u"modified") {
    CChildFrame *child = ActiveChild(*frame);
    CQelDoc *doc = child ? child->GetDocument() : nullptr;
    if (!doc)
      return Err(QStringLiteral("no document"));
    return Ok(QStringLiteral("%1 %2").arg(doc->IsModified() ? 1 : 0).arg(doc->GetPathName()));
  }
  if (verb == u"dialogs") {
    QStringList found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
      if (w == frame || !w->isVisible())
        continue;
      QString text = w->metaObject()->className() + QStringLiteral(":") + w->windowTitle() + QStringLiteral(":") +
                     QString::number(w->winId());
      if (auto *box = qobject_cast<QMessageBox *>(w))
        text += QStringLiteral(":") + box->text();
      found << Flat(text);
    }
    return Ok(found.join(u'\t'));
  }

  // The parameter list of the active board window.
  if (verb.startsWith(QStringLiteral("list-")) || verb == u"edit-cell") {
    CParListView *view = FindView<CParListView>(*frame);
    if (!view)
      return Err(QStringLiteral("no parameter list"));
    CXListCtrl *list = view->GetListCtrl();
    int row = 0, col = 0;
    if (verb == u"list-rows")
      return Ok(QString::number(list->GetItemCount()));
    if (verb == u"list-find")
      return Ok(QString::number(FindRow(list, CParListView::COL_NAME, rest)));
    if (args.size() < 2 || !ToInt(args[0], row) || !ToInt(args[1], col))
      return Err(verb + QStringLiteral(" ROW COL"));
    if (verb == u"list-cell")
      return CellText(list, row, col);
    if (verb == u"list-rect")
      return CellRect(list, row, col);
    if (verb == u"edit-cell") {
      if (args.size() < 3 || row < 0 || row >= list->GetItemCount())
        return Err(QStringLiteral("edit-cell ROW COL TEXT"));
      // What the in-place editor leaves behind when it closes.
      list->SetItemText(row, col, args.mid(2).join(u' '));
      return Ok(QString::number(view->OnEndLabelEdit(row, col)));
    }
  }
  if (verb.startsWith(QStringLiteral("var-"))) {
    CVarListView *view = FindView<CVarListView>(*frame);
    if (!view)
      return Err(QStringLiteral("no variable list"));
    if (verb == u"var-rows")
      return Ok(QString::number(view->GetItemCount()));
    if (verb == u"var-find") {
      for (int row = 0; row < view->GetItemCount(); ++row)
        if (view->GetItemText(row, CVarListView::COL_NAME) == rest)
          return Ok(QString::number(row));
      return Ok(QStringLiteral("-1"));
    }
    int row = 0, col = 0;
    if (verb != u"var-cell" || args.size() != 2 || !ToInt(args[0], row) || !ToInt(args[1], col))
      return Err(QStringLiteral("var-cell ROW COL"));
    if (row < 0 || row >= view->GetItemCount() || col < 0 || col >= CVarListView::kColumns)
      return Err(QStringLiteral("no cell"));
    return Ok(Flat(view->GetItemText(row, col)));
  }
  if (verb == u"tree-items" || verb == u"select-block") {
    CParTreeView *tree = FindView<CParTreeView>(*frame);
    if (!tree)
      return Err(QStringLiteral("no parameter tree"));
    if (verb == u"tree-items") {
      QStringList items;
      for (QTreeWidgetItemIterator it(tree); *it; ++it)
        items << QStringLiteral("%1=%2").arg((*it)->data(0, CBlockTreeView::KeyRole).toInt()).arg(Flat((*it)->text(0)));
      return Ok(items.join(u'\t'));
    }
    int key = 0;
    if (!ToInt(rest, key))
      return Err(QStringLiteral("select-block ID"));
    QTreeWidgetItem *item = tree->ItemOfKey(key);
    if (!item)
      return Err(QStringLiteral("no block %1").arg(key));
    tree->setCurrentItem(item);
    return Ok();
  }
  if (verb == u"trace") {
    ITraceManager *trace = frame->GetTraceManager();
    int charts = 0;
    for (QWidget *w : QApplication::allWidgets())
      if (qobject_cast<CChartCtrl *>(w) && w->isVisible())
        ++charts;
    return Ok(QStringLiteral("state=%1 buffers=%2 charts=%3")
                  .arg(trace ? trace->GetState() : -1)
                  .arg(trace ? trace->GetBufferCount() : -1)
                  .arg(charts));
  }
  if (verb == u"trace-button") {
    // Where the manager's Download button is, for a real click.
    ITraceManager *trace = frame->GetTraceManager();
    auto *manager = trace ? qobject_cast<CGenMemBuff *>(trace->Window()) : nullptr;
    QWidget *button = manager ? manager->GetDlgItem(CGenMemBuff::IDC_DOWNLOAD) : nullptr;
    if (!button || !button->isVisible())
      return Err(QStringLiteral("no download button on the screen"));
    const QPoint centre = button->mapToGlobal(button->rect().center());
    return Ok(QStringLiteral("%1 %2 %3").arg(centre.x()).arg(centre.y()).arg(button->isEnabled() ? 1 : 0));
  }
  if (verb == u"save") {
    CChildFrame *child = ActiveChild(*frame);
    CQelDoc *doc = child ? child->GetDocument() : nullptr;
    if (!doc || rest.isEmpty())
      return Err(QStringLiteral("save PATH, with a board window"));
    // Straight to the file; the Save command itself asks for the name.
    return doc->OnSaveDocument(rest) ? Ok() : Err(QStringLiteral("not saved"));
  }
  if (verb == u"print-pdf") {
    if (rest.isEmpty() || !frame->IsCommandEnabled(Cmd::FilePrint))
      return Err(QStringLiteral("print-pdf PATH, with a board window"));
    // The program's own Print command, with a PDF file where the print
    // dialog would choose the printer.
    const QString path = rest;
    bool asked = false;
    CParListPrint::PrintDialogHook previous =
        CParListPrint::SetPrintDialogHook([path, &asked](QPrinter &printer, QWidget *) {
          asked = true;
          printer.setOutputFormat(QPrinter::PdfFormat);
          printer.setOutputFileName(path);
          return true;
        });
    if (QAction *action = frame->Action(Cmd::FilePrint))
      action->trigger();
    else
      frame->OnCommand(Cmd::FilePrint);
    CParListPrint::SetPrintDialogHook(std::move(previous));
    return asked ? Ok() : Err(QStringLiteral("the print command asked for no printer"));
  }
  if (verb == u"grab") {
    // grab PATH [trace]: the main window, or the trace-buffer manager.
    if (args.isEmpty())
      return Err(QStringLiteral("grab PATH [trace]"));
    QWidget *window = frame;
    if (args.size() > 1 && args[1] == u"trace") {
      ITraceManager *trace = frame->GetTraceManager();
      window = trace ? trace->Window() : nullptr;
      if (!window || !window->isVisible())
        return Err(QStringLiteral("no trace manager on the screen"));
    }
    return window->grab().save(args[0]) ? Ok() : Err(QStringLiteral("not written"));
  }
  if (verb == u"trace-geometry") {
    ITraceManager *trace = frame->GetTraceManager();
    QWidget *window = trace ? trace->Window() : nullptr;
    if (!window || !window->isVisible())
      return Err(QStringLiteral("no trace manager on the screen"));
    const QRect r = window->frameGeometry();
    return Ok(QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
  }
  if (verb == u"quit") {
    QTimer::singleShot(0, this, [guard] {
      if (guard)
        guard->close();
    });
    return Ok(QStringLiteral("queued"));
  }
  return Err(QStringLiteral("unknown command ") + verb);
}
