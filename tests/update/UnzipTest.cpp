#include "update/Unzip.h"

#include "ZipMaker.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint32 kStamp = 1500000000; // 2017-07-14 02:40:00 UTC

std::uint64_t FileTime(qint64 unixSeconds)
{
  return std::uint64_t(unixSeconds + 11644473600ll) * 10000000ull;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

class UnzipTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("out"));
    m_out = m_dir.filePath("out");
    m_zip = m_dir.filePath("a.zip");
    ASSERT_TRUE(MakeZip(
        m_zip, {{.name = "readme.txt", .data = "hello zip", .unixMode = 0100644},
                {.name = "sub/", .unixMode = 040755},
                {.name = "sub/tool", .data = QByteArray(100000, 'x') + "#!/bin/sh\n", .unixMode = 0100775},
                {.name = "ro.txt", .data = "read only", .dosAttr = 0x01 | 0x20},
                {.name = "stamp.txt", .data = "stamped", .unixMode = 0100644, .localExtra = UtExtra(1, {kStamp})},
                {.name = "win\\style.txt", .data = "backslash", .dosAttr = 0x20}}));
  }

  // The archive at path (the test's own by default), unpacking into the output folder.
  HZIP Open(const QString &path = QString())
  {
    const QByteArray name = QFile::encodeName(path.isEmpty() ? m_zip : path);
    HZIP hz = OpenZip(name.constData(), 0, ZIP_FILENAME);
    EXPECT_NE(hz, nullptr);
    if (hz) {
      EXPECT_EQ(SetUnzipBaseDir(hz, QFile::encodeName(m_out).constData()), ZR_OK);
    }
    return hz;
  }

  QTemporaryDir m_dir;
  QString m_out;
  QString m_zip;
};

TEST_F(UnzipTest, ListsEntriesWithAttributesAndTimes)
{
  HZIP hz = Open();
  ASSERT_NE(hz, nullptr);
  ZipEntryInfo ze{};
  ASSERT_EQ(GetZipItem(hz, -1, &ze), ZR_OK);
  EXPECT_EQ(ze.index, 6);
  EXPECT_STREQ(ze.name, "");
  EXPECT_EQ(GetZipItem(hz, 6, &ze), ZR_ARGS);
  EXPECT_EQ(GetZipItem(hz, -2, &ze), ZR_ARGS);

  ASSERT_EQ(GetZipItem(hz, 1, &ze), ZR_OK);
  EXPECT_STREQ(ze.name, "sub/");
  EXPECT_TRUE(ze.attr & ZIP_ATTR_DIRECTORY);
  ASSERT_EQ(GetZipItem(hz, 2, &ze), ZR_OK);
  EXPECT_EQ(ze.attr, ZIP_ATTR_NORMAL);
  EXPECT_EQ(ze.unc_size, 100010u);
  EXPECT_LT(ze.comp_size, ze.unc_size);
  ASSERT_EQ(GetZipItem(hz, 3, &ze), ZR_OK);
  EXPECT_EQ(ze.attr, ZIP_ATTR_NORMAL | ZIP_ATTR_READONLY | ZIP_ATTR_ARCHIVE);
  // Neither the Unix owner-write bit nor the read-only bit: read-only.
  ASSERT_EQ(GetZipItem(hz, 5, &ze), ZR_OK);
  EXPECT_TRUE(ze.attr & ZIP_ATTR_READONLY);

  const std::uint64_t dos = FileTime(QDateTime(QDate(2020, 6, 15), QTime(10, 20, 30), Qt::UTC).toSecsSinceEpoch());
  ASSERT_EQ(GetZipItem(hz, 0, &ze), ZR_OK);
  EXPECT_EQ(ze.mtime, dos);
  ASSERT_EQ(GetZipItem(hz, 4, &ze), ZR_OK);
  EXPECT_EQ(ze.mtime, FileTime(kStamp)); // only the last write time comes from "UT"
  EXPECT_EQ(ze.atime, dos);
  EXPECT_EQ(ze.ctime, dos);

  int index = 0;
  EXPECT_EQ(FindZipItem(hz, "SUB/TOOL", false, &index, &ze), ZR_NOTFOUND);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(ze.index, -1);
  EXPECT_EQ(FindZipItem(hz, "SUB/TOOL", true, &index, &ze), ZR_OK);
  EXPECT_EQ(index, 2);
  EXPECT_STREQ(ze.name, "sub/tool");
  EXPECT_EQ(CloseZip(hz), ZR_OK);
}

TEST_F(UnzipTest, ExtractsToFilesHandlesAndMemory)
{
  HZIP hz = Open();
  ASSERT_NE(hz, nullptr);
  ZipEntryInfo ze{};
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(GetZipItem(hz, i, &ze), ZR_OK);
    EXPECT_EQ(UnzipItem(hz, i, ze.name, 0, ZIP_FILENAME), ZR_OK) << ze.name;
  }
  EXPECT_EQ(ReadAll(m_out + "/readme.txt"), "hello zip");
  EXPECT_EQ(ReadAll(m_out + "/win/style.txt"), "backslash");
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(m_out + "/sub/tool").constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u); // the execute bits survive, group write does not
  ASSERT_EQ(::stat(QFile::encodeName(m_out + "/ro.txt").constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  ASSERT_EQ(::stat(QFile::encodeName(m_out + "/stamp.txt").constData(), &st), 0);
  EXPECT_EQ(st.st_mtime, kStamp);
  // No temporary names are left behind.
  EXPECT_EQ(QDir(m_out).entryList(QDir::Files).size(), 3);
  EXPECT_EQ(QDir(m_out + "/sub").entryList(QDir::Files), QStringList{"tool"});

  // Memory target in pieces: "more" while bytes come, then success.
  char piece[4];
  QByteArray joined;
  unsigned code;
  while ((code = UnzipItem(hz, 0, piece, sizeof piece, ZIP_MEMORY)) == ZR_MORE)
    joined.append(piece, qsizetype(std::min<size_t>(sizeof piece, 9 - size_t(joined.size()))));
  EXPECT_EQ(code, ZR_OK);
  EXPECT_EQ(joined, "hello zip");

  const QByteArray handlePath = QFile::encodeName(m_dir.filePath("h.out"));
  const int fd = ::open(handlePath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(UnzipItem(hz, 4, ZipFd(fd), 0, ZIP_HANDLE), ZR_OK);
  ::close(fd);
  EXPECT_EQ(ReadAll(m_dir.filePath("h.out")), "stamped");
  EXPECT_EQ(CloseZip(hz), ZR_OK);
}

TEST_F(UnzipTest, OpensFromMemoryAndDescriptor)
{
  const QByteArray bytes = ReadAll(m_zip);
  HZIP hz = OpenZip(bytes.constData(), unsigned(bytes.size()), ZIP_MEMORY);
  ASSERT_NE(hz, nullptr);
  ZipEntryInfo ze{};
  EXPECT_EQ(GetZipItem(hz, -1, &ze), ZR_OK);
  EXPECT_EQ(ze.index, 6);
  EXPECT_EQ(CloseZip(hz), ZR_OK);

  // A descriptor positioned after some leading bytes: positions count from there.
  const QString prefixed = m_dir.filePath("prefixed.bin");
  ASSERT_TRUE(WriteFile(prefixed, QByteArray(77, 'p') + bytes));
  const int fd = ::open(QFile::encodeName(prefixed).constData(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::lseek(fd, 77, SEEK_SET), 77);
  hz = OpenZip(ZipFd(fd), 0, ZIP_HANDLE);
  ASSERT_NE(hz, nullptr);
  char text[16] = {};
  EXPECT_EQ(UnzipItem(hz, 0, text, sizeof text, ZIP_MEMORY), ZR_MORE);
  EXPECT_STREQ(text, "hello zip");
  EXPECT_EQ(CloseZip(hz), ZR_OK);
  EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 77); // the caller's position is untouched
  ::close(fd);

  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  EXPECT_EQ(OpenZip(ZipFd(pipeFds[0]), 0, ZIP_HANDLE), nullptr);
  char message[80];
  FormatZipMessage(ZR_RECENT, message, sizeof message);
  EXPECT_STREQ(message, "Zip-bug: trying to seek the unseekable");
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
}

TEST_F(UnzipTest, RefusesNamesLeavingTheFolder)
{
  const char *names[] = {"../evil.txt",         "/tmp/abs.txt",   "C:\\win.txt",
                         "sub\\..\\..\\up.txt", "ok/../../b.txt", "fine\\nested\\f.txt"};
  std::vector<ZipMakerEntry> entries;
  for (const char *name : names)
    entries.push_back({.name = name, .data = "payload", .unixMode = 0100644});
  const QString hostile = m_dir.filePath("hostile.zip");
  ASSERT_TRUE(MakeZip(hostile, entries));
  HZIP hz = Open(hostile);
  ASSERT_NE(hz, nullptr);
  ZipEntryInfo ze{};
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(GetZipItem(hz, i, &ze), ZR_OK);
    EXPECT_STREQ(ze.name, names[i]);
    EXPECT_FALSE(IsSafeRelativeName(ze.name)) << ze.name;
    EXPECT_EQ(UnzipItem(hz, i, ze.name, 0, ZIP_FILENAME), ZR_NOFILE) << ze.name;
  }
  ASSERT_EQ(GetZipItem(hz, 5, &ze), ZR_OK);
  EXPECT_EQ(UnzipItem(hz, 5, ze.name, 0, ZIP_FILENAME), ZR_OK);
  EXPECT_EQ(ReadAll(m_out + "/fine/nested/f.txt"), "payload");
  EXPECT_EQ(CloseZip(hz), ZR_OK);

  // Nothing was written next to the target folder or above it.
  QStringList outside = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
  outside.sort();
  EXPECT_EQ(outside, (QStringList{"a.zip", "hostile.zip", "out"}));
  EXPECT_FALSE(QFile::exists("/tmp/abs.txt"));
  EXPECT_FALSE(QFile::exists(QDir(m_dir.path()).filePath("../evil.txt")));

  // A folder step that is a link to elsewhere is not followed.
  ASSERT_TRUE(QFile::link(m_dir.path(), m_out + "/link"));
  hz = Open();
  ASSERT_NE(hz, nullptr);
  EXPECT_EQ(UnzipItem(hz, 0, const_cast<char *>("link/readme.txt"), 0, ZIP_FILENAME), ZR_NOFILE);
  EXPECT_FALSE(QFile::exists(m_dir.filePath("readme.txt")));
  EXPECT_EQ(CloseZip(hz), ZR_OK);
}

TEST_F(UnzipTest, CorruptArchivesFailCleanly)
{
  const QByteArray bytes = ReadAll(m_zip);
  // Truncated: no end of the central directory, from a file or from memory.
  const QString cut = m_dir.filePath("cut.zip");
  ASSERT_TRUE(WriteFile(cut, bytes.left(bytes.size() - 30)));
  EXPECT_EQ(OpenZip(QFile::encodeName(cut).constData(), 0, ZIP_FILENAME), nullptr);
  EXPECT_EQ(OpenZip(bytes.constData(), unsigned(bytes.size() / 2), ZIP_MEMORY), nullptr);
  char message[40];
  EXPECT_EQ(FormatZipMessage(ZR_RECENT, message, sizeof message), 23u);
  EXPECT_STREQ(message, "unknown zip result code");
  EXPECT_EQ(OpenZip(QFile::encodeName(m_dir.filePath("none.zip")).constData(), 0, ZIP_FILENAME), nullptr);
  FormatZipMessage(ZR_RECENT, message, sizeof message);
  EXPECT_STREQ(message, "Couldn't create/open file");

  // An entry whose data is said to lie past the end of a memory block.
  QByteArray farOff = bytes;
  const qsizetype eocd = farOff.size() - 22;
  ASSERT_TRUE(farOff.mid(eocd, 4) == QByteArray("PK\x05\x06"));
  const qsizetype central = qsizetype(quint8(farOff[eocd + 16])) | qsizetype(quint8(farOff[eocd + 17])) << 8 |
                            qsizetype(quint8(farOff[eocd + 18])) << 16;
  ASSERT_TRUE(farOff.mid(central, 4) == QByteArray("PK\x01\x02"));
  farOff[central + 42] = char(0xF0);
  farOff[central + 45] = char(0x7F);
  HZIP far = OpenZip(farOff.constData(), unsigned(farOff.size()), ZIP_MEMORY);
  ASSERT_NE(far, nullptr);
  ZipEntryInfo farEntry{};
  EXPECT_EQ(GetZipItem(far, 0, &farEntry), ZR_CORRUPT);
  char sink[64];
  EXPECT_EQ(UnzipItem(far, 0, sink, sizeof sink, ZIP_MEMORY), ZR_CORRUPT);
  EXPECT_EQ(CloseZip(far), ZR_OK);

  // A damaged entry fails its check sum and leaves the old file as it was;
  // that is told apart from a target that cannot take the data.
  QByteArray raw = ZipBytes({{.name = "data.bin", .data = QByteArray(5000, 'd'), .unixMode = 0100644, .store = true},
                             {.name = std::string(300, 'n'), .data = "long name"}});
  raw[30 + 8 + 100] = 'X';
  const QString damaged = m_dir.filePath("damaged.zip");
  ASSERT_TRUE(WriteFile(damaged, raw));
  ASSERT_TRUE(WriteFile(m_out + "/data.bin", "old content"));
  HZIP hz = Open(damaged);
  ASSERT_NE(hz, nullptr);
  EXPECT_EQ(UnzipItem(hz, 0, const_cast<char *>("data.bin"), 0, ZIP_FILENAME), ZR_CORRUPT);
  EXPECT_EQ(ReadAll(m_out + "/data.bin"), "old content");
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (full >= 0) {
    HZIP good = Open();
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(UnzipItem(good, 0, ZipFd(full), 0, ZIP_HANDLE), ZR_WRITE);
    EXPECT_EQ(CloseZip(good), ZR_OK);
    ::close(full);
  }
  EXPECT_EQ(QDir(m_out).entryList(QDir::Files), QStringList{"data.bin"});
  // A name longer than the record's buffer is a corrupt archive, not a cut name.
  ZipEntryInfo ze{};
  EXPECT_EQ(GetZipItem(hz, 1, &ze), ZR_CORRUPT);
  EXPECT_EQ(UnzipItem(hz, 1, const_cast<char *>("x"), 0, ZIP_FILENAME), ZR_CORRUPT);
  EXPECT_EQ(CloseZip(hz), ZR_OK);
}

TEST_F(UnzipTest, ReadsArchivesOfTheZipTool)
{
  // Info-ZIP writes Unix modes, "UT" blocks with two times, and a data
  // descriptor for what it reads from a pipe.
  const QString zipTool = QStandardPaths::findExecutable("zip");
  if (zipTool.isEmpty())
    GTEST_SKIP() << "no zip tool";
  const QString src = m_dir.filePath("src");
  ASSERT_TRUE(QDir().mkpath(src + "/sub"));
  ASSERT_TRUE(WriteFile(src + "/sub/run.sh", "#!/bin/sh\n"));
  ASSERT_TRUE(QFile::setPermissions(src + "/sub/run.sh", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                             QFile::ReadOther | QFile::ExeOther));
  const timespec times[2] = {{kStamp, 0}, {kStamp, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(src + "/sub/run.sh").constData(), times, 0), 0);
  const QString tool = m_dir.filePath("tool.zip");
  QProcess zip;
  zip.setWorkingDirectory(src);
  zip.start(zipTool, {"-qr", tool, "."});
  ASSERT_TRUE(zip.waitForFinished(20000));
  ASSERT_EQ(zip.exitCode(), 0);
  zip.start(zipTool, {"-q", tool, "-"});
  ASSERT_TRUE(zip.waitForStarted(20000));
  zip.write("from a pipe");
  zip.closeWriteChannel();
  ASSERT_TRUE(zip.waitForFinished(20000));
  ASSERT_EQ(zip.exitCode(), 0);

  HZIP hz = Open(tool);
  ASSERT_NE(hz, nullptr);
  ZipEntryInfo ze{};
  ASSERT_EQ(GetZipItem(hz, -1, &ze), ZR_OK);
  const int count = ze.index;
  QStringList names;
  for (int i = 0; i < count; ++i) {
    ASSERT_EQ(GetZipItem(hz, i, &ze), ZR_OK);
    names << QString::fromLatin1(ze.name);
    if (names.last() == "sub/run.sh") {
      EXPECT_EQ(ze.mtime, FileTime(kStamp));
      EXPECT_EQ(ze.attr, ZIP_ATTR_NORMAL);
    }
    EXPECT_EQ(UnzipItem(hz, i, ze.name, 0, ZIP_FILENAME), ZR_OK) << ze.name;
  }
  EXPECT_EQ(CloseZip(hz), ZR_OK);
  names.sort();
  EXPECT_EQ(names, (QStringList{"-", "sub/", "sub/run.sh"}));
  EXPECT_EQ(ReadAll(m_out + "/sub/run.sh"), "#!/bin/sh\n");
  EXPECT_EQ(ReadAll(m_out + "/-"), "from a pipe");
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(m_out + "/sub/run.sh").constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0705u);
  EXPECT_EQ(st.st_mtime, kStamp);
}

TEST(UnzipApi, HandlesAndMessages)
{
  ZipEntryInfo ze{};
  EXPECT_EQ(GetZipItem(nullptr, 0, &ze), ZR_ARGS);
  EXPECT_EQ(UnzipItem(nullptr, 0, nullptr, 0, ZIP_MEMORY), ZR_ARGS);
  EXPECT_EQ(CloseZip(nullptr), ZR_ARGS);
  EXPECT_TRUE(IsZipHandle(nullptr));
  EXPECT_EQ(OpenZip("x", 0, 4), nullptr);
  char one[1] = {'z'};
  EXPECT_EQ(FormatZipMessage(ZR_RECENT, one, 1), 24u); // "Caller: faulty arguments"
  EXPECT_EQ(one[0], '\0');
  char text[64];
  FormatZipMessage(ZR_NODUPH, text, sizeof text);
  EXPECT_STREQ(text, "Culdn't duplicate handle");
  EXPECT_EQ(FormatZipMessage(0x1234, nullptr, 0), 23u);

  // An archive without entries.
  QTemporaryDir dir;
  const QString empty = dir.filePath("empty.zip");
  ASSERT_TRUE(MakeZip(empty, {}));
  HZIP hz = OpenZip(QFile::encodeName(empty).constData(), 0, ZIP_FILENAME);
  ASSERT_NE(hz, nullptr);
  EXPECT_TRUE(IsZipHandle(hz));
  EXPECT_EQ(GetZipItem(hz, -1, &ze), ZR_OK);
  EXPECT_EQ(ze.index, 0);
  EXPECT_EQ(GetZipItem(hz, 0, &ze), ZR_ARGS);
  EXPECT_EQ(UnzipItem(hz, 0, text, sizeof text, 7), ZR_ARGS);
  EXPECT_EQ(CloseZip(hz), ZR_OK);
}

} // namespace
