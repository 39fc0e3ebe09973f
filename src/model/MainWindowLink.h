#pragma once

#include "model/DocFrameLinks.h"

#include <QtGlobal>

class COptions;

// A window that takes numbered commands: the main frame's WM_APP+1 codes and
// a child frame's WM_APP+2 codes, where the code itself is data.
class ICodeTarget {
public:
  virtual ~ICodeTarget() = default;
  virtual qintptr SendCode(int code, qintptr lParam) = 0;
};

// What views, trace windows and option pages reach through the main window:
// its codes, its settings and the serial queue. The main frame implements it
// and registers itself for its lifetime.
class IMainWindow : public ICodeTarget, public IDocHost {
public:
  virtual COptions &GetOptions() = 0;
};

namespace MainWindowLink {
// The registered main window, or null (before start-up, after shutdown, in
// tests that install none).
inline IMainWindow *&Slot()
{
  static IMainWindow *s_main = nullptr;
  return s_main;
}
inline IMainWindow *Get()
{
  return Slot();
}
inline void Set(IMainWindow *main)
{
  Slot() = main;
}
} // namespace MainWindowLink
