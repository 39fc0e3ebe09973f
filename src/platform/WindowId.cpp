#include "WindowId.h"

WindowRegistry &WindowRegistry::Instance()
{
  static WindowRegistry registry;
  return registry;
}

WindowId WindowRegistry::Register(QObject *object)
{
  if (!object)
    return kNoWindow;
  if (const WindowId existing = IdOf(object))
    return existing;
  // Drop ids of destroyed objects as we go so the map stays small.
  std::erase_if(m_windows, [](const auto &entry) { return entry.second.isNull(); });
  WindowId id = m_next++;
  if (m_next == kNoWindow)
    m_next = 1;
  m_windows.emplace(id, QPointer<QObject>(object));
  return id;
}

void WindowRegistry::Unregister(WindowId id)
{
  m_windows.erase(id);
}

QObject *WindowRegistry::Resolve(WindowId id) const
{
  const auto it = m_windows.find(id);
  return it == m_windows.end() ? nullptr : it->second.data();
}

WindowId WindowRegistry::IdOf(const QObject *object) const
{
  if (!object)
    return kNoWindow;
  for (const auto &[id, ptr] : m_windows) {
    if (ptr.data() == object)
      return id;
  }
  return kNoWindow;
}
