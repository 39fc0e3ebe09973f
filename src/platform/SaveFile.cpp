#include "platform/SaveFile.h"

#include "platform/Format.h"
#include "platform/StringIds.h"
#include "platform/StringTable.h"
#include "platform/Trace.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vtx {

SaveError SaveErrorOf(int error, SaveError otherwise)
{
  switch (error) {
  case ENOSPC:
  case EDQUOT:
    return SaveError::NoSpace;
  case EFBIG:
    return SaveError::FileTooLarge;
  default:
    return otherwise;
  }
}

namespace {

// The temporary file could not be made: name what stands in the way.
SaveError OpenFailure(const QString &path, int error)
{
  const QFileInfo target(path);
  if (target.isDir() || (target.exists() && !target.isWritable()))
    return SaveError::CannotReplace;
  const QFileInfo folder(target.absolutePath());
  if (!folder.isDir() || !folder.isWritable())
    return SaveError::FolderNotWritable;
  switch (error) {
  case EACCES:
  case EPERM:
  case EROFS:
  case ENOENT:
  case ENOTDIR:
    return SaveError::FolderNotWritable;
  default:
    return SaveErrorOf(error, SaveError::Other);
  }
}

void Report(const char *step, const QString &path, const QSaveFile &file, int error)
{
  qCDebug(lcPlatform, "%s %s failed: %s (%s)", step, qUtf8Printable(path), qUtf8Printable(file.errorString()),
          error ? std::strerror(error) : "no system error");
}

} // namespace

SaveError SaveFileAtomically(const QString &path, const QByteArray &bytes)
{
  QSaveFile file(path);
  errno = 0;
  if (!file.open(QIODevice::WriteOnly)) {
    const int error = errno;
    Report("creating a temporary file for", path, file, error);
    return OpenFailure(path, error);
  }
  // A small write only fills Qt's buffer, and commit() renames the temporary
  // file even when the flush inside it fails: so flush and sync first, and
  // take errno before anything else can change it.
  errno = 0;
  bool written = file.write(bytes) == bytes.size() && file.flush();
  int error = errno;
  if (written && file.handle() >= 0 && ::fsync(file.handle()) != 0 && errno != EINVAL) {
    written = false;
    error = errno;
  }
  if (!written) {
    Report("writing", path, file, error);
    const SaveError reason =
        SaveErrorOf(error, file.error() == QFileDevice::ResourceError ? SaveError::NoSpace : SaveError::Other);
    file.cancelWriting();
    return reason;
  }
  if (!file.commit()) {
    Report("replacing", path, file, errno);
    return SaveError::CannotReplace;
  }
  return SaveError::None;
}

QString SaveErrorText(SaveError error, const QString &path)
{
  unsigned id = IDS_SAVE_FAILED;
  switch (error) {
  case SaveError::None:
    return {};
  case SaveError::NoSpace:
    id = IDS_SAVE_NO_SPACE;
    break;
  case SaveError::FileTooLarge:
    id = IDS_SAVE_TOO_LARGE;
    break;
  case SaveError::FolderNotWritable:
    id = IDS_SAVE_FOLDER_READ_ONLY;
    break;
  case SaveError::CannotReplace:
    id = IDS_SAVE_CANNOT_REPLACE;
    break;
  case SaveError::Other:
    break;
  }
  return Format(StringTable::Instance().Text(id), path);
}

} // namespace vtx
