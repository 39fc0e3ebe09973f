#pragma once

#include "platform/Launcher.h"

// The launcher of a desktop session: programs through QProcess, files and
// addresses through the desktop's handlers.
class DesktopLauncher : public ProcessLauncher {
public:
  bool Open(const QString &pathOrUrl) override;
  // Whether the desktop names an application for this file's type; true
  // when it cannot tell. xdg-open itself starts, and succeeds, either way.
  static bool HasDefaultApplication(const QString &path);
};
