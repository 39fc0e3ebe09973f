#include "frame/LockKeys.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QObject>

#if defined(VELOTRIX_HAVE_XKB)
#include <QtGui/qguiapplication_platform.h>

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#endif

namespace {
#if defined(VELOTRIX_HAVE_XKB)
Display *X11Display()
{
  auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->display() : nullptr;
}

// The keyboard extension's state events reach every client that selected
// them, focused or not; Qt's own keyboard handling selects them all.
class LockWatcher : public QObject, public QAbstractNativeEventFilter {
public:
  LockWatcher(QObject *owner, int eventBase, std::function<void()> changed)
      : QObject(owner), m_nEventBase(eventBase), m_changed(std::move(changed))
  {
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~LockWatcher() override
  {
    if (QCoreApplication *app = QCoreApplication::instance())
      app->removeNativeEventFilter(this);
  }

  bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
  {
    if (eventType != "xcb_generic_event_t")
      return false;
    // The event as the wire carries it: type, extension event kind, and the
    // locked modifiers at byte 12 of a state notification.
    const auto *bytes = static_cast<const unsigned char *>(message);
    if ((bytes[0] & 0x7f) != m_nEventBase || bytes[1] != XkbStateNotify)
      return false;
    const int locked = bytes[12];
    if (locked != m_nLocked) {
      m_nLocked = locked;
      // Not from inside the server's event delivery: the reader asks it again.
      QMetaObject::invokeMethod(this, m_changed, Qt::QueuedConnection);
    }
    return false;
  }

private:
  int m_nEventBase;
  int m_nLocked = -1;
  std::function<void()> m_changed;
};
#endif
} // namespace

unsigned ReadKeyboardLocks()
{
#if defined(VELOTRIX_HAVE_XKB)
  Display *display = X11Display();
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

bool WatchKeyboardLocks(QObject *owner, std::function<void()> changed)
{
#if defined(VELOTRIX_HAVE_XKB)
  Display *display = X11Display();
  int opcode = 0, eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
  if (!display || !owner || !XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor))
    return false;
  new LockWatcher(owner, eventBase, std::move(changed));
  return true;
#else
  (void)owner;
  (void)changed;
  return false;
#endif
}
