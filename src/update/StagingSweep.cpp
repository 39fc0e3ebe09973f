#include "update/StagingSweep.h"

#include <QDir>
#include <QFile>

#include <memory>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kSuffixLength = 6; // mkdtemp's and mkostemp's XXXXXX
constexpr char kPartMark[] = ".part-";

enum class Content { NotStaging, NoBackups, Backups };

struct DirCloser {
  void operator()(DIR *dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// A name made by mkdtemp or mkostemp from prefix + "XXXXXX".
bool IsTempName(const QByteArray &entry, const QByteArray &prefix)
{
  if (entry.size() != prefix.size() + kSuffixLength || !entry.startsWith(prefix))
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

// A link is never looked through.
bool IsOwn(const QByteArray &path, mode_t type)
{
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0 && (st.st_mode & S_IFMT) == type && st.st_uid == ::geteuid();
}

// What a folder of a staging name holds; a link is never looked through.
Content Inspect(const QByteArray &path)
{
  std::vector<QByteArray> names;
  if (!IsOwn(path, S_IFDIR) || !Entries(path, &names))
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
    if (!IsTempName(name, archiveName + '.'))
      continue;
    const QByteArray path = folder + name;
    const Content content = Inspect(path);
    // Links inside are removed, not followed.
    if (content == Content::NoBackups || (content == Content::Backups && which == LeftStaging::All))
      QDir(QFile::decodeName(path)).removeRecursively();
  }
}

QByteArray PartFileTemplate(const QByteArray &target)
{
  return target + kPartMark + QByteArray(kSuffixLength, 'X');
}

void SweepLeftPartFiles(const QByteArray &target)
{
  const qsizetype slash = target.lastIndexOf('/');
  const QByteArray folder = slash >= 0 ? target.left(slash + 1) : QByteArray("./");
  const QByteArray prefix = target.mid(slash + 1) + kPartMark;
  std::vector<QByteArray> names;
  if (slash + 1 == target.size() || !Entries(folder, &names))
    return;
  // Swapped for a link after the look, the name alone goes: unlink never follows it.
  for (const QByteArray &name : names) {
    if (IsTempName(name, prefix) && IsOwn(folder + name, S_IFREG))
      ::unlink((folder + name).constData());
  }
}
