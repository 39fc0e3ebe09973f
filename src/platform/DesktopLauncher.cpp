#include "DesktopLauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

bool DesktopLauncher::Open(const QString &pathOrUrl)
{
  if (pathOrUrl.isEmpty())
    return false;
  QUrl url(pathOrUrl, QUrl::StrictMode);
  // A bare path, or one with a drive-like prefix, is a local file.
  if (!url.isValid() || url.scheme().size() <= 1 || QFileInfo::exists(pathOrUrl))
    url = QUrl::fromLocalFile(QFileInfo(pathOrUrl).absoluteFilePath());
  return QDesktopServices::openUrl(url);
}
