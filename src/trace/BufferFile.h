#pragma once

#include <QByteArray>
#include <QString>

#include <array>

class QIODevice;

// What a chart window holds of one trace buffer: track names, display gains
// and offsets, times and the raw samples (board units).
struct CBufferData {
  static constexpr int kTracks = 6;
  static constexpr int kMaxSamples = 1000;

  std::array<QString, kTracks> names;
  std::array<double, kTracks> gains{1, 1, 1, 1, 1, 1};
  std::array<double, kTracks> offsets{};
  double samplingTime = 0.1; // ms
  double trigDelay = 0.0;    // ms
  std::array<std::array<double, kMaxSamples>, kTracks> raw{};
  unsigned nSamples = 0;
};

// The buffer text file: ";"-separated lines ended by "\r\n", text in
// Windows-1252, numbers in the C locale. Line 1 names, 2 gains, 3 offsets
// (may be missing), 4 the two times, then one line of six raw values per
// sample.
namespace BufferFile {

QByteArray Write(const CBufferData &data);

// Why a file was refused, and on which line (counting from 1).
struct ReadError {
  enum Kind { None, HeaderMissing, NotFinite, LineCut } kind = None;
  int line = 0;
};

// Reads a buffer into data, which holds what the window had: names without a
// field keep theirs, and so do the times when the time line gives none. At
// most 1000 sample lines are taken. Returns false, saying why in error, when
// one of the four header lines is missing, a number taken is not finite, or
// the last line read has no line end (the file was cut inside it); data then
// holds part of the file and must not be shown.
bool Read(QIODevice &in, CBufferData &data, ReadError *error = nullptr);

// The fields of a header line, at most six, taken from the left.
std::array<QString, CBufferData::kTracks> SplitHeader(const QString &line, int *count);

} // namespace BufferFile
