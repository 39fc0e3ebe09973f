#pragma once

#include "platform/Format.h"

#include <QString>

class QWidget;

// Small helpers shared across the program: path splitting, string-table texts
// with a fallback, dialog backgrounds and number formats by magnitude.

// Drive and directory of a path, with the trailing separator ("D:\Prog\a.exe"
// gives "D:\Prog\", "/opt/v/a" gives "/opt/v/"); empty for a bare file name.
QString GetFolderFromPath(const QString &path);
// The file name without its folder; with withExtension, followed by the
// extension and its dot. Empty for a path ending in a separator.
QString GetFileNameFromPath(const QString &path, bool withExtension);

// The text of a string-table id. A missing id gives "Errore stringa <id>",
// beeps (440 Hz, 50 ms) and traces.
QString LoadStr(unsigned id);

namespace detail {
bool LoadStrFormatText(unsigned id, QString *format);
}
// The format text of an id filled with the arguments (printf rules, C locale).
// A missing id gives an empty text, beeps (440 Hz, 80 ms) and traces.
template <typename... Args> QString LoadStrFormat(unsigned id, const Args &...args)
{
  QString format;
  if (!detail::LoadStrFormatText(id, &format))
    return {};
  return vtx::Format(format, args...);
}

// Themed tab-page background for a dialog. The desktop style already paints
// dialogs consistently here, so there is nothing to enable.
void EnableDialogTheme(QWidget *dialog);

// A format for one number chosen by the value's magnitude: "%.3f" below 1,
// "%.2f" below 10, "%.1f" below 100, else "%.0f".
QString GetPrecisionFormat(float value);
