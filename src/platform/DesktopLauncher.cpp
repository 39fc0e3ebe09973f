#include "DesktopLauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

bool DesktopLauncher::HasDefaultApplication(const QString &path)
{
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (tool.isEmpty())
    return true;
  const QString type = QMimeDatabase().mimeTypeForFile(path).name();
  QProcess query;
  query.start(tool, {QStringLiteral("query"), QStringLiteral("default"), type});
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished(1000);
    return true;
  }
  return query.exitCode() != 0 || !query.readAllStandardOutput().trimmed().isEmpty();
}

bool DesktopLauncher::Open(const QString &pathOrUrl)
{
  if (pathOrUrl.isEmpty())
    return false;
  QUrl url(pathOrUrl, QUrl::StrictMode);
  // A bare path, or one with a drive-like prefix, is a local file.
  if (!url.isValid() || url.scheme().size() <= 1 || QFileInfo::exists(pathOrUrl))
    url = QUrl::fromLocalFile(QFileInfo(pathOrUrl).absoluteFilePath());
  if (url.isLocalFile() && !HasDefaultApplication(url.toLocalFile()))
    return false;
  return QDesktopServices::openUrl(url);
}
