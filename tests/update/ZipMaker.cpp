#include "ZipMaker.h"

#include <QFile>
#include <QTemporaryDir>

#include <minizip/zip.h>

bool MakeZip(const QString &path, const std::vector<ZipMakerEntry> &entries)
{
  const QByteArray native = QFile::encodeName(path);
  zipFile zf = zipOpen64(native.constData(), APPEND_STATUS_CREATE);
  if (!zf)
    return false;
  bool ok = true;
  for (const ZipMakerEntry &e : entries) {
    zip_fileinfo info{};
    info.tmz_date.tm_year = unsigned(e.year);
    info.tmz_date.tm_mon = unsigned(e.month - 1);
    info.tmz_date.tm_mday = unsigned(e.day);
    info.tmz_date.tm_hour = unsigned(e.hour);
    info.tmz_date.tm_min = unsigned(e.minute);
    info.tmz_date.tm_sec = unsigned(e.second);
    info.external_fa = e.unixMode ? (uLong(e.unixMode) << 16) : e.dosAttr;
    const uLong madeBy = e.unixMode ? (3u << 8) | 20u : 20u;
    ok = ok && zipOpenNewFileInZip4(zf, e.name.c_str(), &info, e.localExtra.constData(), uInt(e.localExtra.size()),
                                    nullptr, 0, nullptr, e.store ? 0 : Z_DEFLATED, e.store ? 0 : Z_DEFAULT_COMPRESSION,
                                    0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, madeBy, 0) == ZIP_OK;
    ok = ok && (e.data.isEmpty() || zipWriteInFileInZip(zf, e.data.constData(), unsigned(e.data.size())) == ZIP_OK);
    ok = ok && zipCloseFileInZip(zf) == ZIP_OK;
  }
  return zipClose(zf, nullptr) == ZIP_OK && ok;
}

QByteArray ZipBytes(const std::vector<ZipMakerEntry> &entries)
{
  QTemporaryDir dir;
  QFile f(dir.filePath(QStringLiteral("made.zip")));
  return MakeZip(f.fileName(), entries) && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray ReadAll(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray UtExtra(unsigned flags, const std::vector<qint32> &times)
{
  QByteArray block("UT");
  const int size = 1 + int(times.size()) * 4;
  block.append(char(size & 0xFF)).append(char(size >> 8)).append(char(flags));
  for (qint32 t : times)
    for (int i = 0; i < 4; ++i)
      block.append(char((quint32(t) >> (8 * i)) & 0xFF));
  return block;
}
