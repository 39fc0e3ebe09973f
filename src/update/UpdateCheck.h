#pragma once

#include "update/Ini.h"

#include "modbus/ThinThread.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

struct TUnzipHandle;

// The internet-update worker: fetches the remote list, compares it with the
// local list "update.txt" in the program folder, downloads the changed files,
// unpacks zip archives and records the new versions. The body runs on the
// worker thread; the dialog polls the finished flag, the progress and the log
// (all safe from any thread) and writes the run flag.
class CUpdateCheck : public CThinThread {
public:
  // Asks the user a question (message box text and MB_ type); answers an ID_ value.
  using Asker = std::function<int(const QString &text, unsigned type)>;

  CUpdateCheck();
  // Stops the worker thread and waits for it, in steps of 100 ms.
  ~CUpdateCheck() override;

  bool CreateWorker();
  // Runs the body once with these values. While a run is in progress (or no
  // worker thread runs) it returns at once and starts nothing: the worker asks
  // its questions through the GUI thread, so waiting for it here could never
  // end. Each start clears the stop request, so a stopped worker starts again.
  // The finished flag drops to 0 before this returns, so a poll right after
  // the start never takes the run for ended.
  virtual void Start(const QString &baseUrl, const QString &product, const QString &listPage);
  void RequestStop();

  int IsFinished() const { return m_finished.load(); }
  double GetProgress() const;
  QString GetLog() const;
  int GetRunFlag() const { return m_runFlag.load(); }
  void SetRunFlag(int run) { m_runFlag = run; }

  // The folder the updated files go to, with a trailing '/': the executable's
  // folder unless set. The local list lives there. Refused (false, nothing
  // changes) while a run reads it; call it from the thread that starts runs.
  bool SetProgramFolder(const QString &folder);
  QString GetProgramFolder() const;
  // Where the downloaded list is kept: QDir::tempPath() unless set.
  void SetTempFolder(const QString &folder);
  QString GetTempFolder() const;
  // An archive is unpacked only when its entries' listed sizes add up to no
  // more than this bound (the download bound unless set) and to no more than
  // the free space of the program folder's file system, which is asked of the
  // system unless a figure is set here (-1: ask again). Set them only while no
  // run goes on.
  void SetUnpackBound(qint64 bytes) { m_unpackBound = bytes; }
  void SetFreeSpaceFigure(qint64 bytes) { m_freeSpaceFigure = bytes; }
  // Replaces the message boxes (default: asked through the GUI thread, given
  // up as Cancel when the run is stopped). Set it only while no run goes on.
  void SetAsker(Asker asker) { m_asker = std::move(asker); }

protected:
  void DoWork() override { Run(); }
  virtual int Run();

private:
  struct Texts {
    QString start, openTemp, tempOk, listError, listOk, filesToUpdate, startDownload, allUpdated, finish, userStop,
        cantCreate, done, copyProblem, destLocked, nameRefused, notWritable, entryRefused, unpackNoSpace, unpackDamaged,
        unpackTooBig, unpackNotReplaced, unpackNotRestored, webPage, notRecorded, saveNoSpace, saveTooLarge;
  };
  struct Entry;
  struct Sink;

  bool KeepGoing() const { return m_runFlag.load() != 0 && m_stopRequest.load() == 0; }
  void Append(const QString &text);
  void ReplaceLog(const QString &text);
  void SetProgress(double value);
  int Ask(const QString &text, unsigned type);

  qint64 DownloadUrl(void *curl, Sink &sink, const QString &url, const QString *label, qint64 expected);
  int DownloadFile(void *curl, const QString &url, const QString &name, qint64 expected);
  int CopyToDestination(const QString &destination, const QByteArray &content);
  // The box for a copy that failed with error: a locked file unless there
  // was no room for it.
  QString CopyFailureText(int error, const QString &destination) const;
  int Unpack(const QString &archive);
  int UnpackEntries(TUnzipHandle *zip, const QString &archive);
  // False when the install failed; *keepStaging then says the staging
  // folder still holds old files that could not be put back.
  bool Install(const std::vector<Entry> &entries, const QByteArray &folder, const QByteArray &staging,
               bool *keepStaging);
  qint64 FreeSpace(const QByteArray &folder) const;
  void UnpackFailed(const QString &text);

  std::atomic<int> m_finished{1};
  std::atomic<int> m_runFlag{0};
  std::atomic<qint64> m_unpackBound{0}; // set by the constructor
  std::atomic<qint64> m_freeSpaceFigure{-1};

  mutable std::mutex m_mutex; // guards the progress, the log and the folders
  double m_progress = 0.0;
  QString m_log;
  QString m_programFolder;
  QString m_tempFolder;

  // Set by Start before the body runs, read by the body only.
  QString m_listPage;
  QString m_product;
  QString m_baseUrl;
  Texts m_texts;
  CIni m_remote;
  CIni m_local;
  Asker m_asker;
};
