#include "DocView.h"

#include "Format.h"
#include "Profile.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>

CView::~CView()
{
  if (m_pDocument)
    m_pDocument->RemoveView(this);
}

void CView::OnInitialUpdate()
{
  OnUpdate(nullptr, 0, nullptr);
}

void CView::OnUpdate(CView *, long, QObject *) {}

CDocument::CDocument(QObject *parent) : QObject(parent) {}

CDocument::~CDocument()
{
  for (CView *v : m_views)
    v->m_pDocument = nullptr;
}

void CDocument::SetPathName(const QString &path)
{
  m_strPathName = path;
  SetTitle(QFileInfo(path).fileName());
}

void CDocument::SetTitle(const QString &title)
{
  if (m_strTitle == title)
    return;
  m_strTitle = title;
  Q_EMIT titleChanged(title);
}

void CDocument::SetModifiedFlag(bool modified)
{
  if (modified)
    Q_EMIT contentsChanged();
  if (m_bModified == modified)
    return;
  m_bModified = modified;
  Q_EMIT modifiedChanged(modified);
}

void CDocument::AddView(CView *view)
{
  if (!view || std::find(m_views.begin(), m_views.end(), view) != m_views.end())
    return;
  if (view->m_pDocument)
    view->m_pDocument->RemoveView(view);
  m_views.push_back(view);
  view->m_pDocument = this;
  view->m_attachment = ++m_nextAttachment;
}

void CDocument::RemoveView(CView *view)
{
  const auto it = std::find(m_views.begin(), m_views.end(), view);
  if (it == m_views.end())
    return;
  m_views.erase(it);
  view->m_pDocument = nullptr;
}

void CDocument::UpdateAllViews(CView *sender, long hint, QObject *pHint)
{
  std::vector<std::pair<CView *, unsigned long long>> snapshot;
  snapshot.reserve(m_views.size());
  for (CView *view : m_views)
    snapshot.emplace_back(view, view->m_attachment);
  // A view may close the document itself from its update.
  const QPointer<CDocument> self(this);
  for (const auto &[view, attachment] : snapshot) {
    if (!self)
      return;
    if (view == sender)
      continue;
    // A view removed by an earlier view's update is skipped, and so is a new
    // one that happens to live where a removed one was.
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end() || view->m_attachment != attachment)
      continue;
    view->OnUpdate(sender, hint, pHint);
  }
}

bool CDocument::OnNewDocument()
{
  DeleteContents();
  m_strPathName.clear();
  SetModifiedFlag(false);
  return true;
}

bool CDocument::OnOpenDocument(const QString &)
{
  DeleteContents();
  SetModifiedFlag(false);
  return true;
}

bool CDocument::OnSaveDocument(const QString &)
{
  SetModifiedFlag(false);
  return true;
}

void CDocument::DeleteContents() {}

void CDocument::OnCloseDocument()
{
  DeleteContents();
}

CDocTemplate::CDocTemplate(DocumentFactory makeDocument, FrameFactory makeFrame)
    : m_makeDocument(std::move(makeDocument)), m_makeFrame(std::move(makeFrame))
{
}

CDocument *CDocTemplate::Adopt(std::unique_ptr<CDocument> doc)
{
  m_documents.push_back(std::move(doc));
  CDocument *raw = m_documents.back().get();
  if (m_makeFrame && !m_makeFrame(raw)) {
    m_documents.pop_back();
    return nullptr;
  }
  return raw;
}

CDocument *CDocTemplate::OpenNew()
{
  std::unique_ptr<CDocument> doc = m_makeDocument ? m_makeDocument() : nullptr;
  if (!doc || !doc->OnNewDocument())
    return nullptr;
  return Adopt(std::move(doc));
}

CDocument *CDocTemplate::OpenDocumentFile(const QString &path)
{
  const QString absolute = QFileInfo(path).absoluteFilePath();
  for (const auto &doc : m_documents) {
    if (!doc->GetPathName().isEmpty() && QFileInfo(doc->GetPathName()).absoluteFilePath() == absolute)
      return doc.get();
  }
  std::unique_ptr<CDocument> doc = m_makeDocument ? m_makeDocument() : nullptr;
  if (!doc || !doc->OnOpenDocument(absolute))
    return nullptr;
  doc->SetPathName(absolute);
  return Adopt(std::move(doc));
}

void CDocTemplate::CloseDocument(CDocument *doc)
{
  const auto it = std::find_if(m_documents.begin(), m_documents.end(), [doc](const auto &d) { return d.get() == doc; });
  if (it == m_documents.end())
    return;
  (*it)->OnCloseDocument();
  m_documents.erase(it);
}

CRecentFileList::CRecentFileList(QString section, QString entryFormat, int size)
    : m_section(std::move(section)), m_entryFormat(std::move(entryFormat)), m_size(qMax(1, size))
{
}

void CRecentFileList::Add(const QString &path)
{
  if (path.isEmpty())
    return;
  const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  std::erase(m_files, absolute);
  m_files.insert(m_files.begin(), absolute);
  if (static_cast<int>(m_files.size()) > m_size)
    m_files.resize(static_cast<std::size_t>(m_size));
}

void CRecentFileList::Remove(int index)
{
  if (index >= 0 && index < GetCount())
    m_files.erase(m_files.begin() + index);
}

QString CRecentFileList::At(int index) const
{
  return index >= 0 && index < GetCount() ? m_files[static_cast<std::size_t>(index)] : QString();
}

QString CRecentFileList::Entry(int oneBased) const
{
  return vtx::Format(m_entryFormat, oneBased);
}

void CRecentFileList::ReadList(const Profile &profile)
{
  m_files.clear();
  for (int i = 1; i <= m_size; ++i) {
    const QString path = profile.GetProfileString(m_section, Entry(i));
    if (!path.isEmpty() && std::find(m_files.begin(), m_files.end(), path) == m_files.end())
      m_files.push_back(path);
  }
}

void CRecentFileList::WriteList(Profile &profile) const
{
  profile.RemoveSection(m_section);
  for (int i = 0; i < GetCount(); ++i)
    profile.WriteProfileString(m_section, Entry(i + 1), m_files[static_cast<std::size_t>(i)]);
}
