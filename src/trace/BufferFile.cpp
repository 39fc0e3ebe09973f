#include "trace/BufferFile.h"

#include "platform/Cp1252.h"
#include "platform/Format.h"

#include <QIODevice>

#include <cfloat>
#include <cmath>
#include <optional>

namespace {

// Longer lines are cut here; no field of a buffer file comes near it, and a
// hostile file cannot make one line fill the memory.
constexpr qint64 kMaxLine = 64 * 1024;

// One line of the data, without its "\n" and the "\r" before it.
struct Line {
  QString text;
  bool cut = false; // the data ended inside it: its last field may be part of a number
};

// Nothing at the end of the data.
std::optional<Line> ReadLine(QIODevice &in)
{
  if (in.atEnd())
    return std::nullopt;
  QByteArray line = in.readLine(kMaxLine);
  if (line.isEmpty() && in.atEnd())
    return std::nullopt;
  bool cut = false;
  if (line.endsWith('\n')) {
    line.chop(1);
  } else if (in.atEnd()) {
    cut = true;
  } else {
    // Over-long: the rest of the line is skipped up to its end.
    while (!in.atEnd()) {
      const QByteArray rest = in.readLine(kMaxLine);
      if (rest.endsWith('\n'))
        break;
    }
  }
  if (line.endsWith('\r'))
    line.chop(1);
  return Line{Cp1252::Decode(line), cut};
}

// Takes the next field from the front of text: the part before a ";" that
// follows at least one character, the rest remaining. False when there is no
// such ";".
bool TakeField(QString &text, QString *field)
{
  const qsizetype sep = text.indexOf(u';');
  if (sep <= 0)
    return false;
  *field = text.left(sep);
  text.remove(0, sep + 1);
  return true;
}

QString JoinNumbers(const std::array<double, CBufferData::kTracks> &values)
{
  QString line;
  for (int t = 0; t < CBufferData::kTracks; ++t) {
    if (t > 0)
      line += u';';
    line += vtx::Format(u"%g", values[static_cast<size_t>(t)]);
  }
  return line;
}

} // namespace

namespace BufferFile {

std::array<QString, CBufferData::kTracks> SplitHeader(const QString &line, int *count)
{
  std::array<QString, CBufferData::kTracks> fields;
  *count = 0;
  if (line.indexOf(u';') <= 0)
    return fields;
  QString rest = line;
  while (*count < CBufferData::kTracks) {
    QString field;
    if (TakeField(rest, &field)) {
      fields[static_cast<size_t>((*count)++)] = field;
      continue;
    }
    if (!rest.isEmpty())
      fields[static_cast<size_t>((*count)++)] = rest;
    break;
  }
  return fields;
}

QByteArray Write(const CBufferData &data)
{
  QString text;
  for (int t = 0; t < CBufferData::kTracks; ++t) {
    if (t > 0)
      text += u';';
    text += data.names[static_cast<size_t>(t)];
  }
  text += u"\r\n";
  text += JoinNumbers(data.gains) + QStringLiteral("\r\n");
  text += JoinNumbers(data.offsets) + QStringLiteral("\r\n");
  text += vtx::Format(u"%.8f; %.8f\r\n", data.samplingTime, data.trigDelay);
  const unsigned n = std::min<unsigned>(data.nSamples, CBufferData::kMaxSamples);
  for (unsigned i = 0; i < n; ++i) {
    for (int t = 0; t < CBufferData::kTracks; ++t) {
      if (t > 0)
        text += u';';
      text += vtx::Format(u"%g", data.raw[static_cast<size_t>(t)][i]);
    }
    text += u"\r\n";
  }
  return Cp1252::Encode(text);
}

bool Read(QIODevice &in, CBufferData &data, ReadError *error)
{
  int lineNo = 0;
  bool lastCut = false;
  auto next = [&]() -> std::optional<QString> {
    std::optional<Line> line = ReadLine(in);
    if (!line)
      return std::nullopt;
    ++lineNo;
    lastCut = line->cut;
    return std::move(line->text);
  };
  // A nan or an infinity would show as text and draw nothing: the first one
  // refuses the file, once it is known that the header is whole.
  ReadError notFinite;
  auto finite = [&](double v) {
    if (!std::isfinite(v) && notFinite.kind == ReadError::None)
      notFinite = {ReadError::NotFinite, lineNo};
    return v;
  };
  auto number = [&](const QString &text) { return finite(vtx::AtofLike(text)); };
  auto refuse = [&](ReadError why) {
    if (error)
      *error = why;
    return false;
  };

  int count = 0;
  std::optional<QString> line = next();
  if (!line)
    return refuse({ReadError::HeaderMissing, lineNo + 1});
  const auto names = SplitHeader(*line, &count);
  for (int t = 0; t < count; ++t)
    data.names[static_cast<size_t>(t)] = names[static_cast<size_t>(t)];

  data.gains.fill(1.0);
  line = next();
  if (!line)
    return refuse({ReadError::HeaderMissing, lineNo + 1});
  const auto gains = SplitHeader(*line, &count);
  for (int t = 0; t < count; ++t)
    data.gains[static_cast<size_t>(t)] = number(gains[static_cast<size_t>(t)]);

  // Offsets not given are 0 even when the file ends here.
  data.offsets.fill(0.0);
  line = next();
  if (!line)
    return refuse({ReadError::HeaderMissing, lineNo + 1});
  // A file without the offsets line has the times in its third line; a line
  // that gives no sixth offset is taken for that.
  std::array<double, CBufferData::kTracks> offsets;
  offsets.fill(DBL_MAX);
  const auto fields = SplitHeader(*line, &count);
  for (int t = 0; t < count; ++t)
    offsets[static_cast<size_t>(t)] = vtx::AtofLike(fields[static_cast<size_t>(t)]);
  if (offsets[CBufferData::kTracks - 1] != DBL_MAX) {
    for (const double offset : offsets)
      finite(offset);
    data.offsets = offsets;
    line = next();
    if (!line)
      return refuse({ReadError::HeaderMissing, lineNo + 1});
  }

  QString times = *line;
  QString field;
  if (TakeField(times, &field))
    data.samplingTime = number(field);
  else if (!times.isEmpty())
    data.samplingTime = number(times);
  if (TakeField(times, &field))
    data.trigDelay = number(field);
  else if (!times.isEmpty())
    data.trigDelay = number(times);

  unsigned i = 0;
  for (; i < CBufferData::kMaxSamples; ++i) {
    line = next();
    if (!line)
      break;
    QString rest = *line;
    // A line short of fields repeats its last value for the tracks after it.
    for (int t = 0; t < CBufferData::kTracks; ++t) {
      if (TakeField(rest, &field))
        data.raw[static_cast<size_t>(t)][i] = number(field);
      else
        data.raw[static_cast<size_t>(t)][i] = number(rest);
    }
  }
  data.nSamples = i;
  // Only the last line read can be cut; the values it would repeat are not
  // the file's.
  if (lastCut)
    return refuse({ReadError::LineCut, lineNo});
  if (notFinite.kind != ReadError::None)
    return refuse(notFinite);
  if (error)
    *error = {};
  return true;
}

} // namespace BufferFile
