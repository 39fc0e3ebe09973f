#include "Launcher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {
std::unique_ptr<Launcher> &InstanceSlot()
{
  static std::unique_ptr<Launcher> instance;
  return instance;
}
} // namespace

Launcher &Launcher::Instance()
{
  auto &slot = InstanceSlot();
  if (!slot)
    slot = std::make_unique<DesktopLauncher>();
  return *slot;
}

std::unique_ptr<Launcher> Launcher::SetInstance(std::unique_ptr<Launcher> launcher)
{
  auto old = std::move(InstanceSlot());
  InstanceSlot() = std::move(launcher);
  return old;
}

bool DesktopLauncher::StartProgram(const QString &program, const QStringList &arguments)
{
  if (program.isEmpty())
    return false;
  return QProcess::startDetached(program, arguments);
}

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
