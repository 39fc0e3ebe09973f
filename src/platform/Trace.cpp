#include "Trace.h"

// A release program keeps its trace to itself: only warnings reach standard
// error unless VELOTRIX_TRACE (or QT_LOGGING_RULES) turns the trace on.
#ifdef NDEBUG
#define VTX_TRACE_DEFAULT QtWarningMsg
#else
#define VTX_TRACE_DEFAULT QtDebugMsg
#endif
Q_LOGGING_CATEGORY(lcPlatform, "velotrix.platform", VTX_TRACE_DEFAULT)
Q_LOGGING_CATEGORY(lcModbus, "velotrix.modbus", VTX_TRACE_DEFAULT)
Q_LOGGING_CATEGORY(lcModel, "velotrix.model", VTX_TRACE_DEFAULT)
Q_LOGGING_CATEGORY(lcFrame, "velotrix.frame", VTX_TRACE_DEFAULT)
Q_LOGGING_CATEGORY(lcControls, "velotrix.controls", VTX_TRACE_DEFAULT)
Q_LOGGING_CATEGORY(lcViews, "velotrix.views", VTX_TRACE_DEFAULT)
Q_LOGGING_CATEGORY(lcTrace, "velotrix.trace", VTX_TRACE_DEFAULT)
Q_LOGGING_CATEGORY(lcUpdate, "velotrix.update", VTX_TRACE_DEFAULT)
Q_LOGGING_CATEGORY(lcChart, "velotrix.chart", VTX_TRACE_DEFAULT)

namespace vtx {

void ApplyTraceSwitch()
{
  const QByteArray value = qgetenv("VELOTRIX_TRACE").trimmed();
  if (value.isEmpty() || value == "0")
    return;
  // Rules set here yield to QT_LOGGING_RULES, which stays the finer switch.
  QLoggingCategory::setFilterRules(QStringLiteral("velotrix.*.debug=true\nvelotrix.*.info=true"));
}

bool Check(bool cond, const char *expr, const char *file, int line)
{
  if (cond)
    return true;
  qCWarning(lcPlatform, "assertion failed: %s (%s:%d)", expr, file, line);
#ifdef VELOTRIX_STRICT_ASSERT
  qFatal("assertion failed: %s (%s:%d)", expr, file, line);
#endif
  return false;
}

} // namespace vtx
