#pragma once

#include "frame/SingleInstance.h"

#include "platform/DocView.h"

#include <QStringList>

#include <memory>

class CMainFrame;
class CPrintSetup;
class CQelDoc;

// The application object: start-up in order (single instance, settings,
// recent files, the document template, the main frame, the language, the
// command line), the recent-file list and the application commands.
// GUI thread only.
class CQelApp : public CWinAppEx {
  Q_OBJECT
public:
  static constexpr int kRecentFiles = 10;
  static constexpr int kRecentDisplayLength = 150;

  explicit CQelApp(QObject *parent = nullptr);
  ~CQelApp() override;

  // Runs the start-up with the program's arguments (without the program
  // name); false: end the program (the document went to the running copy,
  // or the named document could not be opened). startSerial false keeps the
  // serial link closed (tests); show false leaves the window hidden.
  bool InitInstance(const QStringList &arguments, bool startSerial = true, bool show = true);

  // Why the document named on the command line could not be opened (empty
  // when start-up did not fail on it: no file, or handed to a running copy).
  QString StartError() const { return m_strStartError; }
  // Why a document cannot be read, in a few words.
  static QString OpenFailureReason(const QString &path);

  // The name of the single-instance check; empty skips it (tests).
  void SetUniqueName(const QString &name) { m_strUniqueName = name; }

  CMainFrame *GetMainFrame() const { return m_pMainFrame.get(); }
  CDocTemplate *GetDocTemplate() const { return m_pTemplate.get(); }
  // Opens a document in a board window (or brings its window forward); null
  // when it could not be read. The path goes into the recent-file list. A
  // file refused for its kind or size is named in a message box.
  CQelDoc *OpenDocumentFile(const QString &path);
  void LoadRecentFileList(int count);
  CRecentFileList *GetRecentFileList() const { return m_pRecentFileList.get(); }
  // The recent files as the menu shows them, each cut to 150 characters.
  QStringList RecentFileMenuTexts() const;
  void AddToRecentFileList(const QString &path);

  // A new board window with an empty document titled "New"; null when the
  // document would not initialise.
  CQelDoc *OnFileNew();
  void OnAppAbout();
  void OnInternetUpdate();
  // 1 portrait, 2 landscape; kept by the application's print setup, also
  // without a printer, so a choice is never lost.
  void SetPrintOrientation(int orientation);
  int GetPrintOrientation() const;
  CPrintSetup &GetPrintSetup() const { return *m_pPrintSetup; }
  // The program folder, with a trailing separator.
  QString GetHelpPath() const { return m_strHelpPath; }
  // The file named by the arguments, or empty.
  static QString FileFromArguments(const QStringList &arguments);

private:
  // OpenDocumentFile without the message box (the start-up says why itself).
  CQelDoc *OpenDocumentQuietly(const QString &path);
  // The box for a file refused for its kind or size; nothing otherwise.
  void SayWhyRefused(const QString &path);
  void CloseDocument(CQelDoc *doc);

  std::unique_ptr<CPrintSetup> m_pPrintSetup;
  std::unique_ptr<CRecentFileList> m_pRecentFileList;
  std::unique_ptr<CDocTemplate> m_pTemplate;
  std::unique_ptr<CMainFrame> m_pMainFrame;
  QString m_strHelpPath;
  QString m_strStartError;
  QString m_strUniqueName = QString::fromLatin1(kUniqueName);
};
