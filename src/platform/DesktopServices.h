#pragma once

namespace vtx {
// The system beep of a desktop session (QApplication::beep: the tone's
// frequency and length are not the desktop's to choose).
void DesktopBeep(int frequencyHz, int durationMs);
// Installs a desktop session's services: the widget prompter, the desktop
// launcher, the desktop beep and the busy cursor. GUI thread, once the QApplication exists.
void InstallDesktopServices();
} // namespace vtx
