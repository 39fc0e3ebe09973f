#include "platform/StringIds.h"

#include "platform/StringTable.h"

#include "TestSupport.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <gtest/gtest.h>

// The named ids and the English table are kept by hand side by side: a text
// added without its constant, or a constant left behind, shows here.
TEST(StringIds, EveryEnglishIdHasExactlyOneConstantAndEveryConstantAnEntry)
{
  QFile header(QStringLiteral(VELOTRIX_STRING_IDS_HEADER));
  ASSERT_TRUE(header.open(QIODevice::ReadOnly)) << VELOTRIX_STRING_IDS_HEADER;
  const QString text = QString::fromUtf8(header.readAll());

  static const QRegularExpression constant(QStringLiteral("^inline constexpr unsigned (IDS_\\w+) = (\\d+);"),
                                           QRegularExpression::MultilineOption);
  QHash<QString, unsigned> byName;
  QHash<unsigned, QString> byId;
  for (auto it = constant.globalMatch(text); it.hasNext();) {
    const auto m = it.next();
    const QString name = m.captured(1);
    const unsigned id = m.captured(2).toUInt();
    EXPECT_FALSE(byName.contains(name)) << qPrintable(name) << " is declared twice";
    EXPECT_FALSE(byId.contains(id)) << "id " << id << " has two constants: " << qPrintable(byId.value(id)) << " and "
                                    << qPrintable(name);
    byName.insert(name, id);
    byId.insert(id, name);
  }
  // Every line that declares something is one the pattern reads.
  EXPECT_EQ(text.count(QStringLiteral("constexpr")), byName.size());
  // The file read is the one compiled.
  EXPECT_EQ(byName.value(QStringLiteral("IDS_NOT_FOUND")), IDS_NOT_FOUND);
  EXPECT_EQ(byName.value(QStringLiteral("IDS_FAILED_TO_SAVE")), IDS_FAILED_TO_SAVE);

  const QList<unsigned> english = StringTable::Instance().EnglishIds();
  for (unsigned id : english)
    EXPECT_TRUE(byId.contains(id)) << "id " << id << " of en.txt has no constant";
  for (auto it = byId.cbegin(); it != byId.cend(); ++it)
    EXPECT_TRUE(english.contains(it.key())) << qPrintable(it.value()) << " = " << it.key() << " has no English text";
}
