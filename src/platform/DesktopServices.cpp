#include "DesktopServices.h"

#include "BusyCursor.h"
#include "DesktopLauncher.h"
#include "StringTable.h"
#include "WidgetPrompter.h"

#include <QApplication>

namespace vtx {
void DesktopBeep(int, int)
{
  if (qobject_cast<QApplication *>(QCoreApplication::instance()))
    QApplication::beep();
}

void InstallDesktopServices()
{
  Prompter::SetInstance(std::make_unique<WidgetPrompter>());
  Launcher::SetInstance(std::make_unique<DesktopLauncher>());
  SetBeepHandler(DesktopBeep);
  SetBusyCursorHook([](bool busy) {
    if (busy)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  });
}
} // namespace vtx
