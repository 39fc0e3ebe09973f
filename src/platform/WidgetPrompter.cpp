#include "WidgetPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

namespace {
QString AppCaption()
{
  const QString name = QApplication::applicationDisplayName();
  return name.isEmpty() ? QStringLiteral("Velotrix") : name;
}
} // namespace

int WidgetPrompter::MessageBox(const QString &text, const QString &caption, unsigned type, QWidget *parent)
{
  QMessageBox box(parent ? parent : QApplication::activeWindow());
  box.setWindowTitle(caption.isEmpty() ? AppCaption() : caption);
  box.setText(text);
  switch (type & MB_ICONMASK) {
  case MB_ICONERROR:
    box.setIcon(QMessageBox::Critical);
    break;
  case MB_ICONQUESTION:
    box.setIcon(QMessageBox::Question);
    break;
  case MB_ICONWARNING:
    box.setIcon(QMessageBox::Warning);
    break;
  case MB_ICONINFORMATION:
    box.setIcon(QMessageBox::Information);
    break;
  default:
    break;
  }
  struct Button {
    QMessageBox::StandardButton button;
    int id;
  };
  QList<Button> buttons;
  switch (type & MB_TYPEMASK) {
  case MB_OKCANCEL:
    buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    break;
  case MB_ABORTRETRYIGNORE:
    buttons = {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    break;
  case MB_YESNOCANCEL:
    buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    break;
  case MB_YESNO:
    buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    break;
  case MB_RETRYCANCEL:
    buttons = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    break;
  default:
    buttons = {{QMessageBox::Ok, IDOK}};
    break;
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
  QFileDialog dialog(parent ? parent : QApplication::activeWindow(), request.title, request.initialPath,
                     FilterToQt(request.filter));
  dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(request.open && request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!request.defaultExtension.isEmpty())
    dialog.setDefaultSuffix(request.defaultExtension);
  if (!request.overwritePrompt)
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().constFirst();
}

int WidgetPrompter::PopupMenu(const QList<PopupMenuItem> &items, const QPoint &globalPos, QWidget *parent)
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
