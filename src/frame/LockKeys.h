#pragma once

#include <functional>

class QObject;

// The keyboard's lock state: bit 0 caps lock, bit 1 num lock. Read from the
// X server through its keyboard extension when the program runs on X11;
// 0 on other platforms (offscreen, Wayland), where nothing tells us.
unsigned ReadKeyboardLocks();

// Calls `changed` (queued) whenever the X server reports that the locked
// modifiers changed, whichever window has the focus; the watch ends with
// `owner`. False where the platform reports nothing: there the key and
// activation events are all the caller gets.
bool WatchKeyboardLocks(QObject *owner, std::function<void()> changed);
