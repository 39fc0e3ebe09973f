#pragma once

#include <functional>

namespace vtx {
// What shows the busy cursor: called with true when a long step starts and
// false when it ends. A desktop session installs one; without it nothing
// shows (the lower layers stay free of widgets).
using BusyCursorHook = std::function<void(bool busy)>;
void SetBusyCursorHook(BusyCursorHook hook);

// The busy cursor for the life of the object (GUI thread).
class BusyCursor {
public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor &) = delete;
  BusyCursor &operator=(const BusyCursor &) = delete;
};
} // namespace vtx
