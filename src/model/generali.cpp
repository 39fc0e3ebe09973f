#include "generali.h"

#include "platform/StringTable.h"
#include "platform/Trace.h"

#include <cmath>

namespace {

bool IsSeparator(QChar c)
{
  return c == u'\\' || c == u'/';
}

// Length of a "X:" drive prefix, 0 when there is none.
qsizetype DriveLength(const QString &path)
{
  return path.size() >= 2 && path[1] == u':' && path[0].isLetter() ? 2 : 0;
}

// Index just past the last separator (the start of the file name).
qsizetype NameStart(const QString &path)
{
  for (qsizetype i = path.size(); i > DriveLength(path); --i) {
    if (IsSeparator(path[i - 1]))
      return i;
  }
  return DriveLength(path);
}

} // namespace

QString GetFolderFromPath(const QString &path)
{
  return path.left(NameStart(path));
}

QString GetFileNameFromPath(const QString &path, bool withExtension)
{
  const QString name = path.mid(NameStart(path));
  if (withExtension)
    return name;
  const qsizetype dot = name.lastIndexOf(u'.');
  return dot < 0 ? name : name.left(dot);
}

QString LoadStr(unsigned id)
{
  QString text;
  if (StringTable::Instance().Lookup(id, &text))
    return text;
  text = vtx::Format(u"Errore stringa %d", id);
  vtx::Beep(440, 50);
  qCDebug(lcModel).noquote() << text + u'\n';
  return text;
}

namespace detail {
bool LoadStrFormatText(unsigned id, QString *format)
{
  if (StringTable::Instance().Lookup(id, format))
    return true;
  qCDebug(lcModel).noquote() << vtx::Format(u"Errore stringaF %d\n", id);
  vtx::Beep(440, 80);
  return false;
}
} // namespace detail

void EnableDialogTheme(QWidget *) {}

QString GetPrecisionFormat(float value)
{
  const double magnitude = std::fabs(static_cast<double>(value));
  if (magnitude < 1.0)
    return QStringLiteral("%.3f");
  if (magnitude < 10.0)
    return QStringLiteral("%.2f");
  if (magnitude < 100.0)
    return QStringLiteral("%.1f");
  return QStringLiteral("%.0f");
}
