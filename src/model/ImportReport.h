#pragma once

#include <QString>
#include <QStringView>

// RTF pieces of the import and compare report, and the numbered report file
// in the temporary folder.
namespace ImportReport {

// Text styles of the report's cells.
enum Style { STYLE_PLAIN, STYLE_BOLD, STYLE_RED, STYLE_BLUE, STYLE_RED_BOLD, STYLE_BLUE_BOLD };

// Plain text for the RTF body: '\', '{' and '}' escaped, every character
// beyond ASCII (and every control character) as \'xx in Windows-1252, or as
// \uN? when the code page lacks it. The result is pure ASCII.
QString EscapeText(QStringView text);
// A piece that already holds RTF control words (the table header rows of
// the string table): only the characters beyond ASCII are escaped.
QString EscapeNonAscii(QStringView rtf);
// text (escaped) wrapped in the control words of the style.
QString Styled(QStringView text, Style style);

// The largest leading number after "kx" among the names in folder that
// begin with "kx" (any case); -1 when there is none.
long long LargestReportNumber(const QString &folder);
// "<folder>/kx%06d.rtf" for a number.
QString ReportFileName(const QString &folder, long long number);

// Writes text (ASCII RTF) to a new file "kx%06d.rtf" numbered one above the
// largest in folder; an existing file is never replaced. Gives the path, or
// an empty path with the reason in *error; a partial file is removed.
QString WriteReportFile(const QString &folder, const QString &text, QString *error);

} // namespace ImportReport
