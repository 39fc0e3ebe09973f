#include "Launcher.h"

#include "Trace.h"

#include <QProcess>

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
    slot = std::make_unique<ProcessLauncher>();
  return *slot;
}

std::unique_ptr<Launcher> Launcher::SetInstance(std::unique_ptr<Launcher> launcher)
{
  auto old = std::move(InstanceSlot());
  InstanceSlot() = std::move(launcher);
  return old;
}

bool ProcessLauncher::StartProgram(const QString &program, const QStringList &arguments)
{
  if (program.isEmpty())
    return false;
  return QProcess::startDetached(program, arguments);
}

bool ProcessLauncher::Open(const QString &pathOrUrl)
{
  qCWarning(lcPlatform) << "no desktop to open" << pathOrUrl;
  return false;
}
