// libFuzzer target: arbitrary bytes as a buffer file, read as a new chart
// window reads one. The samples stay within their 1000; what was accepted writes
// out in a form that reads back to the same names and samples, and from the
// second save on to the same bytes (the first may still round a denormal
// number; names holding ';' aside: the format does not escape them).
#include "trace/BufferFile.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void Check(bool cond)
{
  if (!cond)
    std::abort();
}

std::unique_ptr<CBufferData> NewWindowData()
{
  auto data = std::make_unique<CBufferData>();
  for (int t = 0; t < CBufferData::kTracks; ++t)
    data->names[static_cast<size_t>(t)] = QStringLiteral("Track %1").arg(t);
  return data;
}

bool Read(const QByteArray &bytes, CBufferData &data)
{
  QBuffer in;
  in.setData(bytes);
  in.open(QIODevice::ReadOnly);
  return BufferFile::Read(in, data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  auto first = NewWindowData();
  const bool read = Read(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), *first);
  Check(first->nSamples <= CBufferData::kMaxSamples);
  // A refused file is never shown, so never saved either.
  if (!read)
    return 0;
  const QByteArray once = BufferFile::Write(*first);

  auto second = NewWindowData();
  Check(Read(once, *second));
  Check(second->nSamples == first->nSamples);
  for (const QString &name : first->names)
    if (name.contains(u';'))
      return 0;
  Check(second->names == first->names);
  const QByteArray twice = BufferFile::Write(*second);
  auto third = NewWindowData();
  Check(Read(twice, *third));
  Check(BufferFile::Write(*third) == twice);
  return 0;
}
