#pragma once

// The keyboard's lock state: bit 0 caps lock, bit 1 num lock. Read from the
// X server through its keyboard extension when the program runs on X11;
// 0 on other platforms (offscreen, Wayland), where nothing tells us.
unsigned ReadKeyboardLocks();
