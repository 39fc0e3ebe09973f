// libFuzzer target: arbitrary bytes as a description, line by line. What it
// reads must be written in a form that reads back to the same text.
#include "ModelSample.h"

#include "model/QelDocParVarList.h"

#include "platform/Cp1252.h"

#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>

namespace {

void ParseText(CQelDocParVarList &doc, QStringView text, bool crlf)
{
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = text.indexOf(crlf ? QStringView(u"\r\n") : QStringView(u"\n"), start);
    if (end < 0)
      end = text.size();
    QStringView line = text.mid(start, end - start);
    if (!crlf && line.endsWith(u'\r'))
      line.chop(1);
    doc.ParseDescLine(line);
    start = end + (crlf ? 2 : 1);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static const bool quiet = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("velotrix.*=false"));
    return true;
  }();
  (void)quiet;
  const QString text = Cp1252::Decode(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  CQelDocParVarList first;
  ParseText(first, text, false);
  // Items read before the tables they name settle on the second reading.
  CQelDocParVarList second;
  ParseText(second, WriteAll(first), true);
  const QString written = WriteAll(second);
  CQelDocParVarList third;
  ParseText(third, written, true);
  if (WriteAll(third) != written)
    std::abort();
  return 0;
}
