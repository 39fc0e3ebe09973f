#include "Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>

namespace {
std::unique_ptr<Prompter> &InstanceSlot()
{
  static std::unique_ptr<Prompter> instance;
  return instance;
}

QString AppCaption()
{
  const QString name = QApplication::applicationDisplayName();
  return name.isEmpty() ? QStringLiteral("Velotrix") : name;
}
} // namespace

Prompter &Prompter::Instance()
{
  auto &slot = InstanceSlot();
  if (!slot)
    slot = std::make_unique<WidgetPrompter>();
  return *slot;
}

std::unique_ptr<Prompter> Prompter::SetInstance(std::unique_ptr<Prompter> prompter)
{
  auto old = std::move(InstanceSlot());
  InstanceSlot() = std::move(prompter);
  return old;
}

QString Prompter::FilterToQt(const QString &filter)
{
  const QStringList parts = filter.split(u'|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString text = parts[i];
    if (text.isEmpty())
      break;
    QString patterns = parts[i + 1];
    patterns.replace(u';', u' ');
    patterns = patterns.simplified();
    if (patterns.isEmpty())
      continue;
    // Qt reads the patterns from the text's last parentheses, so text that
    // already shows them is used as it is.
    if (text.contains(u'(') && text.trimmed().endsWith(u')') &&
        text.mid(text.lastIndexOf(u'(') + 1).chopped(1).simplified().replace(u';', u' ') == patterns)
      out << text.trimmed();
    else
      out << QStringLiteral("%1 (%2)").arg(text.trimmed(), patterns);
  }
  return out.join(QStringLiteral(";;"));
}

int Prompter::EscapeAnswer(unsigned type)
{
  switch (type & MB_TYPEMASK) {
  case MB_OKCANCEL:
  case MB_YESNOCANCEL:
  case MB_RETRYCANCEL: return IDCANCEL;
  case MB_YESNO: return IDNO;
  case MB_ABORTRETRYIGNORE: return IDABORT;
  default: return IDOK;
  }
}

int WidgetPrompter::MessageBox(const QString &text, const QString &caption, unsigned type,
                               QWidget *parent)
{
  QMessageBox box(parent ? parent : QApplication::activeWindow());
  box.setWindowTitle(caption.isEmpty() ? AppCaption() : caption);
  box.setText(text);
  switch (type & MB_ICONMASK) {
  case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
  case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
  case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
  case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
  default: break;
  }
  struct Button { QMessageBox::StandardButton button; int id; };
  QList<Button> buttons;
  switch (type & MB_TYPEMASK) {
  case MB_OKCANCEL: buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
  case MB_ABORTRETRYIGNORE:
    buttons = {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    break;
  case MB_YESNOCANCEL:
    buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    break;
  case MB_YESNO: buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
  case MB_RETRYCANCEL: buttons = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}}; break;
  default: buttons = {{QMessageBox::Ok, IDOK}}; break;
  }
  for (const Button &b : buttons)
    box.addButton(b.button);
  const qsizetype def = (type & MB_DEFMASK) == MB_DEFBUTTON2 ? 1 : (type & MB_DEFMASK) == MB_DEFBUTTON3 ? 2 : 0;
  box.setDefaultButton(buttons.value(qMin(def, buttons.size() - 1)).button);
  box.exec();
  const auto clicked = box.standardButton(box.clickedButton());
  for (const Button &b : buttons) {
    if (b.button == clicked)
      return b.id;
  }
  // Closed with Escape or the window's close box.
  return EscapeAnswer(type);
}

QString WidgetPrompter::FileDialog(const FileDialogRequest &request, QWidget *parent)
{
  QFileDialog dialog(parent ? parent : QApplication::activeWindow(), request.title,
                     request.initialPath, FilterToQt(request.filter));
  dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(request.open && request.fileMustExist ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
  if (!request.defaultExtension.isEmpty())
    dialog.setDefaultSuffix(request.defaultExtension);
  if (!request.overwritePrompt)
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().constFirst();
}

int WidgetPrompter::PopupMenu(const QList<PopupMenuItem> &items, const QPoint &globalPos,
                              QWidget *parent)
{
  QMenu menu(parent);
  for (const PopupMenuItem &item : items) {
    if (item.id == 0 && item.text.isEmpty()) {
      menu.addSeparator();
      continue;
    }
    QAction *action = menu.addAction(item.text);
    action->setData(item.id);
    action->setEnabled(item.enabled);
    action->setCheckable(item.checked);
    action->setChecked(item.checked);
  }
  const QAction *chosen = menu.exec(globalPos);
  return chosen ? chosen->data().toInt() : 0;
}

int AfxMessageBox(const QString &text, unsigned type)
{
  return Prompter::Instance().MessageBox(text, QString(), type);
}
