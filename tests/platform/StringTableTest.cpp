#include "platform/StringTable.h"

#include "platform/StringIds.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
QString ItalianFile()
{
  return QDir(QStringLiteral(VELOTRIX_BIN_DIR)).filePath(QStringLiteral("LangITA11.rcc"));
}

QStringList Placeholders(const QString &text)
{
  static const QRegularExpression re(QStringLiteral("%[-+ #0]*[0-9*]*(\\.[0-9*]+)?[hlLI64]*[diouxXeEfgGcs]"));
  QStringList out;
  for (auto it = re.globalMatch(text); it.hasNext();)
    out << it.next().captured(0);
  return out;
}
} // namespace

TEST(StringTable, ParsesEscapesCommentsAndBadLines)
{
  const auto table = StringTable::Parse("# comment\n12\tA\\tB\\r\\nC\\\\D\r\nnot a line\n\t7\n13\ttrailing  \n14\t\n");
  EXPECT_EQ(table.value(12), QStringLiteral("A\tB\r\nC\\D"));
  EXPECT_EQ(table.value(13), QStringLiteral("trailing  ")) << "trailing blanks are part of a text";
  EXPECT_TRUE(table.contains(14));
  EXPECT_EQ(table.size(), 3);
}

TEST(StringTable, EnglishIsBuiltIn)
{
  TestEnvironment env;
  StringTable &t = StringTable::Instance();
  EXPECT_EQ(t.CurrentLanguage(), StringTable::Language::English);
  EXPECT_EQ(t.Text(IDS_NOT_FOUND), QStringLiteral("Not found!"));
  EXPECT_EQ(t.Text(IDS_COMMAND_SENT), QStringLiteral("Comand sent"));
  EXPECT_EQ(
      t.Text(IDS_DATA_IMPORTED),
      QStringLiteral(
          "Data imported.\r\nIf you want to apply changes,you must\r\nwrite all parameters to the remoted board."));
  EXPECT_GT(t.EnglishIds().size(), 150);
}

TEST(StringTable, ItalianLoadsFromItsResourceFileAndFallsBackWhenMissing)
{
  TestEnvironment env;
  StringTable &t = StringTable::Instance();
  ASSERT_TRUE(QFile::exists(ItalianFile())) << "LangITA11.rcc is built beside the executables";
  ASSERT_TRUE(t.SetLanguage(StringTable::Language::Italian, ItalianFile()));
  EXPECT_EQ(t.CurrentLanguage(), StringTable::Language::Italian);
  EXPECT_NE(t.Text(IDS_NOT_FOUND), QStringLiteral("Not found!"));
  EXPECT_EQ(t.Text(IDS_LANGUAGE_SUFFIX), QStringLiteral("_it"));

  QTemporaryDir empty;
  EXPECT_FALSE(t.SetLanguage(StringTable::Language::Italian, empty.filePath(QStringLiteral("LangITA11.rcc"))));
  EXPECT_EQ(t.CurrentLanguage(), StringTable::Language::English);
  EXPECT_EQ(t.Text(IDS_NOT_FOUND), QStringLiteral("Not found!"));

  ASSERT_TRUE(t.SetLanguage(StringTable::Language::Italian, ItalianFile()));
  ASSERT_TRUE(t.SetLanguage(StringTable::Language::English));
  EXPECT_EQ(t.Text(IDS_LANGUAGE_SUFFIX), QStringLiteral("_en"));
}

// A translation that drops or reorders a placeholder would crash or garble a
// message only when Italian is chosen; check every pair once here.
TEST(StringTable, EveryEnglishTextHasAnItalianOneWithTheSamePlaceholders)
{
  TestEnvironment env;
  StringTable &t = StringTable::Instance();
  QHash<unsigned, QString> english;
  for (unsigned id : t.EnglishIds())
    english.insert(id, t.Text(id));
  ASSERT_TRUE(t.SetLanguage(StringTable::Language::Italian, ItalianFile()));
  QFile it(QStringLiteral(":/LangITA11/strings/it.txt"));
  ASSERT_TRUE(it.open(QIODevice::ReadOnly));
  const auto italian = StringTable::Parse(it.readAll());
  for (auto e = english.cbegin(); e != english.cend(); ++e) {
    ASSERT_TRUE(italian.contains(e.key())) << "no Italian text for " << e.key();
    EXPECT_EQ(Placeholders(e.value()), Placeholders(italian.value(e.key()))) << "id " << e.key();
  }
  EXPECT_EQ(italian.size(), english.size());
}
