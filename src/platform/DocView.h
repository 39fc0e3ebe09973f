#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class CDocument;

// A view of a document. Views are told of changes through OnUpdate, in the
// order they were added. Not a QObject, so widgets and test fakes alike can
// be views. A view removes itself from its document when destroyed.
class CView {
public:
  CView() = default;
  virtual ~CView();
  CView(const CView &) = delete;
  CView &operator=(const CView &) = delete;

  CDocument *GetDocument() const { return m_pDocument; }

  // Called once after the view is attached and the document is loaded; by
  // default an update with no sender and hint 0.
  virtual void OnInitialUpdate();
  // A change of the document. sender is the view that caused it (it is not
  // told), hint says what changed, pHint may carry an object.
  virtual void OnUpdate(CView *sender, long hint, QObject *pHint);

private:
  friend class CDocument;
  CDocument *m_pDocument = nullptr; // not owned
  // Which attachment this is: tells a view added during an update from one
  // that was removed before it at the same address.
  unsigned long long m_attachment = 0;
};

// A document: path, title, modified flag and the views that show it.
class CDocument : public QObject {
  Q_OBJECT
public:
  explicit CDocument(QObject *parent = nullptr);
  ~CDocument() override;

  const QString &GetPathName() const { return m_strPathName; }
  // Sets the path and, from its file name, the title.
  virtual void SetPathName(const QString &path);
  const QString &GetTitle() const { return m_strTitle; }
  virtual void SetTitle(const QString &title);

  bool IsModified() const { return m_bModified; }
  virtual void SetModifiedFlag(bool modified = true);

  void AddView(CView *view);
  void RemoveView(CView *view);
  const std::vector<CView *> &GetViews() const { return m_views; }

  // Tells every view but the sender, synchronously and in order. A view may
  // update again from inside OnUpdate, or remove views: removed views are not
  // called, views added meanwhile wait for the next update.
  void UpdateAllViews(CView *sender, long hint = 0, QObject *pHint = nullptr);

  virtual bool OnNewDocument();
  virtual bool OnOpenDocument(const QString &path);
  virtual bool OnSaveDocument(const QString &path);
  virtual void DeleteContents();
  virtual void OnCloseDocument();

Q_SIGNALS:
  void titleChanged(const QString &title);
  void modifiedChanged(bool modified);
  // Each change that marks the document modified, also when it already was:
  // an offline edit updates no views, yet a window showing values must know.
  void contentsChanged();

private:
  QString m_strPathName;
  QString m_strTitle;
  bool m_bModified = false;
  std::vector<CView *> m_views; // not owned
  unsigned long long m_nextAttachment = 0;
};

// Makes the documents of one kind and opens them: stands in for the run-time
// class of a document template. The frame that shows a new document is made
// by the callback the application installs.
class CDocTemplate {
public:
  using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
  using FrameFactory = std::function<bool(CDocument *)>;

  CDocTemplate(DocumentFactory makeDocument, FrameFactory makeFrame);

  // A new empty document, or null when it would not initialise.
  CDocument *OpenNew();
  // The document already open on that path, else a new one loaded from it;
  // null when loading failed (nothing is kept then).
  CDocument *OpenDocumentFile(const QString &path);
  // Destroys one document (its frame closes first through the callback's owner).
  void CloseDocument(CDocument *doc);
  const std::vector<std::unique_ptr<CDocument>> &Documents() const { return m_documents; }

private:
  CDocument *Adopt(std::unique_ptr<CDocument> doc);
  DocumentFactory m_makeDocument;
  FrameFactory m_makeFrame;
  std::vector<std::unique_ptr<CDocument>> m_documents;
};

class Profile;

// The most recently used files, kept in the profile as "File1".."FileN".
class CRecentFileList {
public:
  CRecentFileList(QString section, QString entryFormat, int size);

  // Moves the path to the front (an existing equal entry is removed first).
  void Add(const QString &path);
  void Remove(int index);
  int GetSize() const { return m_size; }
  int GetCount() const { return static_cast<int>(m_files.size()); }
  // The entry, or empty for an index out of range.
  QString At(int index) const;

  void ReadList(const Profile &profile);
  void WriteList(Profile &profile) const;

private:
  QString Entry(int oneBased) const;
  QString m_section;
  QString m_entryFormat;
  int m_size;
  std::vector<QString> m_files;
};
