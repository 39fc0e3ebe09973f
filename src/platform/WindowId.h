#pragma once

#include <QObject>
#include <QPointer>

#include <unordered_map>

// A window named by a number that can travel as data (in a request packet, in
// a setting) and be resolved later. An id whose object is gone resolves to null,
// so answers for a closed window are dropped. GUI thread only.
using WindowId = quint32;
constexpr WindowId kNoWindow = 0;

class WindowRegistry {
public:
  static WindowRegistry &Instance();

  // The object's id, registering it on first use. Null gives kNoWindow.
  WindowId Register(QObject *object);
  void Unregister(WindowId id);
  // The object, or null when the id is unknown or its object was destroyed.
  QObject *Resolve(WindowId id) const;
  template <typename T> T *ResolveAs(WindowId id) const { return qobject_cast<T *>(Resolve(id)); }
  WindowId IdOf(const QObject *object) const;

private:
  std::unordered_map<WindowId, QPointer<QObject>> m_windows;
  WindowId m_next = 1;
};
