#include "trace/BufferFile.h"

#include "platform/Cp1252.h"
#include "platform/Format.h"

#include <QIODevice>

#include <cfloat>
#include <optional>

namespace {

// Longer lines are cut here; no field of a buffer file comes near it, and a
// hostile file cannot make one line fill the memory.
constexpr qint64 kMaxLine = 64 * 1024;

// One line without its "\n" and the "\r" before it; nothing at the end of
// the data.
std::optional<QString> ReadLine(QIODevice &in)
{
  if (in.atEnd())
    return std::nullopt;
  QByteArray line = in.readLine(kMaxLine);
  if (line.isEmpty() && in.atEnd())
    return std::nullopt;
  if (line.endsWith('\n')) {
    line.chop(1);
  } else {
    // Cut: the rest of the line is skipped up to its end.
    while (!in.atEnd()) {
      const QByteArray rest = in.readLine(kMaxLine);
      if (rest.endsWith('\n'))
        break;
    }
  }
  if (line.endsWith('\r'))
    line.chop(1);
  return Cp1252::Decode(line);
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

bool Read(QIODevice &in, CBufferData &data)
{
  int count = 0;
  std::optional<QString> line = ReadLine(in);
  if (!line)
    return false;
  const auto names = SplitHeader(*line, &count);
  for (int t = 0; t < count; ++t)
    data.names[static_cast<size_t>(t)] = names[static_cast<size_t>(t)];

  data.gains.fill(1.0);
  line = ReadLine(in);
  if (!line)
    return false;
  const auto gains = SplitHeader(*line, &count);
  for (int t = 0; t < count; ++t)
    data.gains[static_cast<size_t>(t)] = vtx::AtofLike(gains[static_cast<size_t>(t)]);

  // Offsets not given are 0 even when the file ends here.
  data.offsets.fill(0.0);
  line = ReadLine(in);
  if (!line)
    return false;
  // A file without the offsets line has the times in its third line; a line
  // that gives no sixth offset is taken for that.
  std::array<double, CBufferData::kTracks> offsets;
  offsets.fill(DBL_MAX);
  const auto fields = SplitHeader(*line, &count);
  for (int t = 0; t < count; ++t)
    offsets[static_cast<size_t>(t)] = vtx::AtofLike(fields[static_cast<size_t>(t)]);
  if (offsets[CBufferData::kTracks - 1] != DBL_MAX) {
    data.offsets = offsets;
    line = ReadLine(in);
    if (!line)
      return false;
  }

  QString times = *line;
  QString field;
  if (TakeField(times, &field))
    data.samplingTime = vtx::AtofLike(field);
  else if (!times.isEmpty())
    data.samplingTime = vtx::AtofLike(times);
  if (TakeField(times, &field))
    data.trigDelay = vtx::AtofLike(field);
  else if (!times.isEmpty())
    data.trigDelay = vtx::AtofLike(times);

  unsigned i = 0;
  for (; i < CBufferData::kMaxSamples; ++i) {
    line = ReadLine(in);
    if (!line)
      break;
    QString rest = *line;
    // A line short of fields repeats its last value for the tracks after it.
    for (int t = 0; t < CBufferData::kTracks; ++t) {
      if (TakeField(rest, &field))
        data.raw[static_cast<size_t>(t)][i] = vtx::AtofLike(field);
      else
        data.raw[static_cast<size_t>(t)][i] = vtx::AtofLike(rest);
    }
  }
  data.nSamples = i;
  return true;
}

} // namespace BufferFile
