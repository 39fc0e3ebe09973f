#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

// Builds zip archives for the tests with minizip's writer, including names
// and attributes a packer would never produce on its own.
struct ZipMakerEntry {
  std::string name{};
  QByteArray data{};
  unsigned unixMode = 0;     // made on Unix with this st_mode, when not 0
  unsigned long dosAttr = 0; // made on MS-DOS with these attribute bits otherwise
  QByteArray localExtra{};   // the local header's extra field
  bool store = false;        // no compression
  int year = 2020, month = 6, day = 15, hour = 10, minute = 20, second = 30;
};

// Writes the archive to path; false when minizip refuses.
bool MakeZip(const QString &path, const std::vector<ZipMakerEntry> &entries);
// The archive's bytes; empty when minizip refuses.
QByteArray ZipBytes(const std::vector<ZipMakerEntry> &entries);
// A file's bytes, or "<missing>" when it cannot be read.
QByteArray ReadAll(const QString &path);
// An "UT" extra field block with the given flag bits and times, in that order.
QByteArray UtExtra(unsigned flags, const std::vector<qint32> &times);
