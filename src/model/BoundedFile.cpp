#include "BoundedFile.h"

#include "platform/Trace.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vtx {

namespace {

bool Refuse(const QString &path, const char *why, QString *reason)
{
  qCDebug(lcModel, "%s not read: %s", qUtf8Printable(path), why);
  if (reason)
    *reason = QString::fromUtf8(why);
  return false;
}

// What is wrong with a file of this kind and size, or null.
const char *Unfit(const struct stat &st)
{
  if (!S_ISREG(st.st_mode))
    return "not a regular file";
  if (st.st_size > kMaxInputFileSize)
    return "larger than the input bound";
  return nullptr;
}

} // namespace

bool ReadBoundedFile(const QString &path, QByteArray *bytes, QString *reason)
{
  bytes->clear();
  const QByteArray name = QFile::encodeName(path);
  struct stat st {};
  if (::stat(name.constData(), &st) != 0)
    return Refuse(path, std::strerror(errno), reason);
  if (const char *why = Unfit(st))
    return Refuse(path, why, reason);
  // Non-blocking: a path swapped for a FIFO after the check cannot hold the
  // open, and the descriptor is checked again below.
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    return Refuse(path, std::strerror(errno), reason);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (::fstat(fd, &st) != 0)
    return Refuse(path, std::strerror(errno), reason);
  if (const char *why = Unfit(st))
    return Refuse(path, why, reason);

  // One byte past the bound tells a file that grew since the check.
  const qint64 limit = kMaxInputFileSize + 1;
  QByteArray data;
  data.resize(static_cast<qsizetype>(std::min<qint64>(st.st_size + 1, limit)));
  qint64 got = 0;
  for (;;) {
    if (got == data.size()) {
      if (data.size() >= limit)
        return Refuse(path, "larger than the input bound", reason);
      data.resize(static_cast<qsizetype>(std::min<qint64>(data.size() * 2, limit)));
    }
    const ssize_t n = ::read(fd, data.data() + got, static_cast<size_t>(data.size() - got));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return Refuse(path, std::strerror(errno), reason);
    }
    if (n == 0)
      break;
    got += n;
  }
  data.truncate(static_cast<qsizetype>(got));
  *bytes = std::move(data);
  return true;
}

QString UnfitReason(const QString &path)
{
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0)
    return {};
  const char *why = Unfit(st);
  return why ? QString::fromUtf8(why) : QString();
}

} // namespace vtx
