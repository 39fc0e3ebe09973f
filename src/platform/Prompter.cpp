#include "Prompter.h"

#include "Trace.h"

#include <QRegularExpression>

namespace {
std::unique_ptr<Prompter> &InstanceSlot()
{
  static std::unique_ptr<Prompter> instance;
  return instance;
}
} // namespace

Prompter &Prompter::Instance()
{
  auto &slot = InstanceSlot();
  if (!slot)
    slot = std::make_unique<HeadlessPrompter>();
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
  case MB_RETRYCANCEL:
    return IDCANCEL;
  case MB_YESNO:
    return IDNO;
  case MB_ABORTRETRYIGNORE:
    return IDABORT;
  default:
    return IDOK;
  }
}

int HeadlessPrompter::MessageBox(const QString &text, const QString &caption, unsigned type, QWidget *)
{
  qCWarning(lcPlatform) << "message box without a desktop:" << caption << text;
  return EscapeAnswer(type);
}

QString HeadlessPrompter::FileDialog(const FileDialogRequest &request, QWidget *)
{
  qCWarning(lcPlatform) << "file dialog without a desktop:" << request.title;
  return {};
}

int HeadlessPrompter::PopupMenu(const QList<PopupMenuItem> &, const QPoint &, QWidget *)
{
  qCWarning(lcPlatform) << "popup menu without a desktop";
  return 0;
}

int AfxMessageBox(const QString &text, unsigned type)
{
  return Prompter::Instance().MessageBox(text, QString(), type);
}
