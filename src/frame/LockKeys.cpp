#include "frame/LockKeys.h"

#include <QGuiApplication>

#if defined(VELOTRIX_HAVE_XKB)
#include <QtGui/qguiapplication_platform.h>

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#endif

unsigned ReadKeyboardLocks()
{
#if defined(VELOTRIX_HAVE_XKB)
  auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display *display = x11 ? x11->display() : nullptr;
  if (!display)
    return 0;
  XkbStateRec state{};
  if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
    return 0;
  // Num lock sits on whichever modifier the keymap gives it (usually Mod2).
  unsigned numMask = XkbKeysymToModifiers(display, XK_Num_Lock);
  if (numMask == 0)
    numMask = Mod2Mask;
  unsigned locks = 0;
  if (state.locked_mods & LockMask)
    locks |= 1;
  if (state.locked_mods & numMask)
    locks |= 2;
  return locks;
#else
  return 0;
#endif
}
