#pragma once

#include <cstdint>

// Reading zip archives held in a file, behind an open file descriptor or in a
// memory block: list the entries and extract them to files, descriptors or
// memory. Every call answers one of the ZR_ codes (0 is success) and stores it
// as the layer's last result. The reader is minizip over our own stream.

enum : unsigned {
  ZR_OK = 0x00000000,
  ZR_NODUPH = 0x00000100,
  ZR_NOFILE = 0x00000200,
  ZR_NOALLOC = 0x00000300,
  ZR_WRITE = 0x00000400,
  ZR_NOTFOUND = 0x00000500,
  ZR_MORE = 0x00000600,
  ZR_CORRUPT = 0x00000700,
  ZR_READ = 0x00000800,
  ZR_ARGS = 0x00010000,
  ZR_NOTMMAP = 0x00020000,
  ZR_MEMSIZE = 0x00030000,
  ZR_FAILED = 0x00040000,
  ZR_ENDED = 0x00050000,
  ZR_MISSIZE = 0x00060000,
  ZR_PARTIALUNZ = 0x00070000,
  ZR_ZMODE = 0x00080000,
  ZR_NOTINITED = 0x01000000,
  ZR_SEEK = 0x02000000,
  ZR_NOCHANGE = 0x04000000,
  ZR_FLATE = 0x05000000,
  ZR_RECENT = 0x00000001, // FormatZipMessage only: the last result
};

// Source and target kinds (the flags of OpenZip and UnzipItem).
enum : unsigned { ZIP_HANDLE = 1, ZIP_FILENAME = 2, ZIP_MEMORY = 3 };

// Windows attribute bits of an entry record.
enum : unsigned {
  ZIP_ATTR_READONLY = 0x01,
  ZIP_ATTR_HIDDEN = 0x02,
  ZIP_ATTR_SYSTEM = 0x04,
  ZIP_ATTR_DIRECTORY = 0x10,
  ZIP_ATTR_ARCHIVE = 0x20,
  ZIP_ATTR_NORMAL = 0x80,
};

constexpr int kZipMaxName = 260;
// An entry size of this value or more (one that needs ZIP64) is recorded as this.
constexpr unsigned kZipSizeOver = 0xFFFFFFFFu;

// One entry as the caller sees it. Times are file times: 100 ns units since
// 1601-01-01 UTC.
struct ZipEntryInfo {
  int index;              // position in the central directory; for index -1, the count
  char name[kZipMaxName]; // as stored, folder part and separators included
  unsigned attr;          // ZIP_ATTR_ bits
  std::uint64_t atime, ctime, mtime;
  unsigned comp_size, unc_size; // kZipSizeOver: that much or more
};

struct TUnzipHandle;
using HZIP = TUnzipHandle *;

// The source of OpenZip(..., ZIP_HANDLE) and the target of UnzipItem(..., ZIP_HANDLE).
inline void *ZipFd(int fd)
{
  return reinterpret_cast<void *>(static_cast<std::intptr_t>(fd));
}

// ZIP_FILENAME: source is a file name (local 8-bit); ZIP_HANDLE: ZipFd(fd), a
// disk file, duplicated; ZIP_MEMORY: a block of length bytes, which stays the
// caller's and must outlive the handle. Null on failure (see the last result).
HZIP OpenZip(const void *source, unsigned length, unsigned flags);
// Index -1 answers the number of entries in ze->index.
unsigned GetZipItem(HZIP hz, int index, ZipEntryInfo *ze);
unsigned FindZipItem(HZIP hz, const char *name, bool ignoreCase, int *index, ZipEntryInfo *ze);
// ZIP_FILENAME: target is a relative name, resolved against the base folder
// (the current directory at opening unless SetUnzipBaseDir says otherwise);
// names that are absolute, hold a drive letter or a ".." step, or pass
// through a symbolic link are refused with ZR_NOFILE. The file is written
// under a temporary name and renamed into place only when complete.
// ZIP_HANDLE: target is ZipFd(fd). ZIP_MEMORY: up to length bytes per call;
// ZR_MORE asks for another call with the same index. A file or handle target
// answers ZR_CORRUPT for a damaged entry (bad data or check sum), ZR_READ when
// the archive cannot be read and ZR_WRITE when the target cannot be written.
unsigned UnzipItem(HZIP hz, int index, void *target, unsigned length, unsigned flags);
// The folder that ZIP_FILENAME targets count from.
unsigned SetUnzipBaseDir(HZIP hz, const char *folder);
unsigned CloseZip(HZIP hz);
bool IsZipHandle(HZIP hz);
// The text of a code (ZR_RECENT: of the last result); copies at most size - 1
// characters and a terminator when a buffer is given. Returns the full length.
unsigned FormatZipMessage(unsigned code, char *buffer, unsigned size);

// True when a stored or listed name is a plain relative path: not absolute,
// no drive letter, no ".." step, not empty. Both separators count.
bool IsSafeRelativeName(const char *name);
