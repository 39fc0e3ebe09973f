#include "Trace.h"

Q_LOGGING_CATEGORY(lcPlatform, "velotrix.platform")
Q_LOGGING_CATEGORY(lcModbus, "velotrix.modbus")
Q_LOGGING_CATEGORY(lcModel, "velotrix.model")
Q_LOGGING_CATEGORY(lcFrame, "velotrix.frame")
Q_LOGGING_CATEGORY(lcControls, "velotrix.controls")
Q_LOGGING_CATEGORY(lcViews, "velotrix.views")
Q_LOGGING_CATEGORY(lcTrace, "velotrix.trace")
Q_LOGGING_CATEGORY(lcUpdate, "velotrix.update")
Q_LOGGING_CATEGORY(lcChart, "velotrix.chart")

namespace vtx {

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
