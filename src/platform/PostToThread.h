#pragma once

#include <functional>

class QObject;

namespace vtx {
// Runs `function` later on the thread of `context`, queued behind what is
// already posted to it, and not at all if `context` is destroyed first. Our
// workers hand work to the GUI thread through it alone: ThreadSanitizer does
// not see the ordering Qt's event queue gives, so this tells it.
void PostToThread(QObject *context, std::function<void()> function);
} // namespace vtx
