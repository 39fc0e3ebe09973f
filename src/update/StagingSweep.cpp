#include "update/StagingSweep.h"

#include <QDir>
#include <QFile>

#include <memory>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kSuffixLength = 6; // mkdtemp's XXXXXX

enum class Content { NotStaging, NoBackups, Backups };

struct DirCloser {
  void operator()(DIR *dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsStagingName(const QByteArray &entry, const QByteArray &archiveName)
{
  if (entry.size() != archiveName.size() + 1 + kSuffixLength || !entry.startsWith(archiveName) ||
      entry[archiveName.size()] != '.')
    return false;
  for (const char c : entry.right(kSuffixLength)) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
      return false;
  }
  return true;
}

// The entries of a folder but "." and "..", or false when it cannot be read.
bool Entries(const QByteArray &folder, std::vector<QByteArray> *names)
{
  DirHandle dir(::opendir(folder.constData()));
  if (!dir)
    return false;
  while (const dirent *entry = ::readdir(dir.get())) {
    const QByteArray name(entry->d_name);
    if (name != "." && name != "..")
      names->push_back(name);
  }
  return true;
}

bool IsOwnFolder(const QByteArray &path)
{
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// What a folder of a staging name holds; a link is never looked through.
Content Inspect(const QByteArray &path)
{
  std::vector<QByteArray> names;
  if (!IsOwnFolder(path) || !Entries(path, &names))
    return Content::NotStaging;
  Content content = Content::NoBackups;
  for (const QByteArray &name : names) {
    struct stat st {};
    const QByteArray inner = path + '/' + name;
    if ((name != "new" && name != "old") || ::lstat(inner.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
      return Content::NotStaging;
    std::vector<QByteArray> backups;
    if (name == "old" && (!Entries(inner, &backups) || !backups.empty()))
      content = Content::Backups;
  }
  return content;
}

} // namespace

void SweepLeftStaging(const QByteArray &archive, LeftStaging which)
{
  const qsizetype slash = archive.lastIndexOf('/');
  const QByteArray folder = slash >= 0 ? archive.left(slash + 1) : QByteArray("./");
  const QByteArray archiveName = archive.mid(slash + 1);
  std::vector<QByteArray> names;
  if (archiveName.isEmpty() || !Entries(folder, &names))
    return;
  for (const QByteArray &name : names) {
    if (!IsStagingName(name, archiveName))
      continue;
    const QByteArray path = folder + name;
    const Content content = Inspect(path);
    // Links inside are removed, not followed.
    if (content == Content::NoBackups || (content == Content::Backups && which == LeftStaging::All))
      QDir(QFile::decodeName(path)).removeRecursively();
  }
}
