#include "model/QelDocLanguage.h"

#include <gtest/gtest.h>

namespace {

// Counts the selections that reach the most derived layer.
class CountingDoc : public CQelDocLanguage {
public:
  std::int16_t SelectLanguage(const QString &name) override
  {
    ++selections;
    return CQelDocLanguage::SelectLanguage(name);
  }
  int selections = 0;
};

} // namespace

TEST(CQelDocLanguage, SelectsIgnoringCase)
{
  CQelDocLanguage doc;
  EXPECT_EQ(doc.GetLanguageIndex(), 0);
  EXPECT_EQ(doc.GetLanguageName(), "std");
  doc.AddLanguage({"std", "english", "italiano"});
  EXPECT_EQ(doc.SelectLanguage(QStringLiteral("ITALIANO")), 2);
  EXPECT_EQ(doc.GetLanguageName(), "italiano");
  EXPECT_EQ(doc.SelectLanguage(QStringLiteral("deutsch")), 0);
  EXPECT_EQ(doc.GetLanguageName(), "std");

  CQelDocLanguage other;
  other.AddLanguage({"english", "italiano"});
  EXPECT_EQ(other.SelectLanguage(QStringLiteral("francais")), 0);
  EXPECT_EQ(other.GetLanguageIndex(), 0);
}

TEST(CQelDocLanguage, AddLanguageSelectsAgainThroughTheOverride)
{
  CountingDoc doc;
  doc.AddLanguage({"std", "english", "italiano"});
  doc.SelectLanguage(QStringLiteral("italiano"));
  doc.selections = 0;
  doc.AddLanguage({"std", "deutsch", "italiano"});
  EXPECT_EQ(doc.selections, 1);
  EXPECT_EQ(doc.GetLanguageIndex(), 2);
  // An empty list is refused and changes nothing.
  doc.AddLanguage({});
  EXPECT_EQ(doc.GetLanguageCount(), 3);
  EXPECT_EQ(doc.selections, 1);
}

TEST(CQelDocLanguage, SplitsSemicolonLists)
{
  CQelDocLanguage doc;
  doc.SplitLanguageList(QStringLiteral("english;italiano;"));
  doc.SplitLanguageList(QStringLiteral(";deutsch"));
  EXPECT_EQ(doc.GetLanguageList(), (QStringList{"english", "italiano", ";deutsch"}));
  doc.SplitLanguageList(QStringLiteral("a;;b"));
  EXPECT_EQ(doc.GetLanguageList().mid(3), (QStringList{"a", ";b"}));

  QStringList items{"old"};
  EXPECT_TRUE(CQelDocLanguage::LoadDictionaryLine(QStringLiteral("one;two;three"), items, u','));
  EXPECT_EQ(items, (QStringList{"old", "one", "two", "three"}));
  EXPECT_TRUE(CQelDocLanguage::LoadDictionaryLine(QString(), items));
  EXPECT_EQ(items.size(), 4);
  // The first of equal names wins.
  doc.AddLanguage({"std", "it", "IT"});
  EXPECT_EQ(doc.SelectLanguage(QStringLiteral("It")), 1);
}
