#pragma once

#include <QByteArray>
#include <QString>

namespace vtx {

// The largest document, import file or buffer file read. The largest board
// descriptions are a few megabytes; far larger files are not ours and would
// only exhaust memory.
inline constexpr qint64 kMaxInputFileSize = 64 * 1024 * 1024;

// Reads a whole regular file of at most kMaxInputFileSize bytes. Anything
// else (a FIFO, a device, a directory, a larger file) is refused at once,
// before any read and without waiting for a writer. False when refused or
// unreadable, with the reason in *reason when given.
bool ReadBoundedFile(const QString &path, QByteArray *bytes, QString *reason = nullptr);

// Why ReadBoundedFile refuses this file for its kind or its size; empty when
// it does not (a missing or unreadable file included).
QString UnfitReason(const QString &path);

} // namespace vtx
