#include "frame/QelApp.h"

#include "frame/AboutDlg.h"
#include "frame/AppWiring.h"
#include "frame/ChildFrm.h"
#include "frame/FrameCodes.h"
#include "frame/MainFrm.h"

#include "model/BoundedFile.h"
#include "model/QelDoc.h"
#include "model/generali.h"
#include "platform/BusyCursor.h"
#include "platform/Profile.h"
#include "platform/Prompter.h"
#include "platform/ScreenFit.h"
#include "platform/StringIds.h"
#include "update/UpgradeDlg.h"
#include "views/PrintSetup.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace {
const QString kRecentSection = QStringLiteral("2.1\\Recent File List");
const QString kRecentEntry = QStringLiteral("File%d");
} // namespace

CQelApp::CQelApp(QObject *parent) : CWinAppEx(parent), m_pPrintSetup(std::make_unique<CPrintSetup>())
{
  CPrintSetup::SetAppInstance(m_pPrintSetup.get());
  connect(this, &CWinAppEx::documentHandedOver, this, [this](const QString &path) {
    CQelDoc *doc = nullptr;
    {
      const vtx::BusyCursor busy;
      doc = OpenDocumentQuietly(path);
    }
    // The reason is shown with the normal cursor back.
    if (!doc)
      SayWhyRefused(path);
    if (m_pMainFrame) {
      m_pMainFrame->raise();
      m_pMainFrame->activateWindow();
    }
  });
}

CQelApp::~CQelApp()
{
  // Board windows first, while their documents and the settings exist.
  if (m_pMainFrame)
    m_pMainFrame->CloseAllChildren();
  m_pMainFrame.reset();
  if (m_pRecentFileList)
    m_pRecentFileList->WriteList(Profile::Instance());
  m_pTemplate.reset();
  CPrintSetup::SetAppInstance(nullptr);
}

QString CQelApp::FileFromArguments(const QStringList &arguments)
{
  for (const QString &a : arguments)
    if (!a.startsWith(u'-'))
      return a;
  return {};
}

bool CQelApp::InitInstance(const QStringList &arguments, bool startSerial, bool show)
{
  const QString file = FileFromArguments(arguments);
  if (!CheckInstance(m_strUniqueName, file.isEmpty() ? QString() : QFileInfo(file).absoluteFilePath()))
    return false;

  LoadRecentFileList(kRecentFiles);
  m_pTemplate = std::make_unique<CDocTemplate>(
      [this]() -> std::unique_ptr<CDocument> {
        auto doc = std::make_unique<CQelDoc>();
        if (m_pMainFrame)
          doc->SetHost(m_pMainFrame.get());
        return doc;
      },
      [this](CDocument *doc) {
        auto *qel = qobject_cast<CQelDoc *>(doc);
        if (!qel || !m_pMainFrame)
          return false;
        m_pMainFrame->AddChildFrame(qel);
        // Saved under a new name: the name is a recent file too.
        connect(qel, &CDocument::titleChanged, this, [this, qel] { AddToRecentFileList(qel->GetPathName()); });
        return true;
      });

  // The real views and tool windows, before the main frame makes its own.
  InstallViews();
  m_pMainFrame = std::make_unique<CMainFrame>(startSerial);
  m_pMainFrame->SetDocumentOpener([this](const QString &path) { return OpenDocumentFile(path) != nullptr; });
  m_pMainFrame->SetDocumentCloser([this](CQelDoc *doc) { CloseDocument(doc); });
  m_pMainFrame->SetRecentFiles([this] { return RecentFileMenuTexts(); },
                               [this](int i) {
                                 if (m_pRecentFileList)
                                   OpenDocumentFile(m_pRecentFileList->At(i));
                               });
  m_pMainFrame->SetAppCommand(Cmd::FileNew, [this] { OnFileNew(); });
  m_pMainFrame->SetAppCommand(Cmd::AppAbout, [this] { OnAppAbout(); });
  m_pMainFrame->SetAppCommand(Cmd::InternetUpdate, [this] { OnInternetUpdate(); });
  m_pMainFrame->InitLanguage();
  m_pMainFrame->setAcceptDrops(true);
  m_strHelpPath = GetFolderFromPath(QCoreApplication::applicationFilePath());

  if (!file.isEmpty() && !OpenDocumentQuietly(file)) {
    m_strStartError = file + QStringLiteral(": ") + OpenFailureReason(file);
    return false;
  }
  if (show)
    m_pMainFrame->show();
  return true;
}

QString CQelApp::OpenFailureReason(const QString &path)
{
  // The bounded reader never waits: a FIFO named here must not hold the start.
  QByteArray bytes;
  QString why;
  return vtx::ReadBoundedFile(path, &bytes, &why) ? QStringLiteral("not a document this program reads") : why;
}

void CQelApp::LoadRecentFileList(int count)
{
  if (count == 0)
    return;
  m_pRecentFileList = std::make_unique<CRecentFileList>(kRecentSection, kRecentEntry, count);
  m_pRecentFileList->ReadList(Profile::Instance());
}

void CQelApp::AddToRecentFileList(const QString &path)
{
  if (!m_pRecentFileList || path.isEmpty())
    return;
  m_pRecentFileList->Add(QFileInfo(path).absoluteFilePath());
  m_pRecentFileList->WriteList(Profile::Instance());
}

QStringList CQelApp::RecentFileMenuTexts() const
{
  QStringList texts;
  if (!m_pRecentFileList)
    return texts;
  for (int i = 0; i < m_pRecentFileList->GetCount(); ++i) {
    QString path = m_pRecentFileList->At(i);
    if (path.size() > kRecentDisplayLength)
      path = QStringLiteral("...") + path.right(kRecentDisplayLength - 3);
    texts << path;
  }
  return texts;
}

CQelDoc *CQelApp::OpenDocumentFile(const QString &path)
{
  CQelDoc *doc = OpenDocumentQuietly(path);
  if (!doc)
    SayWhyRefused(path);
  return doc;
}

void CQelApp::SayWhyRefused(const QString &path)
{
  // A missing or unreadable file stays silent and a bad header has its own
  // box; a FIFO, a device, a folder or a huge file would otherwise vanish
  // without a word.
  if (path.isEmpty())
    return;
  if (const QString why = vtx::UnfitReason(path); !why.isEmpty())
    AfxMessageBox(LoadStrFormat(IDS_OPEN_REFUSED, path, why), MB_OK | MB_ICONWARNING);
}

CQelDoc *CQelApp::OpenDocumentQuietly(const QString &path)
{
  if (!m_pTemplate || path.isEmpty())
    return nullptr;
  auto *doc = qobject_cast<CQelDoc *>(m_pTemplate->OpenDocumentFile(path));
  if (!doc)
    return nullptr;
  AddToRecentFileList(doc->GetPathName());
  // Already open: its window comes forward.
  if (m_pMainFrame) {
    for (QMdiSubWindow *w : m_pMainFrame->MdiArea()->subWindowList()) {
      auto *child = qobject_cast<CChildFrame *>(w);
      if (child && child->GetDocument() == doc)
        m_pMainFrame->MdiArea()->setActiveSubWindow(w);
    }
  }
  return doc;
}

CQelDoc *CQelApp::OnFileNew()
{
  return m_pTemplate ? qobject_cast<CQelDoc *>(m_pTemplate->OpenNew()) : nullptr;
}

void CQelApp::CloseDocument(CQelDoc *doc)
{
  if (m_pTemplate)
    m_pTemplate->CloseDocument(doc);
}

void CQelApp::OnAppAbout()
{
  CAboutDlg dialog(m_pMainFrame.get());
  vtx::KeepOnScreen(&dialog);
  dialog.exec();
}

void CQelApp::OnInternetUpdate()
{
  if (!m_pMainFrame)
    return;
  CUpgradeDlg dialog(m_pMainFrame.get(), m_pMainFrame->GetOptions().Path0.Get());
  vtx::KeepOnScreen(&dialog);
  dialog.exec();
}

void CQelApp::SetPrintOrientation(int orientation)
{
  m_pPrintSetup->SetPrintOrientation(orientation);
}

int CQelApp::GetPrintOrientation() const
{
  return m_pPrintSetup->GetPrintOrientation();
}
