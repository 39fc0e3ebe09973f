#include "model/generali.h"

#include "platform/StringIds.h"
#include "platform/StringTable.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

TEST(Generali, PathSplittingOnBothSeparators)
{
  EXPECT_EQ(GetFolderFromPath(QStringLiteral("D:\\Prog\\a.exe")), QStringLiteral("D:\\Prog\\"));
  EXPECT_EQ(GetFolderFromPath(QStringLiteral("/opt/velotrix/velotrix")), QStringLiteral("/opt/velotrix/"));
  EXPECT_EQ(GetFolderFromPath(QStringLiteral("board.qel")), QString());
  EXPECT_EQ(GetFolderFromPath(QStringLiteral("D:\\")), QStringLiteral("D:\\"));
  EXPECT_EQ(GetFolderFromPath(QString()), QString());

  EXPECT_EQ(GetFileNameFromPath(QStringLiteral("D:\\x\\board.qel"), false), QStringLiteral("board"));
  EXPECT_EQ(GetFileNameFromPath(QStringLiteral("D:\\x\\board.qel"), true), QStringLiteral("board.qel"));
  EXPECT_EQ(GetFileNameFromPath(QStringLiteral("/home/u/drive.v2.vtx"), false), QStringLiteral("drive.v2"));
  EXPECT_EQ(GetFileNameFromPath(QStringLiteral("/home/u/"), true), QString());
  EXPECT_EQ(GetFileNameFromPath(QStringLiteral("D:board.qel"), false), QStringLiteral("board"));
}

TEST(Generali, LoadStrFallsBackWithABeep)
{
  TestEnvironment env;
  EXPECT_EQ(LoadStr(IDS_NOT_FOUND), QStringLiteral("Not found!"));
  EXPECT_EQ(TestEnvironment::beeps(), 0);
  EXPECT_EQ(LoadStr(1234), QStringLiteral("Errore stringa 1234"));
  EXPECT_EQ(TestEnvironment::beeps(), 1);

  EXPECT_EQ(LoadStrFormat(IDS_WRITE_VALUE, QStringLiteral("n_ref"), 1500.0), QStringLiteral("Write n_ref = 1500"));
  EXPECT_EQ(LoadStrFormat(1234, 5), QString());
  EXPECT_EQ(TestEnvironment::beeps(), 2);
}

namespace {
std::vector<std::pair<int, int>> g_tones;
void RecordTone(int hz, int ms)
{
  g_tones.emplace_back(hz, ms);
}
} // namespace

TEST(Generali, MissingTextsBeepShortAndMissingFormatsLonger)
{
  TestEnvironment env;
  g_tones.clear();
  const vtx::BeepHandler previous = vtx::SetBeepHandler(RecordTone);
  LoadStr(1234);
  LoadStrFormat(1234, 1);
  LoadStr(IDS_NOT_FOUND);
  vtx::SetBeepHandler(previous);
  EXPECT_EQ(g_tones, (std::vector<std::pair<int, int>>{{440, 50}, {440, 80}}));
}

TEST(Generali, LoadStrFollowsTheInterfaceLanguage)
{
  TestEnvironment env;
  ASSERT_TRUE(StringTable::Instance().SetLanguage(StringTable::Language::Italian,
                                                  QStringLiteral(VELOTRIX_BIN_DIR "/LangITA11.rcc")));
  EXPECT_EQ(LoadStr(IDS_LANGUAGE_SUFFIX), QStringLiteral("_it"));
}

TEST(Generali, PrecisionByMagnitudeWithBoundsInTheNextClass)
{
  EXPECT_EQ(GetPrecisionFormat(-0.5f), QStringLiteral("%.3f"));
  EXPECT_EQ(GetPrecisionFormat(1.0f), QStringLiteral("%.2f"));
  EXPECT_EQ(GetPrecisionFormat(9.99f), QStringLiteral("%.2f"));
  EXPECT_EQ(GetPrecisionFormat(10.0f), QStringLiteral("%.1f"));
  EXPECT_EQ(GetPrecisionFormat(100.0f), QStringLiteral("%.0f"));
  EXPECT_EQ(GetPrecisionFormat(-250.0f), QStringLiteral("%.0f"));
}
