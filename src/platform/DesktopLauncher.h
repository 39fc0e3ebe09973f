#pragma once

#include "platform/Launcher.h"

// The launcher of a desktop session: programs through QProcess, files and
// addresses through the desktop's handlers.
class DesktopLauncher : public ProcessLauncher {
public:
  bool Open(const QString &pathOrUrl) override;
};
