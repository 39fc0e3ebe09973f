#pragma once

#include "platform/RgbValue.h"

#include <QColor>

// Stored colours to and from the painter's.
inline QColor ToQColor(COLORREF c)
{
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}
inline COLORREF FromQColor(const QColor &c)
{
  return RGB(c.red(), c.green(), c.blue());
}
