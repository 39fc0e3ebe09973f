#include "platform/DocView.h"
#include "platform/Profile.h"

#include <QTemporaryDir>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct Log {
  std::vector<std::pair<QString, long>> calls;
};

class FakeView : public CView {
public:
  FakeView(QString name, Log &log) : m_name(std::move(name)), m_log(log) {}
  void OnUpdate(CView *, long hint, QObject *) override
  {
    m_log.calls.emplace_back(m_name, hint);
    if (onUpdate)
      onUpdate(hint);
  }
  std::function<void(long)> onUpdate;

private:
  QString m_name;
  Log &m_log;
};

} // namespace

TEST(DocView, UpdatesReachViewsInOrderExceptTheSender)
{
  Log log;
  CDocument doc;
  FakeView a(QStringLiteral("a"), log), b(QStringLiteral("b"), log), c(QStringLiteral("c"), log);
  doc.AddView(&a);
  doc.AddView(&b);
  doc.AddView(&c);
  doc.AddView(&b); // twice is once
  doc.UpdateAllViews(&b, 0x2000);
  ASSERT_EQ(log.calls.size(), 2u);
  EXPECT_EQ(log.calls[0].first, "a");
  EXPECT_EQ(log.calls[1].first, "c");
  EXPECT_EQ(a.GetDocument(), &doc);
}

TEST(DocView, UpdatesAreReentrantAndSurviveViewsLeaving)
{
  Log log;
  CDocument doc;
  FakeView a(QStringLiteral("a"), log), b(QStringLiteral("b"), log);
  auto c = std::make_unique<FakeView>(QStringLiteral("c"), log);
  doc.AddView(&a);
  doc.AddView(&b);
  doc.AddView(c.get());
  // a answers the first update with a nested one; b closes c.
  a.onUpdate = [&](long hint) {
    if (hint == 1)
      doc.UpdateAllViews(&a, 2);
  };
  b.onUpdate = [&](long hint) {
    if (hint == 1)
      c.reset();
  };
  doc.UpdateAllViews(nullptr, 1);
  std::vector<std::pair<QString, long>> expected = {
      {QStringLiteral("a"), 1}, {QStringLiteral("b"), 2}, {QStringLiteral("c"), 2}, {QStringLiteral("b"), 1}};
  EXPECT_EQ(log.calls, expected);
  EXPECT_EQ(doc.GetViews().size(), 2u);
}

TEST(DocView, AViewThatReplacesAnotherDuringAnUpdateWaitsForTheNextOne)
{
  Log log;
  CDocument doc;
  FakeView a(QStringLiteral("a"), log);
  // The replacement is built where the replaced view lived, as an allocator
  // may well do.
  alignas(FakeView) unsigned char slot[sizeof(FakeView)];
  auto *old = new (slot) FakeView(QStringLiteral("old"), log);
  doc.AddView(&a);
  doc.AddView(old);
  FakeView *replacement = nullptr;
  a.onUpdate = [&](long) {
    if (replacement)
      return;
    old->~FakeView();
    replacement = new (slot) FakeView(QStringLiteral("new"), log);
    doc.AddView(replacement);
  };
  doc.UpdateAllViews(nullptr, 1);
  doc.UpdateAllViews(nullptr, 2);
  std::vector<std::pair<QString, long>> expected = {
      {QStringLiteral("a"), 1}, {QStringLiteral("a"), 2}, {QStringLiteral("new"), 2}};
  EXPECT_EQ(log.calls, expected);
  replacement->~FakeView();
}

// A view may even close the document from its update.
TEST(DocView, DocumentAndViewsMayDieInEitherOrder)
{
  Log log;
  auto view = std::make_unique<FakeView>(QStringLiteral("v"), log);
  {
    CDocument doc;
    doc.AddView(view.get());
  }
  EXPECT_EQ(view->GetDocument(), nullptr);
  view.reset();

  auto doc = std::make_unique<CDocument>();
  FakeView a(QStringLiteral("a"), log), b(QStringLiteral("b"), log);
  doc->AddView(&a);
  doc->AddView(&b);
  a.onUpdate = [&](long) { doc.reset(); };
  CDocument *raw = doc.get();
  raw->UpdateAllViews(nullptr, 1);
  ASSERT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(b.GetDocument(), nullptr);
}

TEST(DocView, PathGivesTitleAndModifiedFlagSignals)
{
  CDocument doc;
  int modifiedSignals = 0;
  QObject::connect(&doc, &CDocument::modifiedChanged, [&](bool) { ++modifiedSignals; });
  doc.SetPathName(QStringLiteral("/tmp/boards/drive.vtx"));
  EXPECT_EQ(doc.GetTitle(), QStringLiteral("drive.vtx"));
  doc.SetModifiedFlag();
  doc.SetModifiedFlag();
  EXPECT_TRUE(doc.IsModified());
  doc.SetModifiedFlag(false);
  EXPECT_EQ(modifiedSignals, 2);
}

TEST(DocView, TemplateOpensEachPathOnceAndKeepsNothingOnFailure)
{
  class Doc : public CDocument {
  public:
    bool OnOpenDocument(const QString &path) override { return !path.endsWith(u"bad.vtx"); }
  };
  int frames = 0;
  CDocTemplate tmpl([] { return std::make_unique<Doc>(); },
                    [&](CDocument *) {
                      ++frames;
                      return true;
                    });
  CDocument *a = tmpl.OpenDocumentFile(QStringLiteral("/tmp/a.vtx"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(tmpl.OpenDocumentFile(QStringLiteral("/tmp/./a.vtx")), a);
  EXPECT_EQ(tmpl.OpenDocumentFile(QStringLiteral("/tmp/bad.vtx")), nullptr);
  EXPECT_NE(tmpl.OpenNew(), nullptr);
  EXPECT_EQ(tmpl.Documents().size(), 2u);
  EXPECT_EQ(frames, 2);
  tmpl.CloseDocument(a);
  EXPECT_EQ(tmpl.Documents().size(), 1u);
}

TEST(RecentFileList, KeepsTheNewestFirstWithoutDuplicatesAndPersists)
{
  QTemporaryDir dir;
  Profile profile(dir.filePath(QStringLiteral("p.ini")));
  CRecentFileList list(QStringLiteral("2.1\\Recent File List"), QStringLiteral("File%d"), 3);
  for (const char *name : {"/b/1.vtx", "/b/2.vtx", "/b/3.vtx", "/b/1.vtx", "/b/4.vtx"})
    list.Add(QString::fromLatin1(name));
  ASSERT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.At(0), QStringLiteral("/b/4.vtx"));
  EXPECT_EQ(list.At(1), QStringLiteral("/b/1.vtx"));
  EXPECT_EQ(list.At(2), QStringLiteral("/b/3.vtx"));
  EXPECT_EQ(list.At(3), QString());
  EXPECT_EQ(list.At(-1), QString());
  list.WriteList(profile);
  EXPECT_EQ(profile.GetProfileString(QStringLiteral("2.1\\Recent File List"), QStringLiteral("File1")),
            QStringLiteral("/b/4.vtx"));

  list.Remove(0);
  list.Remove(7);
  list.WriteList(profile);
  EXPECT_FALSE(profile.Contains(QStringLiteral("2.1\\Recent File List"), QStringLiteral("File3")));

  CRecentFileList again(QStringLiteral("2.1\\Recent File List"), QStringLiteral("File%d"), 3);
  again.ReadList(profile);
  ASSERT_EQ(again.GetCount(), 2);
  EXPECT_EQ(again.At(0), QStringLiteral("/b/1.vtx"));
}
