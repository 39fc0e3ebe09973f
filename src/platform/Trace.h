#pragma once

#include <QLoggingCategory>

// Diagnostic trace of each layer; users never see it.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcModbus)
Q_DECLARE_LOGGING_CATEGORY(lcModel)
Q_DECLARE_LOGGING_CATEGORY(lcFrame)
Q_DECLARE_LOGGING_CATEGORY(lcControls)
Q_DECLARE_LOGGING_CATEGORY(lcViews)
Q_DECLARE_LOGGING_CATEGORY(lcTrace)
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)
Q_DECLARE_LOGGING_CATEGORY(lcChart)

namespace vtx {
// Turns every category's trace on when the environment variable
// VELOTRIX_TRACE is set to anything but 0; called once at start.
void ApplyTraceSwitch();
// Logs a broken invariant with its source position (fatal when built with
// VELOTRIX_STRICT_ASSERT) and returns the condition.
bool Check(bool cond, const char *expr, const char *file, int line);
} // namespace vtx

// VTX_ASSERT(cond): an invariant of our own code. Evaluates to the condition so
// the caller can still guard the false case: a release build stays sane.
#define VTX_ASSERT(cond) vtx::Check(static_cast<bool>(cond), #cond, __FILE__, __LINE__)
