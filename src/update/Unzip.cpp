#include "update/Unzip.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <minizip/unzip.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> g_lastResult{ZR_OK};

unsigned Remember(unsigned code)
{
  g_lastResult = code;
  return code;
}

constexpr std::uint64_t kEpochDiff = 11644473600ull; // seconds from 1601 to 1970
constexpr unsigned kChunk = 16384;

std::uint64_t UnixToFileTime(std::int64_t t)
{
  return std::uint64_t(t + std::int64_t(kEpochDiff)) * 10000000ull;
}

// MS-DOS date and time taken as UTC (no zone conversion); 0 when invalid.
std::uint64_t DosToFileTime(unsigned long dos)
{
  const QDate date(int((dos >> 25) & 0x7F) + 1980, int((dos >> 21) & 0x0F), int((dos >> 16) & 0x1F));
  const QTime time(int((dos >> 11) & 0x1F), int((dos >> 5) & 0x3F), int(dos & 0x1F) * 2);
  if (!date.isValid() || !time.isValid())
    return 0;
  return UnixToFileTime(QDateTime(date, time, Qt::UTC).toSecsSinceEpoch());
}

timespec FileTimeToTimespec(std::uint64_t ft)
{
  timespec ts{};
  const std::int64_t units = std::int64_t(ft) - std::int64_t(kEpochDiff) * 10000000ll;
  ts.tv_sec = time_t(units / 10000000ll);
  ts.tv_nsec = long((units % 10000000ll) * 100);
  if (ts.tv_nsec < 0) {
    ts.tv_nsec += 1000000000l;
    --ts.tv_sec;
  }
  return ts;
}

// The source of one open archive.
struct ZipStream {
  bool isHandle = false;
  bool canSeek = false;
  int fd = -1; // owned
  bool readError = false;
  std::uint64_t start = 0;              // descriptor position at opening; positions count from it
  std::uint64_t pos = 0;                // our own position, so the caller's descriptor offset stays put
  const unsigned char *block = nullptr; // the caller's
  std::uint64_t length = 0;
  std::uint64_t blockPos = 0;
};

unsigned OpenStream(const void *source, unsigned length, unsigned flags, ZipStream **out)
{
  *out = nullptr;
  if (flags != ZIP_HANDLE && flags != ZIP_FILENAME && flags != ZIP_MEMORY)
    return ZR_ARGS;
  auto *s = new ZipStream;
  if (flags == ZIP_MEMORY) {
    if (!source && length) {
      delete s;
      return ZR_ARGS;
    }
    s->block = static_cast<const unsigned char *>(source);
    s->length = length;
  } else {
    s->isHandle = true;
    if (flags == ZIP_FILENAME) {
      s->fd = source ? ::open(static_cast<const char *>(source), O_RDONLY | O_CLOEXEC | O_NONBLOCK) : -1;
      if (s->fd < 0) {
        delete s;
        return ZR_NOFILE;
      }
    } else {
      s->fd = ::fcntl(int(reinterpret_cast<std::intptr_t>(source)), F_DUPFD_CLOEXEC, 0);
      if (s->fd < 0) {
        delete s;
        return ZR_NODUPH;
      }
    }
    struct stat st {};
    s->canSeek = ::fstat(s->fd, &st) == 0 && S_ISREG(st.st_mode);
    if (s->canSeek) {
      const off_t at = ::lseek(s->fd, 0, SEEK_CUR);
      s->start = at > 0 ? std::uint64_t(at) : 0;
    }
  }
  *out = s;
  return ZR_OK;
}

voidpf ZCALLBACK StreamOpen(voidpf, const void *stream, int)
{
  return const_cast<void *>(stream);
}

uLong ZCALLBACK StreamRead(voidpf, voidpf stream, void *buf, uLong size)
{
  auto *s = static_cast<ZipStream *>(stream);
  if (!s->isHandle) {
    const std::uint64_t left = s->length - s->blockPos;
    const uLong n = uLong(std::min<std::uint64_t>(left, size));
    if (n)
      std::memcpy(buf, s->block + s->blockPos, n);
    s->blockPos += n;
    return n;
  }
  ssize_t n;
  do {
    n = s->canSeek ? ::pread(s->fd, buf, size, off_t(s->start + s->pos)) : ::read(s->fd, buf, size);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    s->readError = true;
    return 0;
  }
  s->pos += std::uint64_t(n);
  return uLong(n);
}

uLong ZCALLBACK StreamWrite(voidpf, voidpf, const void *, uLong)
{
  return 0;
}

ZPOS64_T ZCALLBACK StreamTell(voidpf, voidpf stream)
{
  const auto *s = static_cast<ZipStream *>(stream);
  if (!s->isHandle)
    return s->blockPos;
  return s->canSeek ? s->pos : 0;
}

long ZCALLBACK StreamSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
  auto *s = static_cast<ZipStream *>(stream);
  const auto delta = static_cast<std::int64_t>(offset);
  if (s->isHandle && !s->canSeek)
    return 29;
  std::int64_t base;
  switch (origin) {
  case ZLIB_FILEFUNC_SEEK_SET:
    base = 0;
    break;
  case ZLIB_FILEFUNC_SEEK_CUR:
    base = std::int64_t(s->isHandle ? s->pos : s->blockPos);
    break;
  case ZLIB_FILEFUNC_SEEK_END:
    if (s->isHandle) {
      struct stat st {};
      if (::fstat(s->fd, &st) != 0)
        return -1;
      base = std::int64_t(st.st_size) - std::int64_t(s->start);
    } else {
      base = std::int64_t(s->length);
    }
    break;
  default:
    return 19;
  }
  const std::int64_t target = base + delta;
  if (target < 0)
    return -1;
  if (!s->isHandle) {
    // A memory block has nothing past its end.
    if (std::uint64_t(target) > s->length)
      return -1;
    s->blockPos = std::uint64_t(target);
  } else {
    s->pos = std::uint64_t(target);
  }
  return 0;
}

int ZCALLBACK StreamClose(voidpf, voidpf stream)
{
  auto *s = static_cast<ZipStream *>(stream);
  if (!s)
    return -1;
  if (s->fd >= 0)
    ::close(s->fd);
  delete s;
  return 0;
}

int ZCALLBACK StreamError(voidpf, voidpf stream)
{
  const auto *s = static_cast<ZipStream *>(stream);
  return s && s->isHandle && s->readError ? 1 : 0;
}

bool WriteAll(int fd, const char *data, size_t size)
{
  while (size) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

// ZIP_ATTR_ bits from an entry's external attributes (MS-DOS low byte, Unix high word).
unsigned AttributesOf(unsigned long a)
{
  unsigned attr = ZIP_ATTR_NORMAL;
  if ((a & 0x40000000ul) || (a & 0x10))
    attr |= ZIP_ATTR_DIRECTORY;
  if (a & 0x20)
    attr |= ZIP_ATTR_ARCHIVE;
  if (a & 0x02)
    attr |= ZIP_ATTR_HIDDEN;
  if (!((a & 0x00800000ul) && !(a & 0x01)))
    attr |= ZIP_ATTR_READONLY;
  if (a & 0x04)
    attr |= ZIP_ATTR_SYSTEM;
  return attr;
}

// Extended time stamps ("UT") replace the MS-DOS time, field by field.
void ApplyExtendedTimes(const std::vector<unsigned char> &extra, ZipEntryInfo &rec)
{
  const size_t n = extra.size();
  for (size_t p = 0; n > p + 4;) {
    const unsigned size = unsigned(extra[p + 2]) | unsigned(extra[p + 3]) << 8;
    if (extra[p] == 'U' && extra[p + 1] == 'T') {
      const unsigned flags = extra[p + 4];
      size_t q = p + 5;
      std::uint64_t *fields[] = {&rec.mtime, &rec.atime, &rec.ctime};
      for (int bit = 0; bit < 3; ++bit) {
        if (!(flags & (1u << bit)))
          continue;
        if (q + 4 <= n) {
          const std::int32_t t = std::int32_t(std::uint32_t(extra[q]) | std::uint32_t(extra[q + 1]) << 8 |
                                              std::uint32_t(extra[q + 2]) << 16 | std::uint32_t(extra[q + 3]) << 24);
          *fields[bit] = UnixToFileTime(t);
        }
        q += 4;
      }
      break;
    }
    p += size + 4;
  }
}

std::string Normalized(const char *name)
{
  std::string path(name);
  for (char &c : path)
    if (c == '\\')
      c = '/';
  return path;
}

} // namespace

bool IsSafeRelativeName(const char *name)
{
  if (!name || !*name || name[0] == '/' || name[0] == '\\')
    return false;
  if (name[1] == ':')
    return false;
  const std::string path = Normalized(name);
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos)
      end = path.size();
    if (path.compare(start, end - start, "..") == 0 && end - start == 2)
      return false;
    start = end + 1;
  }
  return true;
}

// An archive opened through minizip over a ZipStream.
class CUnzipArchive {
public:
  ~CUnzipArchive() { Close(); }

  unsigned Open(const void *source, unsigned length, unsigned flags);
  unsigned Get(int index, ZipEntryInfo *ze);
  unsigned Find(const char *name, bool ignoreCase, int *index, ZipEntryInfo *ze);
  unsigned Unzip(int index, void *target, unsigned length, unsigned flags);
  unsigned Close();
  void SetRoot(const char *folder);

private:
  bool GoTo(int index);
  void CloseEntry();
  unsigned ReadLocalExtra(std::vector<unsigned char> *extra);
  unsigned UnzipToFile(const ZipEntryInfo &ze, const char *target);
  unsigned CopyEntry(int fd);
  bool MakeFolders(const std::string &relative);

  unzFile m_reader = nullptr;
  int m_openEntry = -1;
  ZipEntryInfo m_cached{};
  int m_cachedIndex = -1;
  unsigned m_cachedMode = 0; // Unix permission bits of the cached entry, 0 when none stored
  std::string m_root;        // with its trailing '/'
  int m_position = -1;       // entry the reader stands on
  int m_count = 0;
  bool m_empty = false; // open on an archive without entries, no reader
};

void CUnzipArchive::SetRoot(const char *folder)
{
  m_root = folder ? folder : "";
  if (m_root.empty() || m_root.back() != '/')
    m_root += '/';
}

unsigned CUnzipArchive::Open(const void *source, unsigned length, unsigned flags)
{
  if (m_reader || m_empty || m_openEntry >= 0)
    return ZR_NOTINITED;
  char cwd[4096];
  SetRoot(::getcwd(cwd, sizeof cwd) ? cwd : ".");
  if (flags == ZIP_HANDLE) {
    struct stat st {};
    if (::fstat(int(reinterpret_cast<std::intptr_t>(source)), &st) != 0 || !S_ISREG(st.st_mode))
      return ZR_SEEK;
  }
  ZipStream *stream = nullptr;
  if (const unsigned code = OpenStream(source, length, flags, &stream))
    return code;
  zlib_filefunc64_def io{};
  io.zopen64_file = StreamOpen;
  io.zread_file = StreamRead;
  io.zwrite_file = StreamWrite;
  io.ztell64_file = StreamTell;
  io.zseek64_file = StreamSeek;
  io.zclose_file = StreamClose;
  io.zerror_file = StreamError;
  // minizip takes an end record at offset 0 for "not found", so an archive
  // without entries is recognised here.
  unsigned char head[22];
  if (StreamRead(nullptr, stream, head, sizeof head) == sizeof head && std::memcmp(head, "PK\5\6", 4) == 0 &&
      head[8] == 0 && head[9] == 0 && head[10] == 0 && head[11] == 0) {
    StreamClose(nullptr, stream);
    m_empty = true;
    m_count = 0;
    return ZR_OK;
  }
  StreamSeek(nullptr, stream, 0, ZLIB_FILEFUNC_SEEK_SET);
  // minizip closes the stream itself when the open fails.
  m_reader = unzOpen2_64(stream, &io);
  if (!m_reader)
    return unsigned(UNZ_BADZIPFILE);
  unz_global_info64 info{};
  if (unzGetGlobalInfo64(m_reader, &info) != UNZ_OK || info.number_entry > 0x7FFFFFFF) {
    Close();
    return unsigned(UNZ_BADZIPFILE);
  }
  m_count = int(info.number_entry);
  m_position = -1;
  return ZR_OK;
}

void CUnzipArchive::CloseEntry()
{
  if (m_openEntry >= 0 && m_reader)
    unzCloseCurrentFile(m_reader);
  m_openEntry = -1;
}

bool CUnzipArchive::GoTo(int index)
{
  if (m_position < 0 || index < m_position) {
    if (unzGoToFirstFile(m_reader) != UNZ_OK)
      return false;
    m_position = 0;
  }
  while (m_position < index) {
    if (unzGoToNextFile(m_reader) != UNZ_OK) {
      m_position = -1;
      return false;
    }
    ++m_position;
  }
  return true;
}

unsigned CUnzipArchive::Get(int index, ZipEntryInfo *ze)
{
  if ((!m_reader && !m_empty) || !ze || index < -1 || index >= m_count)
    return ZR_ARGS;
  CloseEntry();
  if (index == -1) {
    std::memset(ze, 0, sizeof *ze);
    ze->index = m_count;
    return ZR_OK;
  }
  if (index == m_cachedIndex) {
    *ze = m_cached;
    return ZR_OK;
  }
  if (!GoTo(index))
    return ZR_CORRUPT;
  unz_file_info64 info{};
  char name[kZipMaxName];
  if (unzGetCurrentFileInfo64(m_reader, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
    return ZR_CORRUPT;
  // A name that does not fit the record would be cut short: the archive is not for us.
  if (info.size_filename >= sizeof name)
    return ZR_CORRUPT;
  name[info.size_filename] = '\0';
  std::vector<unsigned char> extra;
  if (const unsigned code = ReadLocalExtra(&extra); code != ZR_OK)
    return code;

  ZipEntryInfo rec{};
  rec.index = index;
  std::memcpy(rec.name, name, info.size_filename + 1);
  rec.attr = AttributesOf(info.external_fa);
  // Sizes that need ZIP64 do not fit the record: they stay at the largest value.
  rec.comp_size = unsigned(std::min<ZPOS64_T>(info.compressed_size, kZipSizeOver));
  rec.unc_size = unsigned(std::min<ZPOS64_T>(info.uncompressed_size, kZipSizeOver));
  rec.atime = rec.ctime = rec.mtime = DosToFileTime(info.dosDate);
  ApplyExtendedTimes(extra, rec);

  const unsigned hostSystem = unsigned(info.version >> 8);
  m_cachedMode = hostSystem == 3 ? unsigned(info.external_fa >> 16) & 07777 : 0;
  m_cached = rec;
  m_cachedIndex = index;
  *ze = rec;
  return ZR_OK;
}

// The local extra field of the entry the reader stands on.
unsigned CUnzipArchive::ReadLocalExtra(std::vector<unsigned char> *extra)
{
  if (unzOpenCurrentFile(m_reader) != UNZ_OK)
    return ZR_CORRUPT;
  const int extraLength = unzGetLocalExtrafield(m_reader, nullptr, 0);
  extra->assign(size_t(std::max(extraLength, 0)), 0);
  const int got = extraLength > 0 ? unzGetLocalExtrafield(m_reader, extra->data(), unsigned(extra->size())) : 0;
  unzCloseCurrentFile(m_reader);
  if (extraLength < 0 || got != extraLength)
    return ZR_READ;
  return ZR_OK;
}

unsigned CUnzipArchive::Find(const char *name, bool ignoreCase, int *index, ZipEntryInfo *ze)
{
  if ((!m_reader && !m_empty) || !name)
    return ZR_ARGS;
  CloseEntry();
  int found = -1;
  for (int i = 0; i < m_count && found < 0; ++i) {
    if (!GoTo(i))
      break;
    unz_file_info64 info{};
    char entryName[kZipMaxName];
    if (unzGetCurrentFileInfo64(m_reader, &info, entryName, sizeof entryName, nullptr, 0, nullptr, 0) != UNZ_OK ||
        info.size_filename >= sizeof entryName)
      continue;
    entryName[info.size_filename] = '\0';
    if ((ignoreCase ? ::strcasecmp(entryName, name) : std::strcmp(entryName, name)) == 0)
      found = i;
  }
  if (index)
    *index = found;
  if (found < 0) {
    if (ze) {
      std::memset(ze, 0, sizeof *ze);
      ze->index = -1;
    }
    return ZR_NOTFOUND;
  }
  return ze ? Get(found, ze) : ZR_OK;
}

bool CUnzipArchive::MakeFolders(const std::string &relative)
{
  // Creates each step below the root; a step that is a symbolic link could lead elsewhere.
  size_t start = 0;
  while (start < relative.size()) {
    size_t end = relative.find('/', start);
    if (end == std::string::npos)
      end = relative.size();
    if (end > start) {
      const std::string folder = m_root + relative.substr(0, end);
      struct stat st {};
      if (::lstat(folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
          return false;
      } else if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        return false;
      }
    }
    start = end + 1;
  }
  return true;
}

unsigned CUnzipArchive::CopyEntry(int fd)
{
  // A damaged entry (ZR_CORRUPT, or ZR_READ when the archive cannot be read)
  // is told apart from a target that cannot take the data (ZR_WRITE).
  if (unzOpenCurrentFile(m_reader) != UNZ_OK)
    return ZR_CORRUPT;
  m_openEntry = m_position;
  std::vector<char> buffer(kChunk);
  unsigned code = ZR_OK;
  for (;;) {
    const int n = unzReadCurrentFile(m_reader, buffer.data(), kChunk);
    if (n < 0) {
      code = n == UNZ_ERRNO ? ZR_READ : ZR_CORRUPT;
      break;
    }
    if (n > 0 && !WriteAll(fd, buffer.data(), size_t(n))) {
      code = ZR_WRITE;
      break;
    }
    if (n == 0)
      break;
  }
  // The check sum is tested when the entry is closed after its last byte.
  if (unzCloseCurrentFile(m_reader) != UNZ_OK && code == ZR_OK)
    code = ZR_CORRUPT;
  m_openEntry = -1;
  return code;
}

unsigned CUnzipArchive::UnzipToFile(const ZipEntryInfo &ze, const char *target)
{
  if (!IsSafeRelativeName(target))
    return ZR_NOFILE;
  std::string relative = Normalized(target);
  const size_t slash = relative.rfind('/');
  if (slash != std::string::npos && !MakeFolders(relative.substr(0, slash)))
    return ZR_NOFILE;
  const std::string path = m_root + relative;
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0)
    return ZR_NOFILE;
  unsigned code = CopyEntry(fd);
  if (code == ZR_OK) {
    // Linux keeps no hidden, system or archive bits; the stored Unix mode wins
    // (never group- or world-writable), else the read-only bit.
    mode_t mode = m_cachedMode ? mode_t(m_cachedMode & 0755) : 0644;
    if (!m_cachedMode && (ze.attr & ZIP_ATTR_READONLY))
      mode &= ~mode_t(0222);
    const timespec times[2] = {FileTimeToTimespec(ze.atime), FileTimeToTimespec(ze.mtime)};
    if (::fchmod(fd, mode | S_IRUSR) != 0 || (ze.mtime && ::futimens(fd, times) != 0))
      code = ZR_WRITE;
  }
  if (::close(fd) != 0)
    code = ZR_WRITE;
  if (code == ZR_OK && ::rename(temp.c_str(), path.c_str()) != 0)
    code = ZR_WRITE;
  if (code != ZR_OK)
    ::unlink(temp.c_str());
  return code;
}

unsigned CUnzipArchive::Unzip(int index, void *target, unsigned length, unsigned flags)
{
  if (flags != ZIP_HANDLE && flags != ZIP_FILENAME && flags != ZIP_MEMORY)
    return ZR_ARGS;
  if (!m_reader)
    return ZR_ARGS;
  if (flags == ZIP_MEMORY) {
    if (!target && length)
      return ZR_ARGS;
    if (index != m_openEntry) {
      CloseEntry();
      if (index < 0 || index >= m_count)
        return ZR_ARGS;
      if (!GoTo(index) || unzOpenCurrentFile(m_reader) != UNZ_OK)
        return ZR_CORRUPT;
      m_openEntry = index;
    }
    const int n = length ? unzReadCurrentFile(m_reader, target, length) : 0;
    if (n > 0)
      return ZR_MORE;
    const int closed = unzCloseCurrentFile(m_reader);
    m_openEntry = -1;
    return n < 0 || closed != UNZ_OK ? ZR_FLATE : ZR_OK;
  }
  CloseEntry();
  if (index < 0 || index >= m_count)
    return ZR_ARGS;
  ZipEntryInfo ze{};
  if (const unsigned code = Get(index, &ze))
    return code;
  if (!GoTo(index))
    return ZR_CORRUPT;
  if (ze.attr & ZIP_ATTR_DIRECTORY) {
    if (flags == ZIP_HANDLE)
      return ZR_OK;
    if (!IsSafeRelativeName(ze.name))
      return ZR_NOFILE;
    return MakeFolders(Normalized(ze.name)) ? ZR_OK : ZR_NOFILE;
  }
  if (flags == ZIP_FILENAME)
    return target ? UnzipToFile(ze, static_cast<const char *>(target)) : ZR_ARGS;
  const int fd = int(reinterpret_cast<std::intptr_t>(target));
  const unsigned code = CopyEntry(fd);
  struct stat st {};
  if (code == ZR_OK && ze.mtime && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const timespec times[2] = {FileTimeToTimespec(ze.atime), FileTimeToTimespec(ze.mtime)};
    ::futimens(fd, times);
  }
  return code;
}

unsigned CUnzipArchive::Close()
{
  CloseEntry();
  if (m_reader)
    unzClose(m_reader);
  m_reader = nullptr;
  m_empty = false;
  m_position = -1;
  return ZR_OK;
}

struct TUnzipHandle {
  int kind = 1;
  CUnzipArchive *archive = nullptr; // owned
};

namespace {

unsigned CheckHandle(HZIP hz)
{
  if (!hz)
    return ZR_ARGS;
  if (hz->kind != 1 || !hz->archive)
    return ZR_ZMODE;
  return ZR_OK;
}

const char *MessageText(unsigned code)
{
  switch (code) {
  case ZR_OK:
    return "Success";
  case ZR_NODUPH:
    return "Culdn't duplicate handle";
  case ZR_NOFILE:
    return "Couldn't create/open file";
  case ZR_NOALLOC:
    return "Failed to allocate memory";
  case ZR_WRITE:
    return "Error writing to file";
  case ZR_NOTFOUND:
    return "File not found in the zipfile";
  case ZR_MORE:
    return "Still more data to unzip";
  case ZR_CORRUPT:
    return "Zipfile is corrupt or not a zipfile";
  case ZR_READ:
    return "Error reading file";
  case ZR_ARGS:
    return "Caller: faulty arguments";
  case ZR_NOTMMAP:
    return "Caller: can only get memory of a memory zipfile";
  case ZR_MEMSIZE:
    return "Caller: not enough space allocated for memory zipfile";
  case ZR_FAILED:
    return "Caller: there was a previous error";
  case ZR_ENDED:
    return "Caller: additions to the zip have already been ended";
  case ZR_MISSIZE:
    return "Zip-bug: the anticipated size turned out wrong";
  case ZR_PARTIALUNZ:
    return "Caller: the file had already been partially unzipped";
  case ZR_ZMODE:
    return "Caller: mixing creation and opening of zip";
  case ZR_NOTINITED:
    return "Zip-bug: internal initialisation not completed";
  case ZR_SEEK:
    return "Zip-bug: trying to seek the unseekable";
  case ZR_NOCHANGE:
    return "Zip-bug: tried to change mind, but not allowed";
  case ZR_FLATE:
    return "Zip-bug: an internal error during flation";
  default:
    return "unknown zip result code";
  }
}

} // namespace

HZIP OpenZip(const void *source, unsigned length, unsigned flags)
{
  auto *archive = new CUnzipArchive;
  const unsigned code = Remember(archive->Open(source, length, flags));
  if (code != ZR_OK) {
    delete archive;
    return nullptr;
  }
  auto *hz = new TUnzipHandle;
  hz->archive = archive;
  return hz;
}

unsigned GetZipItem(HZIP hz, int index, ZipEntryInfo *ze)
{
  if (const unsigned code = CheckHandle(hz))
    return Remember(code);
  return Remember(hz->archive->Get(index, ze));
}

unsigned FindZipItem(HZIP hz, const char *name, bool ignoreCase, int *index, ZipEntryInfo *ze)
{
  if (const unsigned code = CheckHandle(hz))
    return Remember(code);
  return Remember(hz->archive->Find(name, ignoreCase, index, ze));
}

unsigned UnzipItem(HZIP hz, int index, void *target, unsigned length, unsigned flags)
{
  if (const unsigned code = CheckHandle(hz))
    return Remember(code);
  return Remember(hz->archive->Unzip(index, target, length, flags));
}

unsigned SetUnzipBaseDir(HZIP hz, const char *folder)
{
  if (const unsigned code = CheckHandle(hz))
    return Remember(code);
  if (!folder || !*folder)
    return Remember(ZR_ARGS);
  hz->archive->SetRoot(folder);
  return Remember(ZR_OK);
}

unsigned CloseZip(HZIP hz)
{
  if (const unsigned code = CheckHandle(hz))
    return Remember(code);
  const unsigned code = hz->archive->Close();
  delete hz->archive;
  delete hz;
  return Remember(code);
}

bool IsZipHandle(HZIP hz)
{
  return !hz || hz->kind == 1;
}

unsigned FormatZipMessage(unsigned code, char *buffer, unsigned size)
{
  if (code == ZR_RECENT)
    code = g_lastResult;
  const char *text = MessageText(code);
  const unsigned length = unsigned(std::strlen(text));
  if (buffer && size > 0) {
    const unsigned n = std::min(length, size - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
  }
  return length;
}
