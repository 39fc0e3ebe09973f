#pragma once

class QWidget;

namespace vtx {
// Keeps a top-level window within the available area of its screen each
// time it is shown: larger windows shrink (never below their minimum size)
// and windows that stick out move back onto the area. A window already
// shown is fitted at once.
void KeepOnScreen(QWidget *window);
} // namespace vtx
