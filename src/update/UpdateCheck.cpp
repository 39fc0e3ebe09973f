#include "update/UpdateCheck.h"

#include "update/StagingSweep.h"
#include "update/Unzip.h"

#include "model/generali.h"
#include "platform/Format.h"
#include "platform/PostToThread.h"
#include "platform/Prompter.h"
#include "platform/SaveFile.h"
#include "platform/StringIds.h"
#include "platform/Trace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTime>

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <limits>
#include <memory>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr long kReadSize = 8000;             // bytes per read: a stop waits at most this long
constexpr qint64 kMaxDownload = 256ll << 20; // no list or program file is anywhere near this
constexpr long kConnectTimeoutS = 20;
constexpr long kStallTimeoutS = 30; // less than 1 byte/s for this long ends a transfer

QString WithSlash(QString folder)
{
  if (!folder.endsWith(u'/'))
    folder += u'/';
  return folder;
}

QByteArray NativeName(const QString &path)
{
  return QFile::encodeName(path);
}

bool WriteAll(int fd, const char *data, qint64 size)
{
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size_t(size));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    size -= n;
  }
  return true;
}

// The permissions a file gets in the place of one with status st: the old
// file's, less setuid, setgid and sticky, and writable by its owner (as after
// clearing the read-only attribute).
mode_t KeptMode(const struct stat &st)
{
  return (st.st_mode & 0777) | S_IWUSR;
}

// Gives staged the permissions of the file it replaces (through a link, its
// target's): an archive made without Unix modes must not leave a program
// that cannot run. True when there is none to keep; false, with errno, when
// they cannot be given.
bool KeepMode(const QByteArray &replaced, const QByteArray &staged)
{
  struct stat st {};
  return ::stat(replaced.constData(), &st) != 0 || ::chmod(staged.constData(), KeptMode(st)) == 0;
}

// Replaces path with content through a temporary file beside it, keeping the
// old file's permissions; 0, or the errno of the step that failed.
int WriteReplacing(const QByteArray &path, const QByteArray &content)
{
  struct stat st {};
  const mode_t mode = ::stat(path.constData(), &st) == 0 ? KeptMode(st) : 0644;
  QByteArray temp = PartFileTemplate(path);
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0)
    return errno;
  errno = 0;
  int error = 0;
  // Synced before the rename: a file system that reports no space late, or a
  // crash after the rename, must not leave a cut program file.
  if (!WriteAll(fd, content.constData(), content.size()) || ::fchmod(fd, mode) != 0 ||
      (::fsync(fd) != 0 && errno != EINVAL))
    error = errno ? errno : EIO;
  if (::close(fd) != 0 && error == 0)
    error = errno;
  if (error == 0 && ::rename(temp.constData(), path.constData()) != 0)
    error = errno;
  if (error != 0)
    ::unlink(temp.constData());
  return error;
}

// Walks the folder steps of a relative name (its last part is the file) below
// root, which ends in '/'. A step that is a link is never passed: it could
// lead out of root. With create, missing steps are made (and listed in made
// when given); false when a step is a link, is no folder or cannot be made.
// Without create, false only for a link.
bool FolderSteps(const QByteArray &root, const QByteArray &name, bool create, std::vector<QByteArray> *made = nullptr)
{
  for (qsizetype slash = name.indexOf('/'); slash >= 0; slash = name.indexOf('/', slash + 1)) {
    if (slash == 0 || name[slash - 1] == '/')
      continue;
    const QByteArray folder = root + name.left(slash);
    struct stat st {};
    if (::lstat(folder.constData(), &st) == 0) {
      if (S_ISLNK(st.st_mode))
        return false;
      if (!S_ISDIR(st.st_mode) && create)
        return false;
    } else if (create) {
      if (::mkdir(folder.constData(), 0755) == 0) {
        if (made)
          made->push_back(folder);
      } else if (errno != EEXIST) {
        return false;
      }
    }
  }
  return true;
}

} // namespace

// Where a download goes: the temporary list file or memory.
struct CUpdateCheck::Sink {
  int fd = -1;                  // not owned
  QByteArray *memory = nullptr; // not owned
  qint64 written = 0;
  qint64 expected = 0;
  bool failed = false;
  CUpdateCheck *owner = nullptr;
  void *curl = nullptr;
  bool statusChecked = false;
  bool refuseWebPage = false; // the file is no web page itself
  bool webPage = false;       // refused: the server answered with a web page

  // Runs the transfer on curl, which is set, into this sink.
  CURLcode Perform(const QByteArray &url);
  // Decides once, before the first byte is kept, whether the answer is taken.
  void CheckAnswer();
  size_t Take(const char *data, size_t bytes);
  static size_t Write(char *data, size_t size, size_t count, void *user);
  static int Progress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
};

namespace {

bool SuccessStatus(void *curl)
{
  long code = 0;
  curl_easy_getinfo(static_cast<CURL *>(curl), CURLINFO_RESPONSE_CODE, &code);
  return code >= 200 && code < 300;
}

// An error or maintenance page often comes with a success status: its media
// type, without parameters, tells it from a program file.
bool IsWebPage(void *curl)
{
  char *type = nullptr;
  if (curl_easy_getinfo(static_cast<CURL *>(curl), CURLINFO_CONTENT_TYPE, &type) != CURLE_OK || !type)
    return false;
  QByteArray media(type);
  if (const qsizetype semicolon = media.indexOf(';'); semicolon >= 0)
    media.truncate(semicolon);
  return media.trimmed().compare("text/html", Qt::CaseInsensitive) == 0;
}

// An archive entry's name as '/'-separated steps, without empty or "." steps.
QByteArray CleanName(const char *name)
{
  QByteArray clean;
  for (const QByteArray &step : QByteArray(name).replace('\\', '/').split('/')) {
    if (step.isEmpty() || step == ".")
      continue;
    if (!clean.isEmpty())
      clean += '/';
    clean += step;
  }
  return clean;
}

} // namespace

CUpdateCheck::CUpdateCheck()
{
  static std::once_flag curlInit;
  std::call_once(curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  m_programFolder = WithSlash(QCoreApplication::applicationDirPath());
  m_tempFolder = QDir::tempPath();
  m_unpackBound = kMaxDownload;
  m_local.SetPathName(m_programFolder + QStringLiteral("update.txt"));
}

CUpdateCheck::~CUpdateCheck()
{
  // Clearing the run flag ends a transfer or a pending question promptly.
  m_runFlag = 0;
  m_stopRequest = 1;
  KillThread2();
  while (IsRunning())
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  StopAndWait();
}

bool CUpdateCheck::CreateWorker()
{
  return CreateThread(0, 0, nullptr, kInfinite);
}

void CUpdateCheck::Start(const QString &baseUrl, const QString &product, const QString &listPage)
{
  if (m_finished.load() == 0 || !IsRunning())
    return;
  m_baseUrl = vtx::Format(u"%s", baseUrl);
  m_product = product;
  m_listPage = listPage;
  // The string table is read here, on the caller's thread, not by the worker.
  m_texts.start = LoadStr(IDS_UPD_START);
  m_texts.openTemp = LoadStr(IDS_UPD_OPEN_TEMP);
  m_texts.tempOk = LoadStr(IDS_UPD_TEMP_OK);
  m_texts.listError = LoadStr(IDS_UPD_LIST_ERROR);
  m_texts.listOk = LoadStr(IDS_UPD_LIST_OK);
  m_texts.filesToUpdate = LoadStr(IDS_UPD_FILES_TO_UPDATE);
  m_texts.startDownload = LoadStr(IDS_UPD_START_DOWNLOAD);
  m_texts.allUpdated = LoadStr(IDS_UPD_ALL_UPDATED);
  m_texts.finish = LoadStr(IDS_UPD_FINISH);
  m_texts.userStop = LoadStr(IDS_UPD_USER_STOP);
  m_texts.cantCreate = LoadStr(IDS_UPD_CANT_CREATE);
  m_texts.done = LoadStr(IDS_UPD_DONE);
  m_texts.copyProblem = LoadStr(IDS_UPD_COPY_PROBLEM);
  m_texts.destLocked = LoadStr(IDS_UPD_DEST_LOCKED);
  m_texts.nameRefused = LoadStr(IDS_UPD_NAME_REFUSED);
  m_texts.notWritable = LoadStr(IDS_UPD_NOT_WRITABLE);
  m_texts.entryRefused = LoadStr(IDS_UPD_ENTRY_REFUSED);
  m_texts.unpackNoSpace = LoadStr(IDS_UPD_UNPACK_NO_SPACE);
  m_texts.unpackDamaged = LoadStr(IDS_UPD_UNPACK_DAMAGED);
  m_texts.unpackTooBig = LoadStr(IDS_UPD_UNPACK_TOO_BIG);
  m_texts.unpackNotReplaced = LoadStr(IDS_UPD_NOT_REPLACED);
  m_texts.unpackNotRestored = LoadStr(IDS_UPD_NOT_RESTORED);
  m_texts.webPage = LoadStr(IDS_UPD_WEB_PAGE);
  m_texts.notRecorded = LoadStr(IDS_UPD_NOT_RECORDED);
  m_texts.saveNoSpace = LoadStr(IDS_SAVE_NO_SPACE);
  m_texts.saveTooLarge = LoadStr(IDS_SAVE_TOO_LARGE);
  m_stopRequest = 0;
  m_finished = 0;
  SetWorkEvent();
}

void CUpdateCheck::RequestStop()
{
  m_stopRequest = 1;
}

double CUpdateCheck::GetProgress() const
{
  std::lock_guard lock(m_mutex);
  return m_progress;
}

QString CUpdateCheck::GetLog() const
{
  std::lock_guard lock(m_mutex);
  return m_log;
}

bool CUpdateCheck::SetProgramFolder(const QString &folder)
{
  // The worker reads the folder and the local list all through a run.
  if (m_finished.load() == 0)
    return false;
  std::lock_guard lock(m_mutex);
  m_programFolder = WithSlash(folder);
  m_local.SetPathName(m_programFolder + QStringLiteral("update.txt"));
  return true;
}

QString CUpdateCheck::CopyFailureText(int error, const QString &destination) const
{
  // A full disk, a quota or a file-size limit: what the user can act on
  // differs from a locked file.
  switch (vtx::SaveErrorOf(error, vtx::SaveError::Other)) {
  case vtx::SaveError::NoSpace:
    return vtx::Format(m_texts.saveNoSpace, destination);
  case vtx::SaveError::FileTooLarge:
    return vtx::Format(m_texts.saveTooLarge, destination);
  default:
    return vtx::Format(m_texts.destLocked, destination);
  }
}

QString CUpdateCheck::GetProgramFolder() const
{
  std::lock_guard lock(m_mutex);
  return m_programFolder;
}

void CUpdateCheck::SetTempFolder(const QString &folder)
{
  std::lock_guard lock(m_mutex);
  m_tempFolder = folder;
}

QString CUpdateCheck::GetTempFolder() const
{
  std::lock_guard lock(m_mutex);
  return m_tempFolder;
}

void CUpdateCheck::Append(const QString &text)
{
  std::lock_guard lock(m_mutex);
  m_log += text;
}

void CUpdateCheck::ReplaceLog(const QString &text)
{
  std::lock_guard lock(m_mutex);
  m_log = text;
}

void CUpdateCheck::SetProgress(double value)
{
  std::lock_guard lock(m_mutex);
  m_progress = value;
}

int CUpdateCheck::Ask(const QString &text, unsigned type)
{
  if (m_asker)
    return m_asker(text, type);
  // The message box is shown by the GUI thread; this thread waits for the
  // answer but gives up as Cancel as soon as the run is stopped.
  struct State {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    bool abandoned = false;
    int answer = IDCANCEL;
  };
  auto state = std::make_shared<State>();
  QCoreApplication *app = QCoreApplication::instance();
  if (!app)
    return IDCANCEL;
  vtx::PostToThread(app, [state, text, type] {
    {
      std::lock_guard lock(state->mutex);
      if (state->abandoned)
        return;
    }
    const int answer = AfxMessageBox(text, type);
    {
      std::lock_guard lock(state->mutex);
      state->answer = answer;
      state->done = true;
    }
    state->answered.notify_all();
  });
  std::unique_lock lock(state->mutex);
  while (!state->done) {
    if (!KeepGoing()) {
      state->abandoned = true;
      return IDCANCEL;
    }
    state->answered.wait_for(lock, std::chrono::milliseconds(100));
  }
  return state->answer;
}

int CUpdateCheck::Run()
{
  m_finished = 0;
  ReplaceLog(vtx::Format(m_texts.start, QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))));
  Append(m_texts.openTemp);

  const QString tempPath = vtx::Format(u"%s/%s.tmp", GetTempFolder(), m_product);
  // Never through a link: the temporary folder is shared with other users.
  // Only a plain file of ours with no other name is emptied and reused, and
  // nobody else may change the list between its download and its reading.
  const int tempFd =
      ::open(NativeName(tempPath).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  struct stat st {};
  if (tempFd < 0 || ::fstat(tempFd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1 ||
      ::ftruncate(tempFd, 0) != 0 || ::fchmod(tempFd, 0600) != 0) {
    if (tempFd >= 0)
      ::close(tempFd);
    ReplaceLog(m_texts.cantCreate);
    m_finished = 1;
    return 0;
  }

  Append(m_texts.tempOk);
  CURL *curl = curl_easy_init();

  Sink list;
  list.fd = tempFd;
  const qint64 received = DownloadUrl(curl, list, m_baseUrl + m_listPage, nullptr, 0);
  ::close(tempFd);
  m_remote.SetPathName(tempPath);
  // Without the product's section (a maintenance page, say) nothing can be checked.
  if (received == 0 || !m_remote.IsSectionExist(m_product)) {
    Append(m_texts.listError);
  } else {
    Append(m_texts.listOk);
    QStringList names;
    m_remote.GetKeyNames(m_product, &names);
    for (qsizetype i = 0; i < names.size();) {
      const QString &name = names[i];
      const QString localVersion = m_local.GetString(name, QStringLiteral("Version"), QStringLiteral("0"));
      if (name.compare(u"Version", Qt::CaseInsensitive) == 0 || m_remote.GetInt(m_product, name, 0, 10) == 0 ||
          localVersion.compare(m_remote.GetString(name, QStringLiteral("Version"), QStringLiteral("0")),
                               Qt::CaseInsensitive) == 0)
        names.removeAt(i);
      else
        ++i;
    }
    if (!names.isEmpty()) {
      Append(m_texts.filesToUpdate);
      for (const QString &name : names)
        Append(QStringLiteral("   ") + name + QStringLiteral("\r\n"));
      const QString folder = GetProgramFolder();
      if (::access(NativeName(folder).constData(), W_OK) != 0) {
        Append(vtx::Format(m_texts.notWritable, folder));
      } else {
        Append(m_texts.startDownload);
        for (const QString &name : names) {
          if (!KeepGoing())
            break;
          const QString url = m_remote.GetString(name, QStringLiteral("URL"), QString());
          const qint64 length = qint64(m_remote.GetUInt(name, QStringLiteral("Length"), 0, 10));
          if (DownloadFile(curl, url, name, length) &&
              !m_local.WriteString(name, QStringLiteral("Version"),
                                   m_remote.GetString(name, QStringLiteral("Version"), QStringLiteral("0"))))
            Append(vtx::Format(m_texts.notRecorded, m_local.GetPathName()));
        }
      }
    } else {
      Append(m_texts.allUpdated);
    }
  }

  if (curl)
    curl_easy_cleanup(curl);
  Append(KeepGoing() ? m_texts.finish : m_texts.userStop);
  m_finished = 1;
  return 0;
}

qint64 CUpdateCheck::DownloadUrl(void *handle, Sink &sink, const QString &url, const QString *label, qint64 expected)
{
  SetProgress(0.0);
  if (label)
    Append(QStringLiteral("\r\n  download ") + *label + QStringLiteral(" "));
  auto *curl = static_cast<CURL *>(handle);
  // Only absolute HTTP addresses: curl would guess a host from anything else.
  if (!curl || !(url.startsWith(u"http://", Qt::CaseInsensitive) || url.startsWith(u"https://", Qt::CaseInsensitive)))
    return 0;

  sink.owner = this;
  sink.curl = curl;
  sink.expected = expected;
  const CURLcode result = sink.Perform(url.toUtf8());

  if (!KeepGoing())
    return 0;
  if (result != CURLE_OK || sink.failed) {
    qCDebug(lcUpdate) << "download of" << url << "failed:" << curl_easy_strerror(result);
    return 0;
  }
  if (expected && sink.written != expected) {
    qCDebug(lcUpdate).noquote() << vtx::Format(u"buffer length =%d\n", sink.written);
    return 0;
  }
  return sink.written;
}

CURLcode CUpdateCheck::Sink::Perform(const QByteArray &url)
{
  auto *handle = static_cast<CURL *>(curl);
  curl_slist *headers = nullptr;
  headers = curl_slist_append(headers, "Cache-Control: no-cache");
  headers = curl_slist_append(headers, "Pragma: no-cache");

  curl_easy_reset(handle);
  curl_easy_setopt(handle, CURLOPT_URL, url.constData());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, "Update search");
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReadSize);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, kStallTimeoutS);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Sink::Write);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &Sink::Progress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
  const CURLcode result = curl_easy_perform(handle);
  // An empty answer is judged as well.
  if (!statusChecked && result == CURLE_OK)
    CheckAnswer();
  curl_slist_free_all(headers);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, nullptr);
  return result;
}

size_t CUpdateCheck::Sink::Take(const char *data, size_t bytes)
{
  // An error page is never kept: the answer is judged before the first byte.
  if (!statusChecked)
    CheckAnswer();
  if (failed || !owner->KeepGoing())
    return 0;
  if (written + qint64(bytes) > kMaxDownload || (expected && written + qint64(bytes) > expected)) {
    failed = true;
    return 0;
  }
  if (memory)
    memory->append(data, qsizetype(bytes));
  else if (!WriteAll(fd, data, qint64(bytes))) {
    failed = true;
    return 0;
  }
  written += qint64(bytes);
  owner->SetProgress(expected ? double(written) * 100.0 / double(expected) : 0.0);
  return bytes;
}

void CUpdateCheck::Sink::CheckAnswer()
{
  statusChecked = true;
  if (!SuccessStatus(curl))
    failed = true;
  else if (refuseWebPage && IsWebPage(curl))
    failed = webPage = true;
}

size_t CUpdateCheck::Sink::Write(char *data, size_t size, size_t count, void *user)
{
  return static_cast<Sink *>(user)->Take(data, size * count);
}

int CUpdateCheck::Sink::Progress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
  return static_cast<Sink *>(user)->owner->KeepGoing() ? 0 : 1;
}

int CUpdateCheck::DownloadFile(void *curl, const QString &url, const QString &name, qint64 expected)
{
  const QString folder = GetProgramFolder();
  // A zero byte would end the name early for the check but not for the path.
  if (name.contains(QChar(0)) || !IsSafeRelativeName(NativeName(name).constData()) ||
      !FolderSteps(NativeName(folder), NativeName(name), false)) {
    Append(QStringLiteral("\r\n  download ") + name + QStringLiteral(" ") + m_texts.nameRefused);
    return 0;
  }
  const QString destination = folder + name;
  QByteArray content;
  content.reserve(1024);
  Sink sink;
  sink.memory = &content;
  sink.refuseWebPage = !name.endsWith(u".htm", Qt::CaseInsensitive) && !name.endsWith(u".html", Qt::CaseInsensitive);
  if (DownloadUrl(curl, sink, url, &name, expected) == 0) {
    Append(QStringLiteral(": download problem") + (sink.webPage ? m_texts.webPage : QString()));
    return 0;
  }
  return CopyToDestination(destination, content);
}

int CUpdateCheck::CopyToDestination(const QString &destination, const QByteArray &content)
{
  const QByteArray path = NativeName(destination);
  const QByteArray root = NativeName(GetProgramFolder());
  // A failure here shows below, when the file cannot be made.
  if (path.startsWith(root))
    FolderSteps(root, path.mid(root.size()), true);
  // Left by a copy that was killed: up to a whole download each.
  SweepLeftPartFiles(path);
  // The new content replaces the old file only when whole.
  int error = WriteReplacing(path, content);
  while (error != 0 && Ask(CopyFailureText(error, destination), MB_RETRYCANCEL) == IDRETRY)
    error = WriteReplacing(path, content);
  if (error != 0) {
    Append(m_texts.copyProblem);
    if (vtx::SaveErrorOf(error, vtx::SaveError::Other) != vtx::SaveError::Other)
      Append(QStringLiteral("\r\n  ") + CopyFailureText(error, destination));
    return 0;
  }
  Append(m_texts.done);
  if (destination.right(4).compare(u".zip", Qt::CaseInsensitive) == 0)
    return Unpack(destination);
  return 1;
}

// One entry of an archive to put in place.
struct CUpdateCheck::Entry {
  int index = -1;
  QByteArray name; // below the archive's folder, '/'-separated
  bool folder = false;
};

void CUpdateCheck::UnpackFailed(const QString &text)
{
  Append(QStringLiteral("\r\n  ") + text);
  Ask(text, MB_OK);
}

qint64 CUpdateCheck::FreeSpace(const QByteArray &folder) const
{
  if (const qint64 figure = m_freeSpaceFigure.load(); figure >= 0)
    return figure;
  struct statvfs fs {};
  if (::statvfs(folder.constData(), &fs) != 0)
    return -1; // unknown: a failed write will tell
  const quint64 bytes = quint64(fs.f_bavail) * fs.f_frsize;
  return qint64(std::min<quint64>(bytes, std::numeric_limits<qint64>::max()));
}

// An archive is installed whole or not at all: its entries are unpacked into
// a staging folder beside it and renamed into place only when all of them
// are there, keeping each replaced file until every rename has succeeded.
int CUpdateCheck::Unpack(const QString &archive)
{
  const QByteArray archivePath = NativeName(archive);
  int result = 0;
  if (HZIP hz = OpenZip(archivePath.constData(), 0, ZIP_FILENAME)) {
    result = UnpackEntries(hz, archive);
    CloseZip(hz);
  } else {
    UnpackFailed(vtx::Format(m_texts.unpackDamaged, archive));
  }
  ::unlink(archivePath.constData());
  return result;
}

int CUpdateCheck::UnpackEntries(TUnzipHandle *hz, const QString &archive)
{
  const QString cleanArchive = QDir::cleanPath(archive);
  const QByteArray archivePath = NativeName(cleanArchive);
  const QByteArray folder = NativeName(QFileInfo(cleanArchive).path() + u'/');
  const QByteArray localList = NativeName(QDir::cleanPath(m_local.GetPathName()));
  ZipEntryInfo ze{};
  if (GetZipItem(hz, -1, &ze) != ZR_OK) {
    UnpackFailed(vtx::Format(m_texts.unpackDamaged, archive));
    return 0;
  }
  const int count = ze.index;
  // Every name and size is checked before anything is written: a hostile archive changes nothing.
  std::vector<Entry> entries;
  quint64 total = 0;
  bool needsZip64 = false;
  for (int i = 0; i < count; ++i) {
    if (GetZipItem(hz, i, &ze) != ZR_OK) {
      UnpackFailed(vtx::Format(m_texts.unpackDamaged, archive));
      return 0;
    }
    const bool isFolder = (ze.attr & ZIP_ATTR_DIRECTORY) != 0;
    const QByteArray name = CleanName(ze.name);
    // The local list and the archive itself belong to the update, not to the archive.
    const QByteArray path = folder + name;
    if (!IsSafeRelativeName(ze.name) || (name.isEmpty() && !isFolder) || path == localList || path == archivePath) {
      Append(vtx::Format(m_texts.entryRefused, QFile::decodeName(ze.name)));
      return 0;
    }
    needsZip64 = needsZip64 || ze.unc_size == kZipSizeOver || ze.comp_size == kZipSizeOver;
    total += ze.unc_size;
    if (!name.isEmpty())
      entries.push_back({i, name, isFolder});
  }
  // The reader never delivers more than an entry's listed size, so the sum bounds the writes.
  const qint64 bound = m_unpackBound.load();
  if (needsZip64 || total > quint64(std::max<qint64>(bound, 0))) {
    UnpackFailed(vtx::Format(m_texts.unpackTooBig, archive, QString::number(bound)));
    return 0;
  }
  // Left by an unpack that was killed before any file was moved aside: its
  // space counts for this one.
  SweepLeftStaging(archivePath, LeftStaging::WithoutBackups);
  if (const qint64 free = FreeSpace(folder); free >= 0 && total > quint64(free)) {
    UnpackFailed(vtx::Format(m_texts.unpackNoSpace, archive));
    return 0;
  }

  // Beside the archive, so every rename stays on one file system.
  QByteArray staging = archivePath + ".XXXXXX";
  if (!::mkdtemp(staging.data())) {
    UnpackFailed(vtx::Format(m_texts.unpackNoSpace, archive));
    return 0;
  }
  bool ok = ::mkdir((staging + "/new").constData(), 0700) == 0 && ::mkdir((staging + "/old").constData(), 0700) == 0 &&
            SetUnzipBaseDir(hz, (staging + "/new").constData()) == ZR_OK;
  if (!ok)
    UnpackFailed(vtx::Format(m_texts.unpackNoSpace, archive));
  for (const Entry &entry : entries) {
    // A stop is honoured between entries; until the renames it changes nothing.
    if (!ok || !KeepGoing())
      break;
    if (entry.folder)
      continue;
    const unsigned code = UnzipItem(hz, entry.index, const_cast<char *>(entry.name.constData()), 0, ZIP_FILENAME);
    if (code == ZR_CORRUPT || code == ZR_READ) {
      UnpackFailed(vtx::Format(m_texts.unpackDamaged, archive));
      ok = false;
    } else if (code != ZR_OK) {
      UnpackFailed(vtx::Format(m_texts.unpackNoSpace, QFile::decodeName(folder + entry.name)));
      ok = false;
    }
  }
  bool keepStaging = false;
  ok = ok && KeepGoing() && Install(entries, folder, staging, &keepStaging);
  if (!keepStaging)
    QDir(QFile::decodeName(staging)).removeRecursively();
  // Backups left by an earlier unpack may be the only copy of an old version
  // until the archive is installed whole.
  if (ok)
    SweepLeftStaging(archivePath, LeftStaging::All);
  return ok ? 1 : 0;
}

bool CUpdateCheck::Install(const std::vector<Entry> &entries, const QByteArray &folder, const QByteArray &staging,
                           bool *keepStaging)
{
  // Every destination is walked again with lstat: no rename goes through a
  // link, and the folders made here go again when the install fails.
  std::vector<QByteArray> made;
  const auto removeMade = [&made] {
    for (auto it = made.rbegin(); it != made.rend(); ++it)
      ::rmdir(it->constData());
  };
  const QByteArray stagingName = staging.mid(folder.size());
  for (const Entry &entry : entries) {
    if (entry.name == stagingName || entry.name.startsWith(stagingName + '/') ||
        !FolderSteps(folder, entry.folder ? entry.name + '/' : entry.name, true, &made)) {
      removeMade();
      Append(vtx::Format(m_texts.entryRefused, QFile::decodeName(entry.name)));
      return false;
    }
  }

  struct Replaced {
    QByteArray path, backup;
    bool hadOld;
  };
  std::vector<Replaced> replaced;
  QSet<QByteArray> seen; // a name stored twice was staged once, the last one winning
  for (const Entry &entry : entries) {
    if (entry.folder || seen.contains(entry.name))
      continue;
    seen.insert(entry.name);
    const QByteArray path = folder + entry.name;
    const QByteArray staged = staging + "/new/" + entry.name;
    const QByteArray backup = staging + "/old/" + QByteArray::number(qsizetype(replaced.size()));
    struct stat st {};
    const bool hadOld = ::lstat(path.constData(), &st) == 0;
    int error = 0;
    bool moved = false;
    // A hard link keeps the old file without a moment in which the name is missing.
    if (hadOld && S_ISDIR(st.st_mode))
      error = EISDIR;
    else if (!KeepMode(path, staged))
      error = errno;
    else if (hadOld && ::link(path.constData(), backup.constData()) != 0 &&
             !(moved = ::rename(path.constData(), backup.constData()) == 0))
      error = errno;
    else if (::rename(staged.constData(), path.constData()) != 0)
      error = errno;
    // Moved aside, the old file goes back like the replaced ones.
    if (error == 0 || moved)
      replaced.push_back({path, backup, hadOld});
    if (error == 0)
      continue;
    bool restored = true;
    for (auto it = replaced.rbegin(); it != replaced.rend(); ++it) {
      const bool back = it->hadOld ? ::rename(it->backup.constData(), it->path.constData()) == 0
                                   : ::unlink(it->path.constData()) == 0;
      // Backups are numbered: the log says which one is whose.
      if (!back && it->hadOld)
        Append(QStringLiteral("\r\n  ") + QFile::decodeName(it->backup) + QStringLiteral(" -> ") +
               QFile::decodeName(it->path));
      restored = restored && back;
    }
    removeMade();
    if (restored) {
      UnpackFailed(vtx::Format(m_texts.unpackNotReplaced, QFile::decodeName(path), qt_error_string(error)));
    } else {
      // The backups are the only copy of what could not be put back.
      *keepStaging = true;
      UnpackFailed(vtx::Format(m_texts.unpackNotRestored, QFile::decodeName(path), qt_error_string(error),
                               QFile::decodeName(staging + "/old")));
    }
    return false;
  }
  return true;
}
